// A writer that did not write says so, leaves the file as it was and leaves
// nothing of its own behind; a path that does not fit is never cut.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <functional>
#include <memory>

#include "calfile_fixture.hpp"
#include "masscal/tofcal.h"
#include "suite/fileaccess/file_identity.hpp"

using namespace calfile_test;

namespace {

struct Writer {
    const char* name;
    std::function<int(const std::string&)> write;
};

// Splits a path into a reference, or an empty reference for "".
RawFileRef ref_for(const std::string& path) {
    const auto slash = path.rfind('/');
    if (path.empty() || slash == std::string::npos) {
        RawFileRef r;
        std::memset(&r, 0, sizeof r);
        return r;
    }
    const std::string file = path.substr(slash + 1);
    const auto dot = file.rfind('.');
    return plain_ref(path.substr(0, slash), file.substr(0, dot), dot == std::string::npos ? "" : file.substr(dot + 1));
}

std::vector<Writer> writers() {
    static auto info = [] {
        auto i = std::make_unique<RawCalibInfo>();
        std::memset(i.get(), 0, sizeof *i);
        i->nFunctions = 3;
        return i;
    }();
    static _TOFCALIBRATION tof{};
    return {
        {"WriteCalibration", [](const std::string& f) { return CCalFile::WriteCalibration(f.c_str(), info.get()); }},
        {"WriteTofParameters", [](const std::string& f) { return CCalFile::WriteTofParameters(f.c_str(), &tof); }},
        {"WriteCalibrationQB",
         [](const std::string& f) { RawFileRef r = ref_for(f); return WriteCalibrationQB(&r, info.get()); }},
        {"WriteCalibrationFunctionsQB",
         [](const std::string& f) { RawFileRef r = ref_for(f); return WriteCalibrationFunctionsQB(&r, info.get()); }},
        {"WriteTofCalibrationQB",
         [](const std::string& f) { RawFileRef r = ref_for(f); return WriteTofCalibrationQB(&r, &tof); }},
        {"CalWriteTofCalibration",
         [](const std::string& f) { RawFileRef r = ref_for(f); return CalWriteTofCalibration(&r, &tof); }},
    };
}

class WriteFailures : public CalFileTest {
protected:
    // Names in the folder other than the lock files.
    std::vector<std::string> listing() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(dir_))
            if (e.path().extension() != ".lock") out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST_F(WriteFailures, DirectoryEmptyPathAndSizeLimitAreFailures) {
    std::filesystem::create_directory(path("folder.cal"));
    const std::string old = "[VERSION]\nVERSION=2\n[Keep]\nA=1\n";
    RawFileRef folder = plain_ref(dir_.string(), "folder", "cal");
    _TOFCALIBRATION read{};
    EXPECT_EQ(CalReadTofCalibration(&folder, &read), 0);  // nor is a folder read as one
    for (const Writer& w : writers()) {
        SCOPED_TRACE(w.name);
        EXPECT_EQ(w.write(path("folder.cal")), 0);
        EXPECT_EQ(w.write(""), 0);
        // A file-size limit below what the write needs: the child's write fails.
        write_all(path("limited.cal"), old);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{64, 64};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::_exit(w.write(path("limited.cal")) == 0 ? 0 : 1);
        }
        int status = -1;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(read_all(path("limited.cal")), old);
        EXPECT_EQ(listing(), (std::vector<std::string>{"folder.cal", "limited.cal"}));
    }
}

TEST_F(WriteFailures, PathsThatDoNotFitTheReferenceAreRefusedNotCut) {
    // 250 characters of folder and a 20-character name: 271 in all, more
    // than the 260-character path of the reference functions.
    std::string deep = dir_.string();
    while (deep.size() < 250) deep += "/" + std::string(std::min<std::size_t>(40, 250 - deep.size()), 'd');
    std::filesystem::create_directories(deep);
    RawFileRef r = plain_ref(deep, std::string(20, 'n'), "cal");
    auto info = std::make_unique<RawCalibInfo>();
    std::memset(info.get(), 0, sizeof *info);
    _TOFCALIBRATION tof{};
    errno = 0;
    EXPECT_EQ(WriteCalibrationQB(&r, info.get()), 0);
    EXPECT_EQ(errno, ENAMETOOLONG);
    EXPECT_EQ(WriteTofCalibrationQB(&r, &tof), 0);
    EXPECT_EQ(ReadTofCalibrationQB(&r, &tof), 0);
    EXPECT_EQ(GetVersionQB(&r), 0);
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir_))
        EXPECT_TRUE(e.is_directory()) << e.path();
    // The old-format reader behind a path is not given a cut one either.
    const std::string long_name = deep + "/" + std::string(300, 'x') + ".cal";
    EXPECT_EQ(CCalFile::ReadTofParameters(long_name.c_str(), &tof), 0);
}

bool die_before_rename(const char*, const char*) {
    ::kill(::getpid(), SIGKILL);
    return true;
}

TEST_F(WriteFailures, KilledOldFormatWriteLeavesTheOldFileWhole) {
    const RawFileRef r = plain_ref(dir_.string(), "old", "cal");
    _TOFCALIBRATION tof{};
    tof.nInstrumentMode = 3;
    ASSERT_EQ(CalWriteTofCalibration(&r, &tof), 1);
    const std::string old = read_all(path("old.cal"));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        masscal::suite::fs::set_before_rename_hook(die_before_rename);
        tof.nInstrumentMode = 7;
        CalWriteTofCalibration(&r, &tof);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(read_all(path("old.cal")), old);
}

}  // namespace
