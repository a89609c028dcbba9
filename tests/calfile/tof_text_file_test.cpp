#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "calfile_fixture.hpp"
#include "masscal/tofcal.h"
#include "platform/memory.hpp"

using namespace calfile_test;

namespace {

class TofTextFile : public CalFileTest {
protected:
    RawFileRef ref(const std::string& name) const { return plain_ref(dir_, name, "cal"); }
};

TEST_F(TofTextFile, WriteThenReadKeepsSevenDecimals) {
    _TOFCALIBRATION t = make_tof();
    const RawFileRef r = ref("saved");
    ASSERT_EQ(CalWriteTofCalibration(&r, &t), 1);
    EXPECT_EQ(t.nSegments, 12);

    const std::string text = read_all(path("saved.cal"));
    EXPECT_EQ(text.substr(0, 6), "TRUE\r\n");
    size_t lines = 0;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') {
            ++lines;
            EXPECT_EQ(text[i - 1], '\r') << "line " << lines;
        }
    EXPECT_EQ(lines, 24u);
    EXPECT_NE(text.find("\r\n2000.1234131\r\n"), std::string::npos);
    EXPECT_NE(text.find("1234.5677490,1244.5677490,"), std::string::npos);
    EXPECT_NE(text.find("\r\n 0.1234567\r\n"), std::string::npos);  // "%10.7f" pads

    // The format keeps neither covariance nor pusher frequency, date and time.
    _TOFCALIBRATION back{}, want = t;
    for (RawCalibCoEffs& c : want.Segments) std::memset(c.dCovar, 0, sizeof c.dCovar);
    back.nPusherFreq = want.nPusherFreq = 99;
    std::strcpy(back.szDate, "date");
    std::strcpy(want.szDate, "date");
    std::strcpy(back.szTime, "time");
    std::strcpy(want.szTime, "time");
    ASSERT_EQ(CalReadTofCalibration(&r, &back), 1);
    EXPECT_EQ(describe(back), describe(want));
}

TEST_F(TofTextFile, PsdLineIsFalseOnlyWhenExactlyFalse) {
    struct Case {
        const char* line;
        int psd;
    } cases[] = {{"FALSE", 0}, {"TRUE", 1}, {"false", 1}, {"FALSE ", 1}, {"", 1}};
    for (const Case& c : cases) {
        write_all(path("p.cal"), std::string(c.line) + "\r\n");
        _TOFCALIBRATION back;
        std::memset(&back, 0, sizeof back);
        back.bPSDCalibration = 5;
        const RawFileRef r = ref("p");
        EXPECT_EQ(CalReadTofCalibration(&r, &back), 1);
        EXPECT_EQ(back.bPSDCalibration, c.psd) << '"' << c.line << '"';
    }
}

TEST_F(TofTextFile, FirstLineWithoutCarriageReturnLeavesEverythingUnchanged) {
    _TOFCALIBRATION t = make_tof();
    const RawFileRef r = ref("lf");
    ASSERT_EQ(CalWriteTofCalibration(&r, &t), 1);
    std::string text = read_all(path("lf.cal"));
    std::string lf;
    for (char c : text)
        if (c != '\r') lf += c;
    write_all(path("lf.cal"), lf);

    _TOFCALIBRATION back;
    std::memset(&back, 0x11, sizeof back);
    const _TOFCALIBRATION before = back;
    EXPECT_EQ(CalReadTofCalibration(&r, &back), 1);
    EXPECT_EQ(std::memcmp(&back, &before, sizeof back), 0);
}

