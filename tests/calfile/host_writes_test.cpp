// The calibration file writes a host makes through the C calls: refused
// before anything changes when the file is not one to write, else one
// function (or the TOF section) stored and everything else kept.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "calfile_fixture.hpp"
#include "masscal/calfile.h"

using namespace calfile_test;

namespace {

const char kNotTof[] = "not a time-of-flight calibration (neither a calibration file with a [TOF] section nor "
                       "the older time-of-flight text format)";

RawCalibCoEffs exact_coeffs() {
    RawCalibCoEffs c;
    std::memset(&c, 0, sizeof c);
    c.nOrder = 2;
    c.dCoeffs[0] = 0.5;
    c.dCoeffs[1] = 1.25;
    c.dCoeffs[2] = -0.0625;
    return c;
}

std::string write_function(const std::string& file, int function) {
    const RawCalibCoEffs c = exact_coeffs();
    char why[256] = "unset";
    return CalWriteFunctionCalibration(file.c_str(), function, &c, why, sizeof why) ? "" : why;
}

std::string write_tof(const std::string& file) {
    auto tof = std::make_unique<_TOFCALIBRATION>();
    std::memset(tof.get(), 0, sizeof *tof);
    char why[256] = "unset";
    return CalWriteTofSection(file.c_str(), tof.get(), why, sizeof why) ? "" : why;
}

class HostWrites : public CalFileTest {};

TEST_F(HostWrites, RefusedWritesLeaveTheFileAsItWas) {
    const std::string unreadable = "its version cannot be read; not a calibration file this program can write";
    struct Case {
        const char* name;
        std::string text;  // the file before; "<dir>" makes a folder
        std::function<std::string(const std::string&)> write;
        std::string why;
    } cases[] = {
        {"folder", "<dir>", [](auto& f) { return write_function(f, 1); }, "is a directory"},
        {"function 0", "", [](auto& f) { return write_function(f, 0); }, "function out of range"},
        {"function 33", "", [](auto& f) { return write_function(f, 33); }, "function out of range"},
        {"old format", "TRUE\r\n1\r\n", [](auto& f) { return write_function(f, 1); },
         "is not a calibration file with sections (an older-format time-of-flight file?); not written"},
        {"bad version", "[VERSION]\nVERSION=abc\n", [](auto& f) { return write_function(f, 1); }, unreadable},
        {"tof: folder", "<dir>", write_tof, "is a directory"},
        {"tof: not old format", "some notes\n", write_tof,
         "is neither a calibration file nor an older-format time-of-flight file; not replaced"},
        {"tof: bad version", "[VERSION]\nVERSION=-1\n", write_tof, unreadable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = path("target.cal");
        std::filesystem::remove_all(file);
        if (c.text == "<dir>") std::filesystem::create_directory(file);
        else if (!c.text.empty()) write_all(file, c.text);
        EXPECT_EQ(c.write(file), c.why);
        if (c.text != "<dir>") {
            EXPECT_EQ(read_all(file), c.text);
        }
    }
}

TEST_F(HostWrites, OneFunctionIsStoredAndTheRestKept) {
    const std::string file = path("inst.cal");
    auto before = std::make_unique<RawCalibInfo>();
    std::memset(before.get(), 0, sizeof *before);
    before->nFunctions = 1;
    before->Functions[0].nSegments = 1;
    RawCalibCoEffs first = exact_coeffs();
    first.dCoeffs[0] = 7.0;
    std::memcpy(&before->Functions[0].Segments[0], &first, sizeof first);
    CCalFile::WriteCalibrationFunctions(file.c_str(), before.get());
    write_all(file, read_all(file) + "[Keep]\nThis=that\n");

    ASSERT_EQ(write_function(file, 3), "");

    const std::string text = read_all(file);
    EXPECT_EQ(ini_value(text, "Keep", "This"), "that");
    EXPECT_GE(CCalFile::GetVersion(file.c_str()), 1);
    auto after = std::make_unique<RawCalibInfo>();
    std::memset(after.get(), 0, sizeof *after);
    CCalFile::ReadCalibrationFunctions(file.c_str(), after.get());
    int32_t count;
    std::memcpy(&count, &after->nFunctions, sizeof count);
    EXPECT_EQ(count, 3);
    RawCalibCoEffs kept, stored;
    std::memcpy(&kept, &after->Functions[0].Segments[0], sizeof kept);
    std::memcpy(&stored, &after->Functions[2].Segments[0], sizeof stored);
    const RawCalibCoEffs want = exact_coeffs();
    EXPECT_EQ(std::memcmp(&kept, &first, sizeof kept), 0);
    EXPECT_EQ(std::memcmp(&stored, &want, sizeof stored), 0);
}

TEST_F(HostWrites, TofCheckAndTheLockTheWritersShare) {
    const std::string file = path("tof.cal");
    char why[256];
    EXPECT_FALSE(CalCheckTofCalibrationFile(file.c_str(), why, sizeof why));
    EXPECT_STREQ(why, kNotTof);
    // The host holds the lock across its steps; the library's writer in the
    // same thread takes it again.
    CalFileLock* lock = CalLockFile(file.c_str(), why, sizeof why);
    ASSERT_NE(lock, nullptr) << why;
    EXPECT_EQ(write_tof(file), "");
    CalUnlockFile(lock);
    EXPECT_TRUE(CalCheckTofCalibrationFile(file.c_str(), why, sizeof why)) << why;
    EXPECT_STREQ(why, "");
}

}  // namespace
