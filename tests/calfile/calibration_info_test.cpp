// Whole calibrations: the time-of-flight blocks, per-function calibrations,
// time stamps and reservoir, and the whole-file writers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "calfile_fixture.hpp"

using namespace calfile_test;

namespace {

using CalibrationInfo = CalFileTest;

// RawCalibInfo has 2-byte alignment; the storage puts it at an address that
// is 2 modulo 8, so its 4- and 8-byte members are misaligned for real.
class InfoStorage {
public:
    InfoStorage() : storage_(new std::uint64_t[sizeof(RawCalibInfo) / 8 + 2]()) {
        info_ = reinterpret_cast<RawCalibInfo*>(reinterpret_cast<char*>(storage_.get()) + 2);
    }
    RawCalibInfo* get() const { return info_; }
    RawCalibInfo* operator->() const { return info_; }

    template <typename T>
    T load(std::size_t offset) const {
        T v;
        std::memcpy(&v, reinterpret_cast<const char*>(info_) + offset, sizeof v);
        return v;
    }
    template <typename T>
    void store(std::size_t offset, const T& v) {
        std::memcpy(reinterpret_cast<char*>(info_) + offset, &v, sizeof v);
    }
    TofBlock block(int i) const { return load<TofBlock>(offsetof(RawCalibInfo, Tof) + sizeof(TofBlock) * i); }
    void set_block(int i, const TofBlock& b) { store(offsetof(RawCalibInfo, Tof) + sizeof(TofBlock) * i, b); }
    tagRAWCALIBFUNC function(int i) const {
        return load<tagRAWCALIBFUNC>(offsetof(RawCalibInfo, Functions) + sizeof(tagRAWCALIBFUNC) * i);
    }
    void set_function(int i, const tagRAWCALIBFUNC& f) {
        store(offsetof(RawCalibInfo, Functions) + sizeof(tagRAWCALIBFUNC) * i, f);
    }

private:
    std::unique_ptr<std::uint64_t[]> storage_;
    RawCalibInfo* info_;
};

TofBlock make_block(float base) {
    TofBlock b;
    std::memset(&b, 0, sizeof b);
    b.Calibration = make_coeffs(2, base * 1e-4, 1);
    for (int i = 0; i < 12; ++i) b.fReflectron[i] = base + i;
    b.nSegments = 1;
    b.nInstrumentMode = static_cast<int>(base);
    b.fSourceVoltage = base + 0.5f;
    b.fFocusVoltage = base + 0.25f;
    b.fExtractionVoltage = base + 0.125f;
    b.fSamplingRate = 3.6f;
    b.nIonisationMode = 1;
    b.fPrecursorMass = base * 2;
    b.fLowMass = 10.0f;
    b.fHighMass = base * 4;
    b.nPusherFreq = static_cast<int>(base) * 10;
    std::snprintf(b.szDate, sizeof b.szDate, "date %g", base);
    std::snprintf(b.szTime, sizeof b.szTime, "time %g", base);
    return b;
}

tagRAWCALIBFUNC make_function(int k, int segments) {
    tagRAWCALIBFUNC f;
    std::memset(&f, 0, sizeof f);
    f.nSegments = segments;
    for (int j = 0; j < 12 && j < segments; ++j) f.Segments[j] = make_coeffs(1 + (j + k) % 5, 0.001 * (k + 1) + j);
    f.bIsModified = k % 2;
    if (f.bIsModified) f.ModifiedPolynomial = make_coeffs(3, 0.5 * k, 1);
    return f;
}

// What a block reads back as: twelve segments and, of the reflectron, only
// the first value; outside the mode sections no pusher frequency, date or
// time. The rest is what the record held before.
TofBlock as_read(TofBlock b, bool mode, const TofBlock& before = {}) {
    b.nSegments = 12;
    std::copy(before.fReflectron + 1, before.fReflectron + 12, b.fReflectron + 1);
    if (!mode) {
        b.nPusherFreq = before.nPusherFreq;
        std::memcpy(b.szDate, before.szDate, sizeof b.szDate);
        std::memcpy(b.szTime, before.szTime, sizeof b.szTime);
    }
    return b;
}

TEST_F(CalibrationInfo, SingleTofBlockRoundTrip) {
    const std::string file = path("cal.ini");
    InfoStorage info;
    const TofBlock b = make_block(1500.0f);
    info.set_block(0, b);
    CalFile::WriteTofParameters(file.c_str(), info.get());
    EXPECT_EQ(info.block(0).nSegments, 12);

    const std::string text = read_all(file);
    EXPECT_EQ(key_names(text, "TOF"),
              (std::vector<std::string>{"Polynomial001", "Covariance001", "Reflectron", "NumSegments", "InstrumentMode",
                                        "SourceVoltage", "FocusVoltage", "ExtractionVoltage", "SamplingRate",
                                        "IonisationMode", "PrecursorMass", "LowMass", "HighMass", "CalTemperature"}));
    EXPECT_EQ(ini_value(text, "TOF", "Reflectron"), "1500.000000");
    // The block writer does not stamp the file.
    EXPECT_EQ(CCalFile::GetVersion(file.c_str()), 0);

    InfoStorage back;
    TofBlock pre;
    std::memset(&pre, 0, sizeof pre);
    for (int i = 0; i < 12; ++i) pre.fReflectron[i] = -3.0f;
    back.set_block(0, pre);
    CalFile::ReadTofParameters(file.c_str(), back.get());
    EXPECT_EQ(describe(back.block(0)), describe(as_read(b, false, pre)));
}

TEST_F(CalibrationInfo, ModeBlocksPairEntriesWithBlocksSwapTheMiddleAndSkipRepeatsOfTheFirst) {
    struct Case {
        int types[5];
        std::vector<std::pair<std::string, int>> written;  // section, block written there
        int read_from[5];                                  // the block each block reads back as
    };
    const Case cases[] = {
        {{1, 2, 3, 4, 5}, {{"TOF1", 0}, {"TOF2", 1}, {"TOF3", 3}, {"TOF4", 2}, {"TOF5", 4}}, {0, 1, 2, 3, 4}},
        // Entries 1 and 3 repeat the first type: not written, and read from TOF2 into blocks 1 and 2.
        {{2, 2, 3, 2, 4}, {{"TOF2", 0}, {"TOF3", 3}, {"TOF4", 4}}, {0, 0, 0, 3, 4}},
    };
    for (const Case& c : cases) {
        const std::string file = path("cal" + std::to_string(c.types[0]) + ".ini");
        InfoStorage info;
        for (int i = 0; i < 5; ++i) info.set_block(i, make_block(1000.0f + 100.0f * i));
        tagHASCALTYPE types[5];
        for (int i = 0; i < 5; ++i) types[i] = tagHASCALTYPE(c.types[i]);
        CalFile::WriteModeDependantTofParameters(file.c_str(), info.get(), types);
        const std::string text = read_all(file);
        std::vector<std::string> sections;
        for (const auto& [section, block] : c.written) {
            sections.push_back(section);
            const std::string mode = std::to_string(1000 + 100 * block);
            EXPECT_EQ(ini_value(text, section, "InstrumentMode"), mode) << section;
            EXPECT_EQ(ini_value(text, section, "PusherFreq"), mode + "0") << section;
            EXPECT_EQ(key_names(text, section).back(), "Date");
        }
        EXPECT_EQ(section_names(text), sections);

        InfoStorage back;
        CalFile::ReadModeDependantTofParameters(file.c_str(), back.get(), types);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(describe(back.block(i)), describe(as_read(info.block(c.read_from[i]), true))) << i;
    }
}

TEST_F(CalibrationInfo, ModeBlockWithoutPolynomialReadsAsTheIdentity) {
    const std::string file = path("cal.ini");
    write_all(file, "[TOF7]\nNumSegments=12\n[TOF8]\nPolynomial001=0 0 0.5\nCovariance001=0 1 0.25\n");
    InfoStorage back;
    TofBlock dirty = make_block(5.0f);
    for (int i = 0; i < 5; ++i) back.set_block(i, dirty);
    tagHASCALTYPE types[5] = {tagHASCALTYPE(7), tagHASCALTYPE(8), tagHASCALTYPE(7), tagHASCALTYPE(7),
                              tagHASCALTYPE(7)};
    CalFile::ReadModeDependantTofParameters(file.c_str(), back.get(), types);
    RawCalibCoEffs identity{};
    identity.nOrder = 1;
    identity.dCoeffs[1] = 1.0;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(describe(back.block(i).Calibration), describe(identity)) << i;
}

TEST_F(CalibrationInfo, FunctionCountsAndSections) {
    const std::string file = path("cal.ini");
    InfoStorage info;
    info->nFunctions = 2;
    info.set_function(0, make_function(0, 1));
    info.set_function(1, make_function(1, 2));
    CCalFile::WriteCalibrationFunctions(file.c_str(), info.get());
    std::string text = read_all(file);
    EXPECT_EQ(section_names(text), (std::vector<std::string>{"FUNCTIONS", "FUNCTIONS001", "FUNCTIONS002"}));
    EXPECT_EQ(ini_value(text, "FUNCTIONS", "NumberOfFunctions"), "2");
    EXPECT_EQ(key_names(text, "FUNCTIONS001"),
              (std::vector<std::string>{"NumberOfSegments", "Polynomial001", "Covariance001", "IsModified"}));
    EXPECT_EQ(ini_value(text, "FUNCTIONS001", "IsModified"), "0");
    EXPECT_EQ(key_names(text, "FUNCTIONS002").back(), "ModifiedPolynomial");

    const std::string many = path("many.ini");
    info->nFunctions = 40;
    CCalFile::WriteCalibrationFunctions(many.c_str(), info.get());
    text = read_all(many);
    EXPECT_EQ(ini_value(text, "FUNCTIONS", "NumberOfFunctions"), "40");
    const auto names = section_names(text);
    EXPECT_EQ(names.size(), 33u);
    EXPECT_EQ(names.back(), "FUNCTIONS032");

    InfoStorage back;
    CCalFile::ReadCalibrationFunctions(many.c_str(), back.get());
    EXPECT_EQ(+back->nFunctions, 40);
}

TEST_F(CalibrationInfo, FunctionsRoundTrip) {
    const std::string file = path("cal.ini");
    InfoStorage info;
    info->nFunctions = 32;
    for (int k = 0; k < 32; ++k) info.set_function(k, make_function(k, 1 + k % 12));
    CCalFile::WriteCalibrationFunctions(file.c_str(), info.get());
    InfoStorage back;
    CCalFile::ReadCalibrationFunctions(file.c_str(), back.get());
    EXPECT_EQ(+back->nFunctions, 32);
    // The modified polynomial keeps no covariance.
    for (int k = 0; k < 32; ++k) {
        tagRAWCALIBFUNC want = info.function(k);
        const tagRAWCALIBFUNC got = back.function(k);
        std::memset(want.ModifiedPolynomial.dCovar, 0, sizeof want.ModifiedPolynomial.dCovar);
        EXPECT_EQ(std::make_tuple(got.nSegments, got.bIsModified), std::make_tuple(want.nSegments, want.bIsModified));
        for (int j = 0; j < want.nSegments; ++j) EXPECT_EQ(describe(got.Segments[j]), describe(want.Segments[j]));
        if (want.bIsModified) {
            EXPECT_EQ(describe(got.ModifiedPolynomial), describe(want.ModifiedPolynomial));
        }
    }
}

TEST_F(CalibrationInfo, FunctionReadQuirks) {
    const std::string file = path("cal.ini");
    std::string text = "[F]\nPolynomial001=0 1 5 + 1x^1\nModifiedPolynomial=0 1 7 + 1x^1\n";
    text += "[G]\nNumberOfSegments=15\nIsModified=0\nModifiedPolynomial=0 1 7 + 1x^1\n";
    for (int j = 1; j <= 15; ++j) text += "Polynomial0" + std::string(j < 10 ? "0" : "") + std::to_string(j) + "=0 0 " + std::to_string(j) + "\n";
    write_all(file, text);

    tagRAWCALIBFUNC f = make_function(3, 12);
    const tagRAWCALIBFUNC before = f;
    CalFile::ReadCalibrationFunction(file.c_str(), &f, "F");
    // No NumberOfSegments: no segment read; IsModified missing: the modified
    // polynomial is ignored.
    EXPECT_EQ(f.nSegments, 0);
    EXPECT_EQ(std::memcmp(&f.Segments, &before.Segments, sizeof f.Segments), 0);
    EXPECT_EQ(f.bIsModified, 0);
    EXPECT_EQ(std::memcmp(&f.ModifiedPolynomial, &before.ModifiedPolynomial, sizeof f.ModifiedPolynomial), 0);

    CalFile::ReadCalibrationFunction(file.c_str(), &f, "G");
    EXPECT_EQ(f.nSegments, 15);
    for (int j = 0; j < 12; ++j) EXPECT_EQ(+f.Segments[j].dCoeffs[0], j + 1.0) << j;
    EXPECT_EQ(std::memcmp(&f.ModifiedPolynomial, &before.ModifiedPolynomial, sizeof f.ModifiedPolynomial), 0);
}

TEST_F(CalibrationInfo, TimeStampsAndReservoir) {
    const std::string file = path("cal.ini");
    InfoStorage info;
    std::strcpy(info->szTime, "10:20:30");
    std::strcpy(info->szDate, "2024-05-06");
    std::strcpy(info->szCheckTime, "11:00");
    std::strcpy(info->szCheckDate, "2024-05-07");
    info->wCheckNotOk = 65535;
    std::strcpy(info->szReservoir, "Reservoir B");
    CalFile::WriteTimeStamps(file.c_str(), info.get());
    CalFile::WriteReservoir(file.c_str(), info.get());
    const std::string text = read_all(file);
    EXPECT_EQ(key_names(text, "DateTime"),
              (std::vector<std::string>{"Time", "Date", "CheckTime", "CheckDate", "CheckNotOk"}));
    EXPECT_EQ(ini_value(text, "DateTime", "CheckNotOk"), "65535");
    EXPECT_EQ(ini_value(text, "Fluidics", "Reservoir"), "Reservoir B");

    InfoStorage back;
    CalFile::ReadTimeStamps(file.c_str(), back.get());
    CalFile::ReadReservoir(file.c_str(), back.get());
    EXPECT_EQ(std::make_tuple(std::string(back->szTime), std::string(back->szDate), std::string(back->szCheckTime),
                              std::string(back->szCheckDate), +back->wCheckNotOk, std::string(back->szReservoir)),
              std::make_tuple(std::string("10:20:30"), std::string("2024-05-06"), std::string("11:00"),
                              std::string("2024-05-07"), 65535, std::string("Reservoir B")));
}

TEST_F(CalibrationInfo, CheckNotOkKeepsSixteenBits) {
    const std::string file = path("cal.ini");
    write_all(file, "[DateTime]\nCheckNotOk=70000\nTime=" + std::string(60, 't') + "\n");
    InfoStorage back;
    CalFile::ReadTimeStamps(file.c_str(), back.get());
    EXPECT_EQ(+back->wCheckNotOk, 4464);
    // Text fields are cut to their 40 characters.
    EXPECT_EQ(std::string(back->szTime), std::string(39, 't'));
}

TEST_F(CalibrationInfo, VersionStamp) {
    const std::string file = path("cal.ini");
    EXPECT_EQ(CCalFile::GetVersion(file.c_str()), 0);
    write_all(file, "[Other]\nA=1\n");
    EXPECT_EQ(CCalFile::GetVersion(file.c_str()), 0);
    CalFile::SetVersion(file.c_str());
    EXPECT_EQ(CCalFile::GetVersion(file.c_str()), 2);
    EXPECT_EQ(ini_value(read_all(file), "VERSION", "VERSION"), "2");
}

TEST_F(CalibrationInfo, WholeCalibrationSectionOrderAndReadBack) {
    const std::string file = path("cal.ini");
    InfoStorage info;
    RawCalibQuad q;
    std::memset(&q, 0, sizeof q);
    q.Static = make_coeffs(1, 0.5);
    q.StaticParams.fDwellTime = 0.1f;
    q.nLagTime = 3;
    info.store(offsetof(RawCalibInfo, Quad1), q);
    q.nLagTime = 4;
    info.store(offsetof(RawCalibInfo, Quad2), q);
    info.set_block(0, make_block(800.0f));
    std::strcpy(info->szDate, "d");
    std::strcpy(info->szReservoir, "r");
    info->nFunctions = 1;
    info.set_function(0, make_function(1, 3));

    EXPECT_EQ(CCalFile::WriteCalibration(file.c_str(), info.get()), 1);
    EXPECT_EQ(CCalFile::GetVersion(file.c_str()), 2);
    const std::string text = read_all(file);
    EXPECT_EQ(section_names(text),
              (std::vector<std::string>{"VERSION", "QUAD1 (Static)", "QUAD1 (Dynamic)", "QUAD1 (Fast)", "QUAD1",
                                        "QUAD2 (Static)", "QUAD2 (Dynamic)", "QUAD2 (Fast)", "QUAD2", "TOF",
                                        "DateTime", "Fluidics", "FUNCTIONS", "FUNCTIONS001"}));

    // Each section's content is its own writer's test: here the parts meet.
    InfoStorage back;
    CalFile::ReadQuad2Parameters(file.c_str(), back.get());
    CalFile::ReadTofParameters(file.c_str(), back.get());
    CCalFile::ReadCalibrationFunctions(file.c_str(), back.get());
    EXPECT_EQ(back.load<RawCalibQuad>(offsetof(RawCalibInfo, Quad2)).nLagTime, 4);
    EXPECT_EQ(describe(back.block(0)), describe(as_read(info.block(0), false)));
    EXPECT_EQ(back.function(0).nSegments, 3);
}

TEST_F(CalibrationInfo, WholeModeDependentCalibration) {
    const std::string file = path("cal.ini");
    InfoStorage info;
    for (int i = 0; i < 5; ++i) info.set_block(i, make_block(100.0f + i));
    tagHASCALTYPE types[5] = {tagHASCALTYPE(1), tagHASCALTYPE(1), tagHASCALTYPE(1), tagHASCALTYPE(1),
                              tagHASCALTYPE(9)};
    EXPECT_EQ(CCalFile::WriteModeDependantCalibration(file.c_str(), info.get(), types), 1);
    const std::string text = read_all(file);
    EXPECT_EQ(section_names(text),
              (std::vector<std::string>{"VERSION", "QUAD1 (Static)", "QUAD1 (Dynamic)", "QUAD1 (Fast)", "QUAD1",
                                        "QUAD2 (Static)", "QUAD2 (Dynamic)", "QUAD2 (Fast)", "QUAD2", "TOF1", "TOF9",
                                        "DateTime", "Fluidics", "FUNCTIONS"}));
    EXPECT_EQ(ini_value(text, "FUNCTIONS", "NumberOfFunctions"), "0");
}

}  // namespace
