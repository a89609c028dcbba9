#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "calfile_fixture.hpp"

using namespace calfile_test;

namespace {

using QuadSections = CalFileTest;

RawCalibQuad make_quad(float base) {
    RawCalibQuad q;
    std::memset(&q, 0, sizeof q);
    q.Static = make_coeffs(2, 0.25);
    q.Static.dStdDev = 0.5;
    q.Dynamic = make_coeffs(3, -0.125, 1);
    q.Dynamic.dStdDev = 1.25;
    q.Fast = make_coeffs(1, 0.0625);
    q.Fast.dStdDev = 0.03;
    float* s = &q.StaticParams.fDwellTime;
    float* d = &q.DynamicParams.fLowMass;
    float* f = &q.FastParams.fLowMass;
    for (int i = 0; i < 7; ++i) {
        s[i] = base + 0.5f * i;
        d[i] = base * 2 + 0.25f * i;
        f[i] = base * 3 + 0.125f * i;
    }
    std::strcpy(q.StaticParams.szReferenceFile, "/data/ref/peg.ref");
    std::strcpy(q.StaticParams.szAcquisitionFile, "static acquisition.exp");
    std::strcpy(q.DynamicParams.szReferenceFile, "dyn.ref");
    std::strcpy(q.FastParams.szAcquisitionFile, "fast.exp");
    q.fDACSeparation = 12.75f;
    q.nLagTime = -42;
    return q;
}

// The quadrupole sections keep no covariance.
RawCalibCoEffs without_covariance(RawCalibCoEffs c) {
    std::memset(c.dCovar, 0, sizeof c.dCovar);
    return c;
}

TEST_F(QuadSections, ZeroRecordWritesZeroPolynomialsAndReadsEmpty) {
    const std::string file = path("cal.ini");
    RawCalibQuad q;
    std::memset(&q, 0, sizeof q);
    CalFile::WriteQuadParameters(file.c_str(), &q, "QUAD1");

    const std::string text = read_all(file);
    EXPECT_EQ(section_names(text),
              (std::vector<std::string>{"QUAD1 (Static)", "QUAD1 (Dynamic)", "QUAD1 (Fast)", "QUAD1"}));
    for (const char* s : {"QUAD1 (Static)", "QUAD1 (Dynamic)", "QUAD1 (Fast)"}) {
        EXPECT_EQ(ini_value(text, s, "Polynomial"), "0 0 0") << s;
        EXPECT_EQ(ini_value(text, s, "StdDev"), "0.00") << s;
        EXPECT_EQ(ini_value(text, s, "LowMass"), "0.000000") << s;
        EXPECT_EQ(ini_value(text, s, "ReferenceFile"), "") << s;
    }
    EXPECT_EQ(key_names(text, "QUAD1 (Static)"),
              (std::vector<std::string>{"Polynomial", "StdDev", "DwellTime", "Span", "LowMass", "HighMass", "LMRes",
                                        "HMRes", "IonEnergy", "ReferenceFile", "AcquisitionFile"}));
    EXPECT_EQ(key_names(text, "QUAD1 (Dynamic)"),
              (std::vector<std::string>{"Polynomial", "StdDev", "LowMass", "HighMass", "ScanTime", "InterScanDelay",
                                        "LMRes", "HMRes", "IonEnergy", "ReferenceFile", "AcquisitionFile"}));
    EXPECT_EQ(key_names(text, "QUAD1"), (std::vector<std::string>{"DACSeparation", "LagTime"}));
    EXPECT_EQ(ini_value(text, "QUAD1", "LagTime"), "0");

    RawCalibQuad back;
    std::memset(&back, 0x5a, sizeof back);
    CalFile::ReadQuadParameters(file.c_str(), &back, "QUAD1");
    for (const RawCalibCoEffs* c : {&back.Static, &back.Dynamic, &back.Fast}) {
        EXPECT_EQ(c->nOrder, -1);
        EXPECT_EQ(c->nType, 0);
        EXPECT_EQ(+c->dStdDev, 0.0);
        for (double v : covar_of(*c)) EXPECT_EQ(v, 0.0);
    }
    EXPECT_EQ(back.StaticParams.fDwellTime, 0.0f);
    EXPECT_EQ(back.FastParams.fIonEnergy, 0.0f);
    EXPECT_STREQ(back.StaticParams.szReferenceFile, "");
    EXPECT_STREQ(back.FastParams.szAcquisitionFile, "");
    EXPECT_EQ(back.fDACSeparation, 0.0f);
    EXPECT_EQ(back.nLagTime, 0);
}

TEST_F(QuadSections, RoundTripKeepsEveryField) {
    const std::string file = path("cal.ini");
    RawCalibQuad q = make_quad(100.125f);
    CalFile::WriteQuadParameters(file.c_str(), &q, "QUAD2");
    const std::string text = read_all(file);
    EXPECT_EQ(section_names(text),
              (std::vector<std::string>{"QUAD2 (Static)", "QUAD2 (Dynamic)", "QUAD2 (Fast)", "QUAD2"}));
    EXPECT_EQ(ini_value(text, "QUAD2 (Static)", "DwellTime"), "100.125000");

    RawCalibQuad back;
    std::memset(&back, 0, sizeof back);
    CalFile::ReadQuadParameters(file.c_str(), &back, "QUAD2");
    // The parameters are exact in six decimals: the record reads back whole.
    RawCalibQuad want = q;
    want.Static = without_covariance(q.Static);
    want.Dynamic = without_covariance(q.Dynamic);
    want.Fast = without_covariance(q.Fast);
    EXPECT_EQ(describe(back.Static) + describe(back.Dynamic) + describe(back.Fast),
              describe(want.Static) + describe(want.Dynamic) + describe(want.Fast));
    want.Static = back.Static;
    want.Dynamic = back.Dynamic;
    want.Fast = back.Fast;
    EXPECT_EQ(std::memcmp(&back, &want, sizeof back), 0);
}

TEST_F(QuadSections, RealsKeepSixDecimals) {
    const std::string file = path("cal.ini");
    RawStaticParams p;
    std::memset(&p, 0, sizeof p);
    const float values[7] = {0.1f, 1234.5678f, 3.3333333f, 1.0e-7f, -0.0000015f, 65535.99f, 7.0f};
    std::memcpy(&p.fDwellTime, values, sizeof values);
    CalFile::WriteQuadStaticParams(file.c_str(), &p, "S");
    EXPECT_EQ(ini_value(read_all(file), "S", "DwellTime"), "0.100000");
    RawStaticParams back;
    std::memset(&back, 0, sizeof back);
    CalFile::ReadQuadStaticParams(file.c_str(), &back, "S");
    const float* b = &back.fDwellTime;
    for (int i = 0; i < 7; ++i) EXPECT_NEAR(b[i], values[i], 5e-7 + 1e-7 * std::abs(values[i])) << i;
}

TEST_F(QuadSections, StdDevKeepsTwoDecimals) {
    const std::string file = path("cal.ini");
    RawCalibCoEffs c = make_coeffs(1, 0.5);
    c.dStdDev = 0.123456;
    CalFile::WriteQuadStdDev(file.c_str(), &c, "S", "StdDev");
    EXPECT_EQ(ini_value(read_all(file), "S", "StdDev"), "0.12");
    CalFile::ReadQuadStdDev(file.c_str(), &c, "S", "StdDev");
    EXPECT_DOUBLE_EQ(+c.dStdDev, 0.12);
    CalFile::ReadQuadStdDev(file.c_str(), &c, "S", "Missing");
    EXPECT_EQ(+c.dStdDev, 0.0);
}

TEST_F(QuadSections, PolynomialReadDropsZeroTopCoefficientsAndClearsTheRecord) {
    const std::string file = path("cal.ini");
    RawCalibCoEffs c = make_coeffs(3, 0.5, 1);
    c.dCoeffs[3] = 0.0;
    CalFile::WriteQuadPolynomial(file.c_str(), &c, "S", "Polynomial");
    RawCalibCoEffs back = make_coeffs(5, 9.0, 7);
    back.dStdDev = 3.0;
    CalFile::ReadQuadPolynomial(file.c_str(), &back, "S", "Polynomial");
    RawCalibCoEffs want = without_covariance(c);
    want.nOrder = 2;
    EXPECT_EQ(describe(back), describe(want));
    for (int i = 3; i < 6; ++i) EXPECT_EQ(+back.dCoeffs[i], 0.0);

    // A missing key gives the empty polynomial of type 0.
    CalFile::ReadQuadPolynomial(file.c_str(), &back, "S", "Missing");
    EXPECT_EQ(back.nOrder, -1);
    EXPECT_EQ(back.nType, 0);
}

TEST_F(QuadSections, PathsOf259CharactersSurviveLongerOnesAreCut) {
    const std::string file = path("cal.ini");
    RawStaticParams p;
    std::memset(&p, 0, sizeof p);
    const std::string long259 = "/" + std::string(258, 'p');
    std::memcpy(p.szReferenceFile, long259.c_str(), 260);
    CalFile::WriteQuadStaticParams(file.c_str(), &p, "S");
    RawStaticParams back;
    std::memset(&back, 0, sizeof back);
    CalFile::ReadQuadStaticParams(file.c_str(), &back, "S");
    EXPECT_EQ(std::string(back.szReferenceFile), long259);

    // A longer path in the file is cut to 259 characters.
    std::string text = read_all(file);
    const std::string longer = long259 + "tail_beyond_the_field";
    text.replace(text.find(long259), long259.size(), longer);
    write_all(file, text);
    CalFile::ReadQuadStaticParams(file.c_str(), &back, "S");
    EXPECT_EQ(std::string(back.szReferenceFile), long259);
    EXPECT_EQ(back.szReferenceFile[259], '\0');
}

TEST_F(QuadSections, UnterminatedPathFieldWritesOnly260Characters) {
    const std::string file = path("cal.ini");
    RawStaticParams p;
    std::memset(&p, 'q', sizeof p);
    std::memset(&p, 0, 28);
    CalFile::WriteQuadStaticParams(file.c_str(), &p, "S");
    const auto v = ini_value(read_all(file), "S", "ReferenceFile");
    ASSERT_TRUE(v);
    EXPECT_EQ(*v, std::string(260, 'q'));
}

TEST_F(QuadSections, BothAnalysersOfAWholeCalibration) {
    const std::string file = path("cal.ini");
    auto info = std::make_unique<RawCalibInfo>();
    std::memset(info.get(), 0, sizeof *info);
    RawCalibQuad q1 = make_quad(1.5f), q2 = make_quad(2.5f);
    std::memcpy(&info->Quad1, &q1, sizeof q1);
    std::memcpy(&info->Quad2, &q2, sizeof q2);
    CalFile::WriteQuad1Parameters(file.c_str(), info.get());
    CalFile::WriteQuad2Parameters(file.c_str(), info.get());
    EXPECT_EQ(section_names(read_all(file)),
              (std::vector<std::string>{"QUAD1 (Static)", "QUAD1 (Dynamic)", "QUAD1 (Fast)", "QUAD1", "QUAD2 (Static)",
                                        "QUAD2 (Dynamic)", "QUAD2 (Fast)", "QUAD2"}));

    auto back = std::make_unique<RawCalibInfo>();
    std::memset(back.get(), 0, sizeof *back);
    CalFile::ReadQuad1Parameters(file.c_str(), back.get());
    CalFile::ReadQuad2Parameters(file.c_str(), back.get());
    RawCalibQuad b1, b2;
    std::memcpy(&b1, &back->Quad1, sizeof b1);
    std::memcpy(&b2, &back->Quad2, sizeof b2);
    EXPECT_EQ(std::make_pair(b1.StaticParams.fDwellTime, b2.StaticParams.fDwellTime), std::make_pair(1.5f, 2.5f));
    EXPECT_EQ(describe(b2.Dynamic), describe(without_covariance(q2.Dynamic)));
}

}  // namespace
