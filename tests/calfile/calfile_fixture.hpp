// Shared pieces of the calibration file tests: a scratch folder, the
// protected members of CCalFile, and a small independent INI reader to look
// at what was written.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "masscal/calfile.hpp"
#include "masscal/tofcal.h"

namespace calfile_test {

// Opens the protected members to the tests.
struct CalFile : CCalFile {
    using CCalFile::IsWhiteSpace;
    using CCalFile::ReadCalibrationFunction;
    using CCalFile::ReadFloat;
    using CCalFile::ReadInt;
    using CCalFile::ReadModeDependantTofParameters;
    using CCalFile::ReadQuad1Parameters;
    using CCalFile::ReadQuad2Parameters;
    using CCalFile::ReadQuadParameters;
    using CCalFile::ReadQuadPolynomial;
    using CCalFile::ReadQuadStaticParams;
    using CCalFile::ReadQuadStdDev;
    using CCalFile::ReadReservoir;
    using CCalFile::ReadString;
    using CCalFile::ReadTimeStamps;
    using CCalFile::ReadTofParameters;
    using CCalFile::SetVersion;
    using CCalFile::WriteModeDependantTofParameters;
    using CCalFile::WriteQuad1Parameters;
    using CCalFile::WriteQuad2Parameters;
    using CCalFile::WriteQuadParameters;
    using CCalFile::WriteQuadPolynomial;
    using CCalFile::WriteQuadStaticParams;
    using CCalFile::WriteQuadStdDev;
    using CCalFile::WriteReservoir;
    using CCalFile::WriteTimeStamps;
    using CCalFile::WriteTofParameters;
};

inline std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_all(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

inline std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A plain reading of an INI text: sections in order, each with its keys
// and values in order.
struct IniSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;
};

inline std::vector<IniSection> parse_ini(const std::string& text) {
    std::vector<IniSection> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[' && line.back() == ']') {
            out.push_back({line.substr(1, line.size() - 2), {}});
        } else if (!out.empty()) {
            const auto eq = line.find('=');
            if (eq == std::string::npos) continue;
            out.back().entries.emplace_back(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
        }
    }
    return out;
}

inline const IniSection* find_section(const std::vector<IniSection>& ini, const std::string& name) {
    for (const auto& s : ini)
        if (lower(s.name) == lower(name)) return &s;
    return nullptr;
}

inline std::optional<std::string> ini_value(const std::string& text, const std::string& section,
                                            const std::string& key) {
    const auto ini = parse_ini(text);
    const IniSection* s = find_section(ini, section);
    if (!s) return std::nullopt;
    for (const auto& [k, v] : s->entries)
        if (lower(k) == lower(key)) return v;
    return std::nullopt;
}

inline std::vector<std::string> section_names(const std::string& text) {
    std::vector<std::string> names;
    for (const auto& s : parse_ini(text)) names.push_back(s.name);
    return names;
}

inline std::vector<std::string> key_names(const std::string& text, const std::string& section) {
    std::vector<std::string> keys;
    const auto ini = parse_ini(text);
    if (const IniSection* s = find_section(ini, section))
        for (const auto& e : s->entries) keys.push_back(e.first);
    return keys;
}

// Each test gets its own empty folder.
class CalFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("masscal_calfile_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    std::filesystem::path dir_;
};

// The doubles of the 4-packed records may be misaligned: read them by value.
inline std::array<double, 21> covar_of(const RawCalibCoEffs& c) {
    std::array<double, 21> out;
    std::memcpy(out.data(), reinterpret_cast<const char*>(&c) + offsetof(RawCalibCoEffs, dCovar), sizeof out);
    return out;
}

