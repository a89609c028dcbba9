// Writers of data files for tests and benchmarks: peak lists and mzML
// documents with chosen encodings, and references that name them.
#pragma once

#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "masscal/records.h"

namespace testfiles {

inline std::string base64(const void* data, std::size_t n) {
    static const char* a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto* p = static_cast<const unsigned char*>(data);
    std::string out;
    out.reserve((n + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < n; i += 3) {
        const std::uint32_t v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
        out += a[v >> 18];
        out += a[(v >> 12) & 63];
        out += a[(v >> 6) & 63];
        out += a[v & 63];
    }
    if (i < n) {
        std::uint32_t v = p[i] << 16;
        if (i + 1 < n) v |= p[i + 1] << 8;
        out += a[v >> 18];
        out += a[(v >> 12) & 63];
        out += i + 1 < n ? a[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

inline std::vector<unsigned char> deflate(const std::vector<unsigned char>& in) {
    uLongf len = compressBound(static_cast<uLong>(in.size()));
    std::vector<unsigned char> out(len);
    compress(out.data(), &len, in.data(), static_cast<uLong>(in.size()));
    out.resize(len);
    return out;
}

struct ArrayEncoding {
    bool doubles = true;  // 64-bit floats, else 32-bit
    bool zlib = false;
};

inline std::string binary_array(const std::vector<double>& values, ArrayEncoding e, const char* kind) {
    std::vector<unsigned char> bytes;
    for (double v : values) {
        unsigned char b[8];
        if (e.doubles) {
            std::memcpy(b, &v, 8);
            bytes.insert(bytes.end(), b, b + 8);
        } else {
            const float f = static_cast<float>(v);
            std::memcpy(b, &f, 4);
            bytes.insert(bytes.end(), b, b + 4);
        }
    }
    if (e.zlib) bytes = deflate(bytes);
    std::string s = "<binaryDataArray encodedLength=\"0\">\n";
    s += std::string("<cvParam cvRef=\"MS\" accession=\"") + kind + "\" name=\"array\"/>\n";
    s += e.doubles ? "<cvParam cvRef=\"MS\" accession=\"MS:1000523\" name=\"64-bit float\"/>\n"
                   : "<cvParam cvRef=\"MS\" accession=\"MS:1000521\" name=\"32-bit float\"/>\n";
    s += e.zlib ? "<cvParam cvRef=\"MS\" accession=\"MS:1000574\" name=\"zlib compression\"/>\n"
                : "<cvParam cvRef=\"MS\" accession=\"MS:1000576\" name=\"no compression\"/>\n";
    s += "<binary>" + base64(bytes.data(), bytes.size()) + "</binary>\n</binaryDataArray>\n";
    return s;
}

struct MzmlSpectrum {
    std::vector<double> mz;
    std::vector<double> intensity;
    bool profile = false;
    int msLevel = 1;
    double windowLow = 0, windowHigh = 0;  // both 0: no scan window
    int polarity = 0;                       // 1 positive, -1 negative
    double rtSeconds = -1;                  // < 0: not stated
    double precursorMz = 0;                 // > 0: an MS2 spectrum's selected ion
    ArrayEncoding mzEncoding{true, false};
    ArrayEncoding intensityEncoding{false, false};
};

struct MzmlOptions {
    const char* analyzer = "MS:1000084";  // time-of-flight
    bool indexed = false;
};

inline std::string mzml(const std::vector<MzmlSpectrum>& spectra, MzmlOptions o = {}) {
    std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
    if (o.indexed) s += "<indexedmzML xmlns=\"http://psi.hupo.org/ms/mzml\">\n";
    s += "<mzML xmlns=\"http://psi.hupo.org/ms/mzml\" version=\"1.1.0\">\n";
    s += "<instrumentConfigurationList count=\"1\"><instrumentConfiguration id=\"ic\"><componentList count=\"1\">";
    s += std::string("<analyzer order=\"1\"><cvParam cvRef=\"MS\" accession=\"") + o.analyzer +
         "\" name=\"analyzer\"/></analyzer>";
    s += "</componentList></instrumentConfiguration></instrumentConfigurationList>\n";
    s += "<run id=\"r\" defaultInstrumentConfigurationRef=\"ic\"><spectrumList count=\"" +
         std::to_string(spectra.size()) + "\">\n";
    int index = 0;
    for (const MzmlSpectrum& sp : spectra) {
        s += "<spectrum index=\"" + std::to_string(index) + "\" id=\"scan=" + std::to_string(index + 1) +
             "\" defaultArrayLength=\"" + std::to_string(sp.mz.size()) + "\">\n";
        ++index;
        s += "<cvParam cvRef=\"MS\" accession=\"MS:1000511\" name=\"ms level\" value=\"" + std::to_string(sp.msLevel) +
             "\"/>\n";
        s += sp.profile ? "<cvParam cvRef=\"MS\" accession=\"MS:1000128\" name=\"profile spectrum\"/>\n"
                        : "<cvParam cvRef=\"MS\" accession=\"MS:1000127\" name=\"centroid spectrum\"/>\n";
        if (sp.polarity > 0) s += "<cvParam cvRef=\"MS\" accession=\"MS:1000130\" name=\"positive scan\"/>\n";
        if (sp.polarity < 0) s += "<cvParam cvRef=\"MS\" accession=\"MS:1000129\" name=\"negative scan\"/>\n";
        s += "<scanList count=\"1\"><scan>";
        if (sp.rtSeconds >= 0) {
            char buf[200];
            std::snprintf(buf, sizeof buf,
                          "<cvParam cvRef=\"MS\" accession=\"MS:1000016\" name=\"scan start time\" value=\"%.4f\" "
                          "unitCvRef=\"UO\" unitAccession=\"UO:0000010\" unitName=\"second\"/>",
                          sp.rtSeconds);
            s += buf;
        }
        if (sp.windowLow != 0 || sp.windowHigh != 0) {
            char buf[400];
            std::snprintf(buf, sizeof buf,
                          "<scanWindowList count=\"1\"><scanWindow>"
                          "<cvParam cvRef=\"MS\" accession=\"MS:1000501\" name=\"lower\" value=\"%.6f\"/>"
                          "<cvParam cvRef=\"MS\" accession=\"MS:1000500\" name=\"upper\" value=\"%.6f\"/>"
                          "</scanWindow></scanWindowList>",
                          sp.windowLow, sp.windowHigh);
            s += buf;
        }
        s += "</scan></scanList>\n";
        if (sp.precursorMz > 0) {
            char buf[300];
            std::snprintf(buf, sizeof buf,
                          "<precursorList count=\"1\"><precursor><selectedIonList count=\"1\"><selectedIon>"
                          "<cvParam cvRef=\"MS\" accession=\"MS:1000744\" name=\"selected ion m/z\" value=\"%.6f\"/>"
                          "</selectedIon></selectedIonList></precursor></precursorList>\n",
                          sp.precursorMz);
            s += buf;
        }
        s += "<binaryDataArrayList count=\"2\">\n";
        s += binary_array(sp.mz, sp.mzEncoding, "MS:1000514");
        s += binary_array(sp.intensity, sp.intensityEncoding, "MS:1000515");
        s += "</binaryDataArrayList>\n</spectrum>\n";
    }
    s += "</spectrumList></run>\n</mzML>\n";
    if (o.indexed) s += "<indexList count=\"0\"/><indexListOffset>0</indexListOffset>\n</indexedmzML>\n";
    return s;
}

inline void write_file(const std::filesystem::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
}

// A plain-file reference to path, function 1.
inline RawFileRef ref_to(const std::filesystem::path& path, int function = 1) {
    RawFileRef r{};
    r.wKind = 19;
    const std::string dir = path.parent_path().string() + "/";
    const std::string stem = path.stem().string();
    std::string ext = path.extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    std::snprintf(r.szDirectory, sizeof r.szDirectory, "%s", dir.c_str());
    std::snprintf(r.szName, sizeof r.szName, "%s", stem.c_str());
    std::snprintf(r.szExtension, sizeof r.szExtension, "%s", ext.c_str());
    r.nFunction = function;
    r.wFunction = static_cast<std::uint16_t>(function);
    return r;
}

// A fresh directory under the system's temporary directory.
inline std::filesystem::path temp_dir(const std::string& tag) {
    auto base = std::filesystem::temp_directory_path() /
                ("masscal-" + tag + "-" + std::to_string(static_cast<unsigned long>(::getpid())));
    std::filesystem::create_directories(base);
    return base;
}

// Gaussian profile peaks on a uniform grid.
struct ProfilePeak {
    double centre, height, fwhm;
};

inline MzmlSpectrum profile_spectrum(double lo, double hi, double step, const std::vector<ProfilePeak>& peaks,
                                     double baseline = 0.0) {
    MzmlSpectrum s;
    s.profile = true;
    const auto n = static_cast<long>((hi - lo) / step + 1e-9) + 1;
    for (long i = 0; i < n; ++i) {
        const double m = lo + static_cast<double>(i) * step;
        double y = baseline;
        for (const ProfilePeak& p : peaks) {
            const double sigma = p.fwhm / 2.3548200450309493;
            const double d = (m - p.centre) / sigma;
            if (d * d < 60) y += p.height * std::exp(-0.5 * d * d);
        }
        s.mz.push_back(m);
        s.intensity.push_back(y);
    }
    return s;
}

}  // namespace testfiles
