#include <gtest/gtest.h>

#include <string>

#include "mzml/binary_array.hpp"
#include "mzml/mzml_backend.hpp"
#include "description_text.hpp"
#include "support/test_files.hpp"

namespace {

using masscal::dm::FunctionDescription;
using masscal::dm::parse_mzml;
using masscal::dm::RawFile;
using masscal::dm::Spectrum;
using testfiles::MzmlSpectrum;

MzmlSpectrum centroid(std::vector<double> mz, double lo = 0, double hi = 0, int level = 1) {
    MzmlSpectrum s;
    s.mz = mz;
    for (std::size_t i = 0; i < mz.size(); ++i) s.intensity.push_back(10.0 * static_cast<double>(i + 1));
    s.windowLow = lo;
    s.windowHigh = hi;
    s.msLevel = level;
    return s;
}

std::unique_ptr<RawFile> parse_ok(const std::string& text) {
    std::string error;
    auto f = parse_mzml(text, "x.mzML", error);
    EXPECT_NE(f, nullptr) << error;
    return f;
}

TEST(Base64, DecodesPaddingAndWhitespaceAndRefusesJunk) {
    std::vector<unsigned char> out;
    ASSERT_TRUE(masscal::dm::base64_decode("TWFu\n TWFu TQ==", out));
    EXPECT_EQ(std::string(out.begin(), out.end()), "ManManM");
    EXPECT_FALSE(masscal::dm::base64_decode("TW*u", out));
    EXPECT_FALSE(masscal::dm::base64_decode("TQ==TQ==", out));  // data after padding
    EXPECT_FALSE(masscal::dm::base64_decode("T", out));         // a lone 6-bit group
}

TEST(Mzml, EveryEncodingDecodesToTheSameValues) {
    const std::vector<double> mz = {100.123456789, 200.5, 300.75, 1234.5678};
    for (bool doubles : {true, false}) {
        for (bool zlib : {false, true}) {
            MzmlSpectrum s = centroid(mz);
            s.mzEncoding = {doubles, zlib};
            s.intensityEncoding = {!doubles, zlib};
            auto f = parse_ok(testfiles::mzml({s}, {"MS:1000084", zlib}));
            ASSERT_TRUE(f);
            Spectrum out;
            std::string error;
            ASSERT_TRUE(f->readScan(1, 1, out, error)) << error;
            EXPECT_EQ(out.mass, std::vector<float>(mz.begin(), mz.end()));
            EXPECT_EQ(out.intensity, (std::vector<float>{10, 20, 30, 40}));
        }
    }
}

TEST(Mzml, FunctionsGroupByLevelAndWindowInOrderOfAppearance) {
    std::vector<MzmlSpectrum> spectra = {
        centroid({100, 200}, 50, 1000),  // function 1 scan 1
        centroid({150}, 50, 500, 2),     // function 2 scan 1
        centroid({110, 210}, 50, 1000),  // function 1 scan 2
        centroid({120}, 50, 1000, 2),    // function 3 (same level as 2, other window)
        centroid({160}, 50, 500, 2),     // function 2 scan 2
        centroid({300, 400}),            // function 4: no window
    };
    spectra[0].polarity = 1;
    spectra[1].polarity = -1;
    auto f = parse_ok(testfiles::mzml(spectra));
    ASSERT_TRUE(f);
    ASSERT_EQ(f->functionCount(), 4);
    // No window: the data's range.
    const std::pair<float, float> ranges[] = {{50, 1000}, {50, 500}, {50, 1000}, {300, 400}};
    const int scans[] = {2, 2, 1, 1}, modes[] = {1, 2, 0, 0};
    for (int i = 0; i < 4; ++i) {
        FunctionDescription d;
        ASSERT_TRUE(f->describe(i + 1, d));
        FunctionDescription want{.massLow = ranges[i].first, .massHigh = ranges[i].second, .timeOfFlight = true,
                                 .accurateMass = true, .scanCount = scans[i], .reflectron = {},
                                 .ionisationMode = modes[i]};
        EXPECT_EQ(description_text(d), description_text(want)) << "function " << i + 1;
    }

    Spectrum s;
    std::string error;
    ASSERT_TRUE(f->readScan(2, 2, s, error)) << error;
    EXPECT_FLOAT_EQ(s.mass[0], 160.0f);
    ASSERT_TRUE(f->readScan(1, 2, s, error));
    EXPECT_FLOAT_EQ(s.mass[1], 210.0f);
    EXPECT_FALSE(f->readScan(3, 2, s, error));
    EXPECT_NE(error.find("function 3 has no scan 2"), std::string::npos) << error;
}

TEST(Mzml, AnalyzersGiveTimeOfFlightAndAccurateMass) {
    struct Case {
        const char* accession;
        bool tof, accurate;
    } cases[] = {{"MS:1000084", true, true}, {"MS:1000484", false, true}, {"MS:1000079", false, true},
                 {"MS:1000081", false, false}};
    for (const Case& c : cases) {
        auto f = parse_ok(testfiles::mzml({centroid({1, 2})}, {c.accession, false}));
        ASSERT_TRUE(f);
        FunctionDescription d;
        ASSERT_TRUE(f->describe(1, d));
        EXPECT_EQ(std::pair(d.timeOfFlight, d.accurateMass), std::pair(c.tof, c.accurate)) << c.accession;
    }
}

TEST(Mzml, ProfileFlagAndIndexedWrapper) {
    MzmlSpectrum p = testfiles::profile_spectrum(100, 101, 0.01, {{100.5, 1000, 0.05}});
    auto f = parse_ok(testfiles::mzml({p}, {"MS:1000084", true}));
    ASSERT_TRUE(f);
    FunctionDescription d;
    Spectrum s;
    std::string error;
    ASSERT_TRUE(f->describe(1, d) && f->readScan(1, 1, s, error)) << error;
    EXPECT_TRUE(d.continuum && s.continuum);
    EXPECT_EQ(s.mass.size(), 101u);
}

TEST(Mzml, UnsortedMassesAreSortedWithTheirIntensities) {
    MzmlSpectrum s = centroid({300, 100, 200});
    auto f = parse_ok(testfiles::mzml({s}));
    Spectrum out;
    std::string error;
    ASSERT_TRUE(f->readScan(1, 1, out, error));
    EXPECT_EQ(out.mass, (std::vector<float>{100, 200, 300}));
    EXPECT_EQ(out.intensity, (std::vector<float>{20, 30, 10}));
}

std::string replace(std::string s, const std::string& from, const std::string& to) {
    const auto p = s.find(from);
    if (p != std::string::npos) s.replace(p, from.size(), to);
    return s;
}

TEST(Mzml, BrokenDocumentsAreRefusedAtOpen) {
    const std::string good = testfiles::mzml({centroid({100, 200})});
    struct Case {
        std::string text;
        const char* what;
    } cases[] = {
        {"", "not a well-formed XML document"},
        {good.substr(0, good.size() / 2), "not a well-formed XML document"},
        {"<root/>", "not an mzML file"},
        {"<mzML/>", "has no run"},
        {"<mzML><run><spectrumList/></run></mzML>", "holds no mass spectra"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(parse_mzml(c.text, "bad.mzML", error), nullptr);
        EXPECT_NE(error.find("bad.mzML: "), std::string::npos) << error;
        EXPECT_NE(error.find(c.what), std::string::npos) << c.what << " / " << error;
    }
}

TEST(Mzml, BrokenSpectraAreRefusedWhenRead) {
    const std::string good = testfiles::mzml({centroid({100, 200})});
    struct Case {
        std::string text;
        const char* what;
    } cases[] = {
        {replace(good, "defaultArrayLength=\"2\"", "defaultArrayLength=\"3\""), "bytes where"},
        {replace(good, "defaultArrayLength=\"2\"", "defaultArrayLength=\"x\""), "bad defaultArrayLength"},
        {replace(good, "MS:1000523", "MS:1000999"), "number type"},
        {replace(good, "MS:1000576", "MS:1002312"), "compression"},
        {replace(good, "MS:1000576", "MS:1000574"), "cannot be inflated"},
        {replace(good, "<binary>", "<binary>*"), "not valid base64"},
        {replace(good, "MS:1000515", "MS:1000999"), "no intensity array"},
        {replace(replace(good, "MS:1000515", "MS:1000514"), "MS:1000521", "MS:1000523"), "more than one m/z"},
    };
    for (const Case& c : cases) {
        std::string error;
        auto f = parse_mzml(c.text, "bad.mzML", error);
        ASSERT_NE(f, nullptr) << error;
        Spectrum s;
        EXPECT_FALSE(f->readScan(1, 1, s, error));
        EXPECT_NE(error.find(c.what), std::string::npos) << "got: " << error << "\nwanted: " << c.what;
    }
}

TEST(Mzml, HugeDeclaredLengthDoesNotAllocate) {
    MzmlSpectrum s = centroid({100, 200});
    s.mzEncoding.zlib = true;
    s.intensityEncoding.zlib = true;
    std::string text = replace(testfiles::mzml({s}), "defaultArrayLength=\"2\"", "defaultArrayLength=\"4000000000000\"");
    std::string error;
    auto f = parse_mzml(text, "big.mzML", error);
    ASSERT_TRUE(f);
    Spectrum out;
    EXPECT_FALSE(f->readScan(1, 1, out, error));
    EXPECT_NE(error.find("does not fit"), std::string::npos) << error;
}

}  // namespace
