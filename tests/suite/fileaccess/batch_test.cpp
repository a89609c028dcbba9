#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "suite/fileaccess/profile.hpp"
#include "support/temp_files.hpp"

namespace {

using masscal::testing::slurp;
using masscal::testing::spit;
using masscal::testing::TempDir;

std::string get(const std::string& file, const char* section, const char* key) {
    char buf[256];
    CFileAccess::GetPrivateProfileStringSA(section, key, "<none>", buf, sizeof buf, file.c_str());
    return buf;
}

int put(const std::string& file, const char* section, const char* key, const char* value) {
    return CFileAccess::WritePrivateProfileStringSA(section, key, value, file.c_str());
}

TEST(ProfileBatch, WritesReachTheFileOnceAtTheEnd) {
    TempDir dir;
    const std::string f = dir.file("b.ini");
    spit(f, "[A]\nx=1\n");
    {
        CProfileWriteBatch batch(f.c_str());
        EXPECT_EQ(put(f, "A", "x", "2"), 1);
        EXPECT_EQ(put(f, "B", "y", "3"), 1);
        EXPECT_EQ(get(f, "A", "x"), "2");  // this thread sees its writes
        EXPECT_EQ(slurp(f), "[A]\nx=1\n");  // the file does not, yet
        std::string seen;
        std::thread other([&] { seen = get(f, "A", "x"); });
        other.join();
        EXPECT_EQ(seen, "1");  // nor does another thread
    }
    EXPECT_EQ(slurp(f), "[A]\nx=2\n\n[B]\ny=3\n");
    EXPECT_EQ(get(f, "B", "y"), "3");
}

TEST(ProfileBatch, CommitNestingAndOtherFiles) {
    TempDir dir;
    const std::string f = dir.file("n.ini");
    const std::string g = dir.file("g.ini");
    CProfileWriteBatch outer(f.c_str());
    put(f, "A", "x", "1");
    {
        CProfileWriteBatch inner(f.c_str());
        put(f, "A", "y", "2");
        EXPECT_EQ(inner.Commit(), 1);
    }
    EXPECT_FALSE(std::filesystem::exists(f));  // the outer batch writes
    put(g, "A", "z", "3");                      // another file is not held back
    EXPECT_EQ(slurp(g), "[A]\nz=3\n");
    EXPECT_EQ(outer.Commit(), 1);
    EXPECT_EQ(slurp(f), "[A]\nx=1\ny=2\n");
    put(f, "A", "x", "9");
    EXPECT_EQ(slurp(f), "[A]\nx=1\ny=2\n");
    EXPECT_EQ(outer.Commit(), 1);
    EXPECT_EQ(slurp(f), "[A]\nx=9\ny=2\n");
}

TEST(ProfileBatch, ChangesOfOthersMeanwhileAreKept) {
    TempDir dir;
    const std::string f = dir.file("m.ini");
    spit(f, "[A]\nx=1\ny=1\n");
    {
        CProfileWriteBatch batch(f.c_str());
        put(f, "A", "x", "2");
        spit(f, "[A]\nx=1\ny=7\n[C]\nw=8\n");  // another process, before the batch ends
    }
    EXPECT_EQ(slurp(f), "[A]\nx=2\ny=7\n[C]\nw=8\n");
}

TEST(ProfileBatch, DeleteFileInABatchReplacesTheFileAtTheEnd) {
    TempDir dir;
    const std::string f = dir.file("d.ini");
    spit(f, "[Old]\nk=v\n");
    {
        CProfileWriteBatch batch(f.c_str());
        EXPECT_EQ(CFileAccess::DeleteFileS(f.c_str()), 1);
        EXPECT_EQ(get(f, "Old", "k"), "<none>");
        put(f, "VERSION", "VERSION", "2");
        EXPECT_EQ(slurp(f), "[Old]\nk=v\n");  // still whole until the end
    }
    EXPECT_EQ(slurp(f), "[VERSION]\nVERSION=2\n");
    {
        CProfileWriteBatch batch(f.c_str());
        EXPECT_EQ(CFileAccess::DeleteFileS(f.c_str()), 1);
        EXPECT_TRUE(std::filesystem::exists(f));
    }
    EXPECT_FALSE(std::filesystem::exists(f));
}

// Random writes, deletions and case changes give the same file whether they
// are made one by one or in a batch.
TEST(ProfileBatch, SameFileAsWritingKeyByKey) {
    TempDir dir;
    const std::string base = "; header\r\n[S1]\r\nk1 = a\r\n\r\n[s2]\r\nK2=b\r\n";
    std::mt19937 rng(12345);
    for (int round = 0; round < 8; ++round) {
        const std::string one = dir.file("one" + std::to_string(round) + ".ini");
        const std::string many = dir.file("many" + std::to_string(round) + ".ini");
        spit(one, base);
        spit(many, base);
        CProfileWriteBatch batch(many.c_str());
        for (int i = 0; i < 50; ++i) {
            std::string section = "s" + std::to_string(rng() % 5);
            std::string key = "k" + std::to_string(rng() % 6);
            if (rng() % 2) section[0] = 'S';
            if (rng() % 2) key[0] = 'K';
            const std::string value = std::string(rng() % 3, ' ') + std::to_string(rng() % 1000);
            const unsigned what = rng() % 10;
            const char* v = what == 0 ? nullptr : value.c_str();
            const char* k = what == 1 ? nullptr : key.c_str();
            EXPECT_EQ(put(one, section.c_str(), k, v), 1);
            EXPECT_EQ(put(many, section.c_str(), k, v), 1);
            EXPECT_EQ(get(many, section.c_str(), key.c_str()), get(one, section.c_str(), key.c_str()));
        }
        EXPECT_EQ(batch.Commit(), 1);
        EXPECT_EQ(slurp(many), slurp(one)) << "round " << round;
    }
}

TEST(ProfileBatch, AFailedWriteReportsAtCommit) {
    TempDir dir;
    const std::string f = dir.file("missing/dir.ini");
    CProfileWriteBatch batch(f.c_str());
    EXPECT_EQ(put(f, "A", "x", "1"), 1);
    EXPECT_EQ(batch.Commit(), 0);
}

}  // namespace