TEST_F(TofTextFile, LineWithoutTerminatorIsNotTakenNorAnyAfterIt) {
    std::string text = "FALSE\r\n";
    for (int i = 0; i < 12; ++i) text += "0 1 0.5 + 1x^1\r\n";
    text += "1,2,3\r\n12\r\n7";  // instrument mode without its line end
    write_all(path("cut.cal"), text);
    _TOFCALIBRATION back;
    std::memset(&back, 0, sizeof back);
    back.nInstrumentMode = -9;
    back.fSourceVoltage = -9.0f;
    for (int i = 0; i < 12; ++i) back.fReflectron[i] = -1.0f;
    const RawFileRef r = ref("cut");
    EXPECT_EQ(CalReadTofCalibration(&r, &back), 1);
    EXPECT_EQ(back.bPSDCalibration, 0);
    EXPECT_EQ(+back.Segments[11].dCoeffs[0], 0.5);
    EXPECT_EQ(back.fReflectron[2], 3.0f);
    EXPECT_EQ(back.fReflectron[3], -1.0f);
    EXPECT_EQ(back.nSegments, 12);
    EXPECT_EQ(back.nInstrumentMode, -9);
    EXPECT_EQ(back.fSourceVoltage, -9.0f);
}

TEST_F(TofTextFile, OnlyTheFirst4096BytesAreRead) {
    // A 600-character first line is cut to 512 and the file's tail beyond
    // 4096 bytes is never seen.
    std::string text = std::string(600, 'X') + "\r\n";
    for (int i = 0; i < 12; ++i) text += "0 0 " + std::string(300, '1') + "\r\n";
    text += "5\r\n";
    ASSERT_GT(text.size(), 4096u);
    write_all(path("big.cal"), text);
    _TOFCALIBRATION back;
    std::memset(&back, 0, sizeof back);
    for (int i = 0; i < 12; ++i) back.Segments[i].nOrder = 42;
    const RawFileRef r = ref("big");
    EXPECT_EQ(CalReadTofCalibration(&r, &back), 1);
    EXPECT_EQ(back.bPSDCalibration, 1);
    EXPECT_EQ(back.Segments[0].nOrder, 0);
    EXPECT_EQ(back.Segments[11].nOrder, 42);
}

TEST_F(TofTextFile, ReflectronLineHoldsAtMostTwelveValues) {
    std::string text = "FALSE\r\n";
    for (int i = 0; i < 12; ++i) text += "0 0 1\r\n";
    for (int i = 1; i <= 15; ++i) text += std::to_string(i) + (i < 15 ? "," : "\r\n");
    write_all(path("r.cal"), text);
    _TOFCALIBRATION back;
    std::memset(&back, 0, sizeof back);
    const RawFileRef r = ref("r");
    CalReadTofCalibration(&r, &back);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(back.fReflectron[i], i + 1.0f);
    EXPECT_EQ(back.nSegments, 0);
}

TEST_F(TofTextFile, MissingFileAndMemoryShortage) {
    _TOFCALIBRATION t = make_tof();
    const RawFileRef missing = ref("none");
    EXPECT_EQ(CalReadTofCalibration(&missing, &t), 0);

    RawFileRef bad = plain_ref(dir_ / "no/such/folder", "x", "cal");
    EXPECT_EQ(CalWriteTofCalibration(&bad, &t), 0);
    // A device that takes nothing: the write fails, not the calibration.
    if (std::filesystem::exists("/dev/full")) {
        bad = plain_ref("/dev", "full", "");
        EXPECT_EQ(CalWriteTofCalibration(&bad, &t), 0);
    }

    const RawFileRef r = ref("mem");
    ASSERT_EQ(CalWriteTofCalibration(&r, &t), 1);
    for (unsigned nth : {1u, 2u}) {
        masscal::platform::set_alloc_failure(nth);
        _TOFCALIBRATION back;
        std::memset(&back, 0, sizeof back);
        EXPECT_EQ(CalReadTofCalibration(&r, &back), 0) << nth;
        EXPECT_EQ(back.nInstrumentMode, 0);
        masscal::platform::set_alloc_failure(0);
    }

    // A writer short of memory leaves the existing file as it was.
    const std::string before = read_all(path("mem.cal"));
    _TOFCALIBRATION other = make_tof();
    other.nInstrumentMode = 7;
    masscal::platform::set_alloc_failure(1);
    EXPECT_EQ(CalWriteTofCalibration(&r, &other), 0);
    masscal::platform::set_alloc_failure(0);
    EXPECT_EQ(read_all(path("mem.cal")), before);
}

}  // namespace
