#include "suite/combine/centroid_stream.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace masscal::combine {
namespace {

constexpr std::size_t kBands = 1024;
// The scatter of the centroids is measured on this many scans at most.
constexpr std::size_t kScatterScans = 33;

int temporary_file(std::string& why) {
    const char* dir = std::getenv("TMPDIR");
    const std::string folder = dir && *dir ? dir : "/tmp";
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    std::string name = folder + "/masscal-combine-XXXXXX";
    fd = ::mkstemp(name.data());
    if (fd < 0) {
        why = "cannot make a temporary file in " + folder + ": " + std::strerror(errno);
        return -1;
    }
    ::unlink(name.c_str());
    return fd;
}

bool write_all(int fd, const void* data, std::size_t size, std::uint64_t at) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, p, size, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n, at += static_cast<std::uint64_t>(n), size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool read_all(int fd, void* data, std::size_t size, std::uint64_t at) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::pread(fd, p, size, static_cast<off_t>(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n, at += static_cast<std::uint64_t>(n), size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Orders a band's records by mass, keeping the order of equal masses: a
// radix sort on the float's bits turned into an unsigned key of the same
// order, three passes of 11 bits. Equal to a stable sort on mass for every
// number but NaN, whose place no comparison defines.
template <class R>
void sort_by_mass(std::vector<R>& records, std::vector<R>& spare) {
    const auto key = [](float m) {
        if (m == 0) m = 0;  // -0 equals 0
        std::uint32_t bits;
        std::memcpy(&bits, &m, sizeof bits);
        return bits & 0x80000000u ? ~bits : bits | 0x80000000u;
    };
    spare.resize(records.size());
    for (int shift = 0; shift < 32; shift += 11) {
        std::size_t counts[2049] = {};
        for (const R& r : records) ++counts[((key(r.mass) >> shift) & 2047) + 1];
        for (std::size_t d = 1; d < 2049; ++d) counts[d] += counts[d - 1];
        for (const R& r : records) spare[counts[(key(r.mass) >> shift) & 2047]++] = r;
        records.swap(spare);
    }
}

}  // namespace

CentroidStream::CentroidStream(double low, double high, const Settings& settings, std::size_t heldLimit)
    : settings_(settings), low_(low), width_((high - low) / kBands), bands_(kBands), heldLimit_(heldLimit) {
    if (!(width_ > 0) || !std::isfinite(width_)) width_ = HUGE_VAL;
}

CentroidStream::~CentroidStream() {
    if (fd_ >= 0) ::close(fd_);
}

bool CentroidStream::suits(const dm::Spectrum& scan) {
    const std::size_t n = scan.mass.size();
    return n > 0 && scan.flags.size() != n && scan.width.size() != n && scan.extra.size() != n;
}

std::size_t CentroidStream::band_of(float mass) const {
    const double at = (mass - low_) / width_;
    if (!(at > 0)) return 0;
    return at >= kBands ? kBands - 1 : static_cast<std::size_t>(at);
}

bool CentroidStream::add(const dm::Spectrum& scan, std::string& why) {
    const auto k = static_cast<std::uint32_t>(scans_++);
    for (std::size_t i = 0; i < scan.mass.size(); ++i)
        bands_[band_of(scan.mass[i])].push_back({scan.mass[i], scan.intensity[i], k});
    held_ += scan.mass.size();
    if (first_.size() < kScatterScans) first_.push_back(dm::Spectrum{scan.mass, {}, {}, {}, {}, false});
    return held_ < heldLimit_ || spill(why);
}

bool CentroidStream::spill(std::string& why) {
    if (fd_ < 0 && (fd_ = temporary_file(why)) < 0) return false;
    for (std::size_t b = 0; b < kBands; ++b) {
        std::vector<Record>& band = bands_[b];
        if (band.empty()) continue;
        if (!write_all(fd_, band.data(), band.size() * sizeof(Record), spilled_)) {
            why = std::string("cannot write a temporary file: ") + std::strerror(errno ? errno : ENOSPC);
            return false;
        }
        chunks_.push_back({static_cast<std::uint32_t>(b), spilled_, band.size()});
        spilled_ += band.size() * sizeof(Record);
        band.clear();
    }
    held_ = 0;
    return true;
}

bool CentroidStream::finish(dm::Spectrum& out, std::string& why) {
    // A tolerance in ppm below what the data scatter would split one ion into
    // several centroids: it is widened to four times the scatter.
    Settings s = settings_;
    if (!s.toleranceInAmu) s.tolerance = static_cast<float>(std::max<double>(s.tolerance, 4.0 * centroid_scatter_ppm(first_)));
    first_.clear();
    const double factor = s.intensityScale / (s.mean ? static_cast<double>(scans_) : 1.0);
    out = dm::Spectrum{};

    // One group at a time, as the peaks come in order of mass.
    double sw = 0, swm = 0, sm = 0, sum = 0, centre = 0;
    std::size_t count = 0;
    int scansSeen = 0;
    std::uint32_t group = 0;
    std::vector<std::uint32_t> seen(scans_, 0);  // the group that last saw a scan
    const auto close = [&]() {
        if (count == 0) return;
        if (scansSeen >= s.minScans) {
            out.mass.push_back(static_cast<float>(centre));
            out.intensity.push_back(static_cast<float>(sum * factor));
        }
        count = 0;
    };

    std::vector<std::size_t> order(chunks_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) { return chunks_[a].band < chunks_[b].band; });
    std::vector<Record> band, spare;
    std::size_t next = 0;
    for (std::size_t b = 0; b < kBands; ++b) {
        band.clear();
        for (; next < order.size() && chunks_[order[next]].band == b; ++next) {
            const Chunk& c = chunks_[order[next]];
            const std::size_t at = band.size();
            band.resize(at + c.count);
            if (!read_all(fd_, band.data() + at, c.count * sizeof(Record), c.offset)) {
                why = std::string("cannot read a temporary file: ") + std::strerror(errno ? errno : EIO);
                return false;
            }
        }
        band.insert(band.end(), bands_[b].begin(), bands_[b].end());
        std::vector<Record>().swap(bands_[b]);
        sort_by_mass(band, spare);
        for (const Record& p : band) {
            if (count > 0) {
                const double tol = s.toleranceInAmu ? s.tolerance : centre * s.tolerance * 1e-6;
                if (!s.mergeCentroids || p.mass - centre > tol) close();
            }
            if (count == 0) {
                sw = swm = sm = sum = 0;
                scansSeen = 0;
                ++group;
                centre = p.mass;
            }
            const double w = std::max(0.0f, p.intensity);
            sw += w;
            swm += w * p.mass;
            sm += p.mass;
            sum += p.intensity;
            if (seen[p.scan] != group) seen[p.scan] = group, ++scansSeen;
            ++count;
            centre = sw > 0 ? swm / sw : sm / static_cast<double>(count);
        }
    }
    close();
    out.continuum = false;
    return true;
}

}  // namespace masscal::combine