// Records are compared byte for byte; these fill them with recognisable
// values.
inline RawCalibCoEffs make_coeffs(int order, double base, int type = 0) {
    RawCalibCoEffs c;
    std::memset(&c, 0, sizeof c);
    c.nOrder = order;
    c.nType = type;
    for (int i = 0; i <= order && i < 6; ++i) c.dCoeffs[i] = base / (1.0 + i) + (i == 1 ? 1.0 : 0.0);
    for (int i = 0; i < 21; ++i) {
        const int row = [&] {
            int r = 0;
            while ((r + 1) * (r + 2) / 2 <= i) ++r;
            return r;
        }();
        // Only the packed elements of an order-'order' polynomial.
        if (row <= order) c.dCovar[i] = base * 1e-6 * (i + 1);
    }
    return c;
}

// A plain-file reference to dir/name.ext.
inline RawFileRef plain_ref(const std::filesystem::path& dir, const std::string& name, const std::string& ext) {
    RawFileRef r;
    std::memset(&r, 0, sizeof r);
    r.wKind = CAL_FILEREF_KIND_PLAIN;
    std::snprintf(r.szDirectory, sizeof r.szDirectory, "%s/", dir.c_str());
    std::snprintf(r.szName, sizeof r.szName, "%s", name.c_str());
    std::snprintf(r.szExtension, sizeof r.szExtension, "%s", ext.c_str());
    return r;
}

// Records as text, so that one comparison checks every field and a mismatch
// shows which. Doubles to 15 digits (what a round trip through the files
// keeps), floats to 9 (exact).
inline std::string describe(const RawCalibCoEffs& c) {
    std::ostringstream s;
    s << std::setprecision(15) << "order " << c.nOrder << " type " << c.nType << " coeffs";
    for (int i = 0; i <= c.nOrder && i < 6; ++i) s << ' ' << +c.dCoeffs[i];
    s << " covar";
    for (double v : covar_of(c)) s << ' ' << v;
    s << " sd " << +c.dStdDev << '\n';
    return s.str();
}

template <class Tof>
std::string describe_settings(const Tof& t) {
    std::ostringstream s;
    s << std::setprecision(9) << "reflectron";
    for (float r : t.fReflectron) s << ' ' << r;
    s << "\nsegments " << t.nSegments << " mode " << t.nInstrumentMode << " source " << t.fSourceVoltage
      << " focus " << t.fFocusVoltage << " extraction " << t.fExtractionVoltage << " sampling " << t.fSamplingRate
      << " ionisation " << t.nIonisationMode << " precursor " << t.fPrecursorMass << " low " << t.fLowMass
      << " high " << t.fHighMass << " pusher " << t.nPusherFreq << " date " << t.szDate << " time " << t.szTime;
    return s.str();
}

inline std::string describe(const TofBlock& b) { return describe(b.Calibration) + describe_settings(b); }

inline std::string describe(const _TOFCALIBRATION& t) {
    std::string s = "psd " + std::to_string(t.bPSDCalibration) + "\n";
    for (const RawCalibCoEffs& c : t.Segments) s += describe(c);
    return s + describe_settings(t);
}

// A time-of-flight calibration with a distinct value in every field.
inline _TOFCALIBRATION make_tof() {
    _TOFCALIBRATION t;
    std::memset(&t, 0, sizeof t);
    t.bPSDCalibration = 1;
    for (int i = 0; i < 12; ++i) {
        t.Segments[i] = make_coeffs(1 + i % 5, 0.0123456 * (i + 1), i % 3 - 1);
        t.fReflectron[i] = 1234.5678f + 10.0f * i;
    }
    t.nSegments = 3;
    t.nInstrumentMode = 2;
    t.fSourceVoltage = 2000.1234567f;
    t.fFocusVoltage = 0.1234567f;
    t.fExtractionVoltage = -750.125f;
    t.fSamplingRate = 3.6f;
    t.nIonisationMode = -1;
    t.fPrecursorMass = 556.2771f;
    t.fLowMass = 50.0f;
    t.fHighMass = 4000.0f;
    t.nPusherFreq = 12345;
    std::strcpy(t.szDate, "01-Feb-2024");
    std::strcpy(t.szTime, "10:11:12");
    return t;
}

}  // namespace calfile_test
