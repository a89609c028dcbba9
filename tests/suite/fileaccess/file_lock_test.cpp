// Writers in separate processes keep each other's changes; a lock that is
// never released makes a writer give up with a clear reason.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "suite/fileaccess/file_lock.hpp"
#include "suite/fileaccess/profile.hpp"
#include "suite/fileaccess/profile_engine.hpp"
#include "support/temp_files.hpp"

namespace {

using masscal::testing::slurp;
using masscal::testing::spit;
using masscal::testing::TempDir;

TEST(FileLock, TwoProcessesWriting150KeysEachKeepAll300) {
    TempDir dir;
    const std::string f = dir.file("shared.ini");
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            int ok = 1;
            for (int k = 0; k < 150; ++k) {
                const std::string key = "p" + std::to_string(c) + "k" + std::to_string(k);
                ok &= CFileAccess::WritePrivateProfileStringSA("S", key.c_str(), "v", f.c_str());
            }
            ::_exit(ok ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = -1;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    char keys[16384];
    const auto n = CFileAccess::GetPrivateProfileStringSA("S", nullptr, "", keys, sizeof keys, f.c_str());
    int count = 0;
    for (std::uint32_t i = 0; i < n; ++i) count += keys[i] == '\0';
    EXPECT_EQ(count, 300);
}

TEST(FileLock, AWriterGivesUpOnALockThatIsHeldAndChangesNothing) {
    TempDir dir;
    const std::string f = dir.file("held.ini");
    spit(f, "[A]\nx=1\n");
    const int other = ::open(masscal::suite::fs::lock_file_of(f).c_str(), O_RDWR | O_CREAT, 0666);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    masscal::suite::fs::set_lock_timeout_ms(50);
    EXPECT_EQ(CFileAccess::WritePrivateProfileStringSA("A", "x", "2", f.c_str()), 0);
    EXPECT_NE(masscal::suite::profile::last_error().find("holds the lock"), std::string::npos);
    EXPECT_EQ(slurp(f), "[A]\nx=1\n");
    // Readers take no lock.
    char v[8];
    CFileAccess::GetPrivateProfileStringSA("A", "x", "", v, sizeof v, f.c_str());
    EXPECT_STREQ(v, "1");
    ::close(other);
    masscal::suite::fs::set_lock_timeout_ms(10'000);
    EXPECT_EQ(CFileAccess::WritePrivateProfileStringSA("A", "x", "2", f.c_str()), 1);
}

}  // namespace
