#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "formats/peak_list_backend.hpp"

namespace {

using masscal::dm::FunctionDescription;
using masscal::dm::parse_peak_list;
using masscal::dm::RawFile;
using masscal::dm::Spectrum;

std::unique_ptr<RawFile> parse_ok(const std::string& text) {
    std::string error;
    auto f = parse_peak_list(text, "list.txt", error);
    EXPECT_NE(f, nullptr) << error;
    return f;
}

Spectrum scan(const RawFile& f, int function, int scan) {
    Spectrum s;
    std::string error;
    EXPECT_TRUE(f.readScan(function, scan, s, error)) << error;
    return s;
}

TEST(PeakList, TwoColumnsWithCrLfAndComments) {
    auto f = parse_ok("## a comment\r\n100.5 10\r\n\r\n200.25\t20\r\n300 30\r\n");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->functionCount(), 1);
    FunctionDescription d;
    ASSERT_TRUE(f->describe(1, d));
    EXPECT_EQ(d.scanCount, 1);
    EXPECT_FLOAT_EQ(d.massLow, 100.5f);  // the data's own range
    EXPECT_FLOAT_EQ(d.massHigh, 300.0f);
    EXPECT_FALSE(d.continuum);
    Spectrum s = scan(*f, 1, 1);
    ASSERT_EQ(s.mass.size(), 3u);
    EXPECT_FLOAT_EQ(s.mass[1], 200.25f);
    EXPECT_FLOAT_EQ(s.intensity[2], 30.0f);
    EXPECT_TRUE(s.flags.empty());
    EXPECT_TRUE(s.width.empty());
}

TEST(PeakList, OptionalColumnsByCountTitleLineAndKey) {
    auto byCount = parse_ok("100 1 2 0.01 -5\n101 1 16 0.02 7\n");
    Spectrum s = scan(*byCount, 1, 1);
    ASSERT_EQ(s.flags.size(), 2u);
    EXPECT_EQ(s.flags[1], 16);
    EXPECT_FLOAT_EQ(s.width[0], 0.01f);
    EXPECT_EQ(s.extra[0], static_cast<std::uint32_t>(-5));

    auto titled = parse_ok("mass,intensity,width\n100,1,0.5\n101,2,0.25\n");
    s = scan(*titled, 1, 1);
    EXPECT_TRUE(s.flags.empty());
    ASSERT_EQ(s.width.size(), 2u);
    EXPECT_FLOAT_EQ(s.width[1], 0.25f);

    auto keyed = parse_ok("# columns: mass intensity extra\n100 1 42\n");
    s = scan(*keyed, 1, 1);
    ASSERT_EQ(s.extra.size(), 1u);
    EXPECT_EQ(s.extra[0], 42u);
}

TEST(PeakList, FunctionsScansAndEveryKey) {
    const char* text =
        "# mass range: 50 - 950\n"
        "# time-of-flight: yes\n"
        "# External: no\n"
        "# accurate_mass: yes\n"
        "# acquisition word: 6\n"
        "# segment: 3\n"
        "# reflectron: 1234\n"
        "# type value: 25.5\n"
        "# mode word: 1\n"
        "# function type: 15\n"
        "# ionization mode: 9\n"
        "# instrument mode: 2\n"
        "# sampling rate: 500\n"
        "# precursor mass: 556.25\n"
        "# focus voltage: -100.5\n"
        "# source voltage: 20000\n"
        "# extraction voltage: 1.5e3\n"
        "# root-mass calibration: on\n"
        "# function: 1\n"
        "# scan: 1\n"
        "100 1\n"
        "# scan: 2\n"
        "100.1 2\n"
        "200 3\n"
        "# function: 2\n"
        "# continuum: true\n"
        "# external: yes\n"
        "10 5\n";
    auto f = parse_ok(text);
    ASSERT_TRUE(f);
    ASSERT_EQ(f->functionCount(), 2);
    FunctionDescription d;
    ASSERT_TRUE(f->describe(1, d));
    EXPECT_FLOAT_EQ(d.massLow, 50.0f);
    EXPECT_FLOAT_EQ(d.massHigh, 950.0f);
    EXPECT_TRUE(d.timeOfFlight);
    EXPECT_FALSE(d.external);
    EXPECT_TRUE(d.accurateMass);
    EXPECT_EQ(d.acquisitionWord, 6);
    EXPECT_EQ(d.segment, 3);
    ASSERT_TRUE(d.reflectron.has_value());
    EXPECT_EQ(*d.reflectron, 1234);
    float tv;
    std::memcpy(&tv, &d.typeValue, 4);
    EXPECT_EQ(tv, 25.5f);
    EXPECT_EQ(d.modeWord, 1);
    EXPECT_EQ(d.functionType, 15);
    EXPECT_EQ(d.ionisationMode, 9);
    EXPECT_EQ(d.instrumentMode, 2);
    EXPECT_EQ(d.samplingRate, 500);
    EXPECT_FLOAT_EQ(d.precursorMass, 556.25f);
    EXPECT_FLOAT_EQ(d.focusVoltage, -100.5f);
    EXPECT_FLOAT_EQ(d.sourceVoltage, 20000.0f);
    EXPECT_FLOAT_EQ(d.extractionVoltage, 1500.0f);
    EXPECT_TRUE(d.rootMass);
    EXPECT_EQ(d.scanCount, 2);
    EXPECT_EQ(scan(*f, 1, 2).mass.size(), 2u);

    ASSERT_TRUE(f->describe(2, d));
    EXPECT_TRUE(d.continuum);
    EXPECT_TRUE(d.external);
    EXPECT_FALSE(d.timeOfFlight);  // keys belong to their function
    EXPECT_FLOAT_EQ(d.massLow, 10.0f);
    EXPECT_TRUE(scan(*f, 2, 1).continuum);

    Spectrum s;
    std::string error;
    EXPECT_FALSE(f->readScan(1, 3, s, error));
    EXPECT_FALSE(f->readScan(3, 1, s, error));
    EXPECT_FALSE(f->describe(0, d));
}

