#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "suite/fileaccess/file_identity.hpp"
#include "suite/fileaccess/profile.hpp"
#include "support/temp_files.hpp"

namespace {

using masscal::testing::slurp;
using masscal::testing::spit;
using masscal::testing::TempDir;

std::string get(const std::string& file, const char* section, const char* key, const char* def = "",
                std::uint32_t size = 1024) {
    std::string buf(size ? size : 1, '\x7f');
    const std::uint32_t n = CFileAccess::GetPrivateProfileStringSA(section, key, def, buf.data(), size, file.c_str());
    if (size == 0) return n == 0 ? std::string("<untouched>") : std::string("<wrote>");
    EXPECT_EQ(n, std::strlen(buf.c_str()));
    return buf.c_str();
}

int put(const std::string& file, const char* section, const char* key, const char* value) {
    return CFileAccess::WritePrivateProfileStringSA(section, key, value, file.c_str());
}

TEST(Profile, FileCreatedOnFirstWriteWithLfLines) {
    TempDir dir;
    const std::string f = dir.file("new.ini");
    EXPECT_EQ(put(f, "VERSION", "VERSION", "2"), 1);
    EXPECT_EQ(put(f, "DateTime", "Time", "12:00"), 1);
    EXPECT_EQ(put(f, "VERSION", "Other", "x"), 1);
    EXPECT_EQ(slurp(f), "[VERSION]\nVERSION=2\nOther=x\n\n[DateTime]\nTime=12:00\n");
}

TEST(Profile, SectionsAndKeysIgnoreCaseAndValuesAreTrimmed) {
    TempDir dir;
    const std::string f = dir.file("a.ini");
    spit(f, "[Quad1]\r\n  StaticPolynomial =  1 2 3  \t\r\nQuoted=\"  keep  \"\r\nSingle='x'\r\nHalf=\"x\r\n");
    EXPECT_EQ(get(f, "QUAD1", "staticpolynomial"), "1 2 3");
    EXPECT_EQ(get(f, " quad1 ", " StaticPolynomial "), "1 2 3");
    EXPECT_EQ(get(f, "Quad1", "Quoted"), "  keep  ");
    EXPECT_EQ(get(f, "Quad1", "Single"), "x");
    EXPECT_EQ(get(f, "Quad1", "Half"), "\"x");
    EXPECT_EQ(put(f, "quad1", "STATICPOLYNOMIAL", "4"), 1);
    EXPECT_EQ(slurp(f), "[Quad1]\r\n  StaticPolynomial =  4\r\nQuoted=\"  keep  \"\r\nSingle='x'\r\nHalf=\"x\r\n");
}

TEST(Profile, DefaultsForWhatIsMissing) {
    TempDir dir;
    const std::string f = dir.file("d.ini");
    EXPECT_EQ(get(f, "A", "x", "none"), "none");  // no file
    EXPECT_FALSE(std::filesystem::exists(f));     // reading creates nothing
    spit(f, "[A]\nx=1\nempty=\n");
    EXPECT_EQ(get(f, "A", "y", "dflt  "), "dflt");  // trailing blanks of the default go
    EXPECT_EQ(get(f, "B", "x", "d"), "d");
    EXPECT_EQ(get(f, "A", "empty", "d"), "");       // present but empty is not missing
    EXPECT_EQ(get(f, "A", "x", nullptr), "1");
    EXPECT_EQ(get(f, "A", "y", nullptr), "");
}

TEST(Profile, ResultsCutToTheBuffer) {
    TempDir dir;
    const std::string f = dir.file("c.ini");
    spit(f, "[A]\nx=abcdef\n");
    EXPECT_EQ(get(f, "A", "x", "", 4), "abc");
    EXPECT_EQ(get(f, "A", "x", "", 7), "abcdef");
    EXPECT_EQ(get(f, "A", "x", "", 1), "");
    EXPECT_EQ(get(f, "A", "y", "123456", 3), "12");
    EXPECT_EQ(get(f, "A", "x", "", 0), "<untouched>");
}

TEST(Profile, IntegersAsWindowsReadsThem) {
    TempDir dir;
    const std::string f = dir.file("i.ini");
    spit(f, "[A]\nbig=70000\nneg=-1\nlead= 12abc\ntext=abc\nempty=\nplus=+7\n");
    std::vector<std::uint32_t> got;
    for (const char* key : {"big", "neg", "lead", "text", "empty", "plus", "missing"})
        got.push_back(CFileAccess::GetPrivateProfileIntSA("A", key, 5, f.c_str()));
    EXPECT_EQ(got, (std::vector<std::uint32_t>{70000, 4294967295u, 12, 0, 5, 7, 5}));
}

TEST(Profile, NewKeyAtTheEndOfItsSectionNewSectionAtTheEndOfTheFile) {
    TempDir dir;
    const std::string f = dir.file("s.ini");
    spit(f, "; calibration\n[TOF]\nNumberOfSegments=1\n\n[FUNCTIONS]\nNumberOfFunctions=0\n");
    EXPECT_EQ(put(f, "TOF", "Polynomial001", "1 2"), 1);
    EXPECT_EQ(put(f, "FUNCTIONS001", "NumberOfSegments", "0"), 1);
    EXPECT_EQ(slurp(f),
              "; calibration\n[TOF]\nNumberOfSegments=1\nPolynomial001=1 2\n\n[FUNCTIONS]\nNumberOfFunctions=0\n"
              "\n[FUNCTIONS001]\nNumberOfSegments=0\n");
    // CR LF files stay CR LF.
    spit(f, "[A]\r\nx=1\r\n");
    EXPECT_EQ(put(f, "A", "y", "2"), 1);
    EXPECT_EQ(put(f, "B", "z", "3"), 1);
    EXPECT_EQ(put(f, "A", "x", "9"), 1);
    EXPECT_EQ(slurp(f), "[A]\r\nx=9\r\ny=2\r\n\r\n[B]\r\nz=3\r\n");
}

TEST(Profile, DeletingKeysAndSections) {
    TempDir dir;
    const std::string f = dir.file("del.ini");
    spit(f, "[A]\nx=1\ny=2\n\n[B]\nz=3\n");
    EXPECT_EQ(put(f, "A", "x", nullptr), 1);
    EXPECT_EQ(slurp(f), "[A]\ny=2\n\n[B]\nz=3\n");
    EXPECT_EQ(put(f, "B", nullptr, nullptr), 1);
    EXPECT_EQ(slurp(f), "[A]\ny=2\n\n");
    EXPECT_EQ(put(f, "C", "x", nullptr), 1);  // nothing to delete: fine, file as it was
    EXPECT_EQ(slurp(f), "[A]\ny=2\n\n");
    const std::string none = dir.file("none.ini");
    EXPECT_EQ(put(none, "A", "x", nullptr), 1);
    EXPECT_FALSE(std::filesystem::exists(none));  // deleting creates no file
    // The whole file, cached or not.
    EXPECT_EQ(get(f, "A", "y"), "2");
    EXPECT_EQ(CFileAccess::DeleteFileS(f.c_str()), 1);
    EXPECT_FALSE(std::filesystem::exists(f));
    EXPECT_EQ(get(f, "A", "y", "d"), "d");
    EXPECT_EQ(CFileAccess::DeleteFileS(f.c_str()), 0);
    EXPECT_EQ(CFileAccess::DeleteFileS(nullptr), 0);
}

TEST(Profile, RefusesWritesThatWouldNotReadBack) {
    TempDir dir;
    const std::string f = dir.file("bad.ini");
    const char* bad[][3] = {
        {"A", "x", "1\n[Injected]\ny=2"}, {"A", "k=v", "1"}, {"A\rB", "k", "1"}, {"", "k", "1"}, {"A", "", "1"},
        {nullptr, "k", "1"}};
    for (const auto& b : bad) EXPECT_EQ(put(f, b[0], b[1], b[2]), 0) << (b[0] ? b[0] : "null") << " " << b[1];
    EXPECT_EQ(CFileAccess::WritePrivateProfileStringSA("A", "k", "1", nullptr), 0);
    EXPECT_EQ(put(f, nullptr, nullptr, nullptr), 1);  // the flush request
    EXPECT_FALSE(std::filesystem::exists(f));
    // Unreadable or unwritable files fail quietly.
    const std::string folder = dir.file("folder.ini");
    std::filesystem::create_directory(folder);
    EXPECT_EQ(get(folder, "A", "x", "d"), "d");
    EXPECT_EQ(put(folder, "A", "x", "1"), 0);
    EXPECT_EQ(put(dir.file("no/such/dir.ini"), "A", "x", "1"), 0);
}

TEST(Profile, ListsSectionAndKeyNames) {
    TempDir dir;
    const std::string f = dir.file("l.ini");
    spit(f, "[A]\nx=1\ny=2\n[B]\n[a]\nz=3\n");
    char buf[32];
    std::memset(buf, 'X', sizeof buf);
    EXPECT_EQ(CFileAccess::GetPrivateProfileStringSA(nullptr, nullptr, "", buf, sizeof buf, f.c_str()), 4u);
    EXPECT_EQ(std::string(buf, 5), std::string("A\0B\0\0", 5));
    EXPECT_EQ(CFileAccess::GetPrivateProfileStringSA("a", nullptr, "", buf, sizeof buf, f.c_str()), 4u);
    EXPECT_EQ(std::string(buf, 5), std::string("x\0y\0\0", 5));
    EXPECT_EQ(CFileAccess::GetPrivateProfileStringSA("A", nullptr, "", buf, 4, f.c_str()), 2u);
    EXPECT_EQ(std::string(buf, 4), std::string("x\0\0\0", 4));
    EXPECT_EQ(CFileAccess::GetPrivateProfileStringSA("Q", nullptr, "", buf, sizeof buf, f.c_str()), 0u);
    EXPECT_EQ(std::string(buf, 2), std::string("\0\0", 2));
}

TEST(Profile, FileChangedBehindTheCacheIsReadAgain) {
    TempDir dir;
    const std::string f = dir.file("ext.ini");
    spit(f, "[A]\nx=1\n");
    EXPECT_EQ(get(f, "A", "x"), "1");
    // Changed in place to the same size at once (within one tick of the
    // file clock) by someone who does not use these functions.
    spit(f, "[A]\nx=2\n");
    EXPECT_EQ(get(f, "A", "x"), "2");
    // After a write of ours: changed in place.
    EXPECT_EQ(put(f, "A", "x", "3"), 1);
    EXPECT_EQ(get(f, "A", "x"), "3");
    spit(f, "[A]\nx=44\n");
    EXPECT_EQ(get(f, "A", "x"), "44");
    // Replaced by another file of the same size.
    EXPECT_EQ(put(f, "A", "x", "55"), 1);
    const std::string other = dir.file("other.ini");
    spit(other, "[A]\nx=66\n");
    std::filesystem::rename(other, f);
    EXPECT_EQ(get(f, "A", "x"), "66");
    // Grown in place; the next write keeps the other writer's key.
    spit(f, "[A]\nx=4\ny=5\n");
    EXPECT_EQ(put(f, "A", "z", "6"), 1);
    EXPECT_EQ(slurp(f), "[A]\nx=4\ny=5\nz=6\n");
    // Deleted.
    std::filesystem::remove(f);
    EXPECT_EQ(get(f, "A", "x", "gone"), "gone");
}

TEST(Profile, WriteFollowsASymbolicLinkAndKeepsPermissions) {
    TempDir dir;
    const std::string real = dir.file("real.ini");
    const std::string link = dir.file("link.ini");
    spit(real, "[A]\nx=1\n");
    ::chmod(real.c_str(), 0640);
    std::filesystem::create_symlink(real, link);
    EXPECT_EQ(put(link, "A", "x", "2"), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(slurp(real), "[A]\nx=2\n");
    struct stat st;
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

bool refuse_rename(const char*, const char*) { return false; }

TEST(Profile, AFailedReplacementLeavesTheOldFileAndNoLeftovers) {
    TempDir dir;
    const std::string f = dir.file("keep.ini");
    spit(f, "[A]\nx=1\n");
    EXPECT_EQ(get(f, "A", "x"), "1");
    masscal::suite::fs::set_before_rename_hook(refuse_rename);
    EXPECT_EQ(put(f, "A", "x", "2"), 0);
    masscal::suite::fs::set_before_rename_hook(nullptr);
    EXPECT_EQ(slurp(f), "[A]\nx=1\n");
    EXPECT_EQ(get(f, "A", "x"), "1");  // the cache did not keep the failed change
    std::size_t files = 0;  // the lock file aside
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        files += e.is_regular_file() && e.path().extension() != ".lock" ? 1 : 0;
    EXPECT_EQ(files, 1u);
}

bool die_before_rename(const char*, const char*) {
    ::kill(::getpid(), SIGKILL);
    return true;
}

TEST(Profile, KilledBetweenWriteAndRenameLeavesTheOldFileWhole) {
    TempDir dir;
    const std::string f = dir.file("crash.ini");
    std::string old = "[A]\n";
    for (int i = 0; i < 200; ++i) old += "key" + std::to_string(i) + "=" + std::string(40, 'v') + "\n";
    spit(f, old);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        masscal::suite::fs::set_before_rename_hook(die_before_rename);
        CFileAccess::WritePrivateProfileStringSA("A", "key0", "new", f.c_str());
        ::_exit(0);  // not reached
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    EXPECT_EQ(slurp(f), old);
    // The complete new file was waiting beside it under a temporary name.
    bool temp_seen = false;
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        if (e.path() == f || e.path().extension() == ".lock") continue;
        temp_seen = true;
        EXPECT_NE(slurp(e.path().string()).find("key0=new\n"), std::string::npos);
    }
    EXPECT_TRUE(temp_seen);
    EXPECT_EQ(get(f, "A", "key0"), std::string(40, 'v'));
    EXPECT_EQ(put(f, "A", "key0", "after"), 1);
    EXPECT_EQ(get(f, "A", "key0"), "after");
}

TEST(Profile, ReadersOnOtherThreadsNeverSeeAPartialFile) {
    TempDir dir;
    const std::string f = dir.file("race.ini");
    EXPECT_EQ(put(f, "A", "n", "0"), 1);
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        while (!done.load()) {
            const std::string text = slurp(f);
            if (text.rfind("[A]\nn=", 0) != 0 || text.back() != '\n') ++bad;
        }
    });
    for (int i = 1; i <= 200; ++i) put(f, "A", "n", std::to_string(i * 1000).c_str());
    done = true;
    reader.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(get(f, "A", "n"), "200000");
}

}  // namespace
