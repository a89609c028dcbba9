#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

#include "description_text.hpp"
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
    // The data's own range.
    EXPECT_EQ(description_text(d), description_text({.massLow = 100.5f, .massHigh = 300, .reflectron = {}}));
    Spectrum s = scan(*f, 1, 1);
    EXPECT_EQ(s.mass, (std::vector<float>{100.5f, 200.25f, 300}));
    EXPECT_EQ(s.intensity, (std::vector<float>{10, 20, 30}));
    EXPECT_TRUE(s.flags.empty() && s.width.empty() && s.extra.empty());
}

TEST(PeakList, OptionalColumnsByCountTitleLineAndKey) {
    auto byCount = parse_ok("100 1 2 0.01 -5\n101 1 16 0.02 7\n");
    Spectrum s = scan(*byCount, 1, 1);
    EXPECT_EQ(s.flags, (std::vector<std::uint8_t>{2, 16}));
    EXPECT_EQ(s.width, (std::vector<float>{0.01f, 0.02f}));
    EXPECT_EQ(s.extra, (std::vector<std::uint32_t>{static_cast<std::uint32_t>(-5), 7}));

    auto titled = parse_ok("mass,intensity,width\n100,1,0.5\n101,2,0.25\n");
    s = scan(*titled, 1, 1);
    EXPECT_TRUE(s.flags.empty());
    EXPECT_EQ(s.width, (std::vector<float>{0.5f, 0.25f}));

    auto keyed = parse_ok("# columns: mass intensity extra\n100 1 42\n");
    EXPECT_EQ(scan(*keyed, 1, 1).extra, (std::vector<std::uint32_t>{42}));
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
    EXPECT_EQ(description_text(d),
              description_text({.massLow = 50, .massHigh = 950, .timeOfFlight = true, .external = false,
                                .accurateMass = true, .acquisitionWord = 6, .continuum = false, .scanCount = 2,
                                .segment = 3, .reflectron = 1234, .typeValue = std::bit_cast<std::uint32_t>(25.5f),
                                .functionType = 15, .ionisationMode = 9, .modeWord = 1, .instrumentMode = 2,
                                .samplingRate = 500, .precursorMass = 556.25f, .focusVoltage = -100.5f,
                                .sourceVoltage = 20000, .extractionVoltage = 1500, .rootMass = true}));
    EXPECT_EQ(scan(*f, 1, 2).mass.size(), 2u);

    ASSERT_TRUE(f->describe(2, d));
    // Keys belong to their function.
    EXPECT_EQ(description_text(d),
              description_text(
                  {.massLow = 10, .massHigh = 10, .external = true, .continuum = true, .reflectron = {}}));
    EXPECT_TRUE(scan(*f, 2, 1).continuum);

    Spectrum s;
    std::string error;
    EXPECT_FALSE(f->readScan(1, 3, s, error));
    EXPECT_FALSE(f->readScan(3, 1, s, error));
    EXPECT_FALSE(f->describe(0, d));
}

TEST(PeakList, HeaderOnlyFileHasOneEmptyScanAndEqualMassesAreAllowed) {
    auto f = parse_ok("# continuum: no\n");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->functionCount(), 1);
    EXPECT_TRUE(scan(*f, 1, 1).mass.empty());
    EXPECT_EQ(scan(*parse_ok("100 1\n100 2\n"), 1, 1).mass.size(), 2u);
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