TEST(PeakList, HeaderOnlyFileHasOneEmptyScan) {
    auto f = parse_ok("# continuum: no\n");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->functionCount(), 1);
    EXPECT_TRUE(scan(*f, 1, 1).mass.empty());
}

TEST(PeakList, EqualMassesAreAllowed) {
    auto f = parse_ok("100 1\n100 2\n");
    EXPECT_EQ(scan(*f, 1, 1).mass.size(), 2u);
}

struct BadCase {
    const char* text;
    const char* where;  // "line N"
    const char* what;
};

TEST(PeakList, BadInputIsRefusedWithFileLineAndReason) {
    const BadCase cases[] = {
        {"100 1\n200 abc\n", "line 2", "'abc' is not a number (intensity)"},
        {"100 1\n-5 1\n", "line 2", "negative mass"},
        {"100 1\n99 1\n", "line 2", "masses must ascend"},
        {"100 1 0\n101 1\n", "line 2", "expected 3 columns, found 2"},
        {"100\n", "line 1", "a peak needs a mass and an intensity"},
        {"1 2 3 4 5 6\n", "line 1", "too many columns"},
        {"# mas range: 1 2\n", "line 1", "unknown key 'mas range'"},
        {"# a note without colon\n", "line 1", "is not 'key: value'"},
        {"# time-of-flight: maybe\n", "line 1", "'maybe' is not yes or no"},
        {"# function: 2\n", "line 1", "function 2 where function 1 was expected"},
        {"1 1\n# function: 1\n# function: 3\n", "line 3", "function 3 where function 2"},
        {"# scan: 2\n", "line 1", "scan 2 where scan 1"},
        {"# function type: 32\n", "line 1", "out of range"},
        {"# mass range: 10\n", "line 1", "mass range needs two numbers"},
        {"# mass range: 10 5\n", "line 1", "not 0 <= low <= high"},
        {"100 1 256\n", "line 1", "out of range 0 to 255 (flags)"},
        {"100 1 1.5\n", "line 1", "not a whole number (flags)"},
        {"100 1 0 -1\n", "line 1", "negative width"},
        {"100 1 0 0 4294967296\n", "line 1", "does not fit in 32 bits (extra)"},
        {"100,,1\n", "line 1", "empty field"},
        {"100 1e40\n", "line 1", "out of range (intensity)"},
        {"100 nan\n", "line 1", "not a number"},
        {"100 inf\n", "line 1", "not a number"},
        {"mass,height\n", "line 1", "unknown column 'height'"},
        {"intensity,mass\n", "line 1", "must begin with mass and intensity"},
        {"1 1\n\n## c\n2 2\n3\n", "line 5", "expected 2 columns, found 1"},
        {"1 1\n1,5 3\n", "line 2", "'5 3' is not a number"},
    };
    for (const BadCase& c : cases) {
        std::string error;
        auto f = parse_peak_list(c.text, "/data/bad.txt", error);
        EXPECT_EQ(f, nullptr) << c.text;
        EXPECT_NE(error.find("/data/bad.txt, " + std::string(c.where) + ": "), std::string::npos) << error;
        EXPECT_NE(error.find(c.what), std::string::npos) << "got: " << error << "\nwanted: " << c.what;
    }
}

TEST(PeakList, EmptyAndBinaryFilesAreRefused) {
    std::string error;
    EXPECT_EQ(parse_peak_list("\n\n## only comments\n", "e.txt", error), nullptr);
    EXPECT_NE(error.find("e.txt: the file holds no peak list"), std::string::npos);
    EXPECT_EQ(parse_peak_list(std::string("100 1\n\0\n", 8), "b.txt", error), nullptr);
    EXPECT_NE(error.find("NUL"), std::string::npos);
}

}  // namespace
