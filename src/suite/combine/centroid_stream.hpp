// Combining many centroid scans without holding them: peaks are kept as
// small records, sorted into bands of mass, and a band is spilled to an
// unnamed temporary file when too many are held; the bands are then merged
// in order of mass. The result is the one the in-memory combine gives.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/backend.hpp"
#include "suite/combine/combine.hpp"

namespace masscal::combine {

class CentroidStream {
public:
    static constexpr std::size_t kHeldLimit = std::size_t{2} << 20;  // about 24 MB of peaks

    // Masses outside [low, high] go to the outermost bands. Past heldLimit
    // peaks held, the bands are spilled.
    CentroidStream(double low, double high, const Settings& settings, std::size_t heldLimit = kHeldLimit);
    ~CentroidStream();
    CentroidStream(const CentroidStream&) = delete;
    CentroidStream& operator=(const CentroidStream&) = delete;

    // Whether a scan can be combined this way: it has no channels but mass
    // and intensity.
    static bool suits(const dm::Spectrum& scan);
    // Adds the next scan; false with why when the temporary file fails.
    bool add(const dm::Spectrum& scan, std::string& why);
    // The combined spectrum; false with why when the temporary file fails.
    bool finish(dm::Spectrum& out, std::string& why);

private:
    struct Record {
        float mass, intensity;
        std::uint32_t scan;
    };
    struct Chunk {
        std::uint32_t band;
        std::uint64_t offset, count;
    };
    std::size_t band_of(float mass) const;
    bool spill(std::string& why);

    Settings settings_;
    double low_, width_;
    std::vector<std::vector<Record>> bands_;
    std::vector<Chunk> chunks_;
    std::vector<dm::Spectrum> first_;  // the first scans, for the scatter of the centroids
    std::size_t heldLimit_, held_ = 0, scans_ = 0;
    int fd_ = -1;
    std::uint64_t spilled_ = 0;
};

}  // namespace masscal::combine
