#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "suite/fileaccess/file_checksum.hpp"
#include "suite/fileaccess/file_dialog_s.hpp"
#include "suite/fileaccess/file_io.hpp"
#include "support/recording_ui.hpp"
#include "support/temp_files.hpp"

namespace {

using masscal::testing::slurp;
using masscal::testing::spit;
using masscal::testing::TempDir;

TEST(FileIo, OpensReadsAndCloses) {
    TempDir dir;
    const std::string f = dir.file("r.txt");
    spit(f, "hello world");
    const FileHandleS h = CreateFileS(f.c_str());
    ASSERT_NE(h, kInvalidFileHandleS);
    EXPECT_EQ(GetFileSizeS(h), 11);
    char buf[32] = {};
    std::size_t got = 0;
    EXPECT_EQ(ReadFileS(h, buf, sizeof buf, &got), 1);
    EXPECT_EQ(got, 11u);
    EXPECT_STREQ(buf, "hello world");
    EXPECT_EQ(CloseHandleS(h), 1);
    EXPECT_EQ(CloseHandleS(kInvalidFileHandleS), 0);
    EXPECT_EQ(GetFileSizeS(kInvalidFileHandleS), -1);
}

TEST(FileIo, MissingFilesAndFoldersDoNotOpen) {
    TempDir dir;
    EXPECT_EQ(CreateFileS(dir.file("none").c_str()), kInvalidFileHandleS);
    EXPECT_EQ(CreateFileS(dir.path().c_str()), kInvalidFileHandleS);
    EXPECT_EQ(CreateFileS(nullptr), kInvalidFileHandleS);
    std::string text;
    EXPECT_FALSE(masscal::suite::ReadFileContents(dir.file("none").c_str(), &text));
}

TEST(FileIo, ReadsTheHeadOrTheWhole) {
    TempDir dir;
    const std::string f = dir.file("big.txt");
    std::string data(200000, 'x');
    data[150000] = 'y';
    spit(f, data);
    std::string text;
    ASSERT_TRUE(masscal::suite::ReadFileContents(f.c_str(), &text));
    EXPECT_EQ(text, data);
    ASSERT_TRUE(masscal::suite::ReadFileContents(f.c_str(), &text, 4096));
    EXPECT_EQ(text, data.substr(0, 4096));
}

TEST(FileIo, ReplaceFileContents) {
    TempDir dir;
    const std::string f = dir.file("w.txt");
    EXPECT_EQ(masscal::suite::ReplaceFileContents(f.c_str(), "line 1\r\n", 8), 1);
    EXPECT_EQ(slurp(f), "line 1\r\n");
    EXPECT_EQ(masscal::suite::ReplaceFileContents(f.c_str(), "", 0), 1);
    EXPECT_EQ(slurp(f), "");
    EXPECT_EQ(masscal::suite::ReplaceFileContents(dir.file("no/dir").c_str(), "x", 1), 0);
}

TEST(FileChecksum, Crc32OfTheStandardCheckString) {
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32("", 0), 0u);
    // In pieces, the same.
    EXPECT_EQ(Crc32("6789", 4, Crc32("12345", 5)), 0xCBF43926u);
}

TEST(FileChecksum, SidecarHoldsTheFilesCrc) {
    TempDir dir;
    const std::string f = dir.file("air.ref");
    spit(f, "28.0061 100\r\n");
    EXPECT_EQ(CheckFileChecksum(f.c_str()), 0);  // no sidecar yet
    ASSERT_EQ(WriteFileChecksum(f.c_str()), 1);
    EXPECT_EQ(ChecksumSidecarPath(f.c_str()), f + ".crc");
    EXPECT_EQ(slurp(f + ".crc").size(), 9u);
    EXPECT_EQ(CheckFileChecksum(f.c_str()), 1);
    spit(f, "28.0061 101\r\n");  // altered
    EXPECT_EQ(CheckFileChecksum(f.c_str()), 0);
}

TEST(FileChecksum, MalformedSidecarsFail) {
    TempDir dir;
    const std::string f = dir.file("a.ref");
    spit(f, "123456789");
    for (const char* side : {"", "cbf4392", "cbf43926a", "xbf43926", "  CBF43926\n"}) {
        spit(f + ".crc", side);
        EXPECT_EQ(CheckFileChecksum(f.c_str()), std::string(side) == "  CBF43926\n" ? 1 : 0) << side;
    }
    EXPECT_EQ(CheckFileChecksum(dir.file("missing").c_str()), 0);
}

// What the dialog asked the provider: kind, folder, name, extension, default extension, filter.
std::string asked(const masscal::platform::FileDialogRequest& r) {
    return (r.save ? "save " : "open ") + r.directory + "|" + r.name + "|" + r.extension + "|" +
           r.default_extension + "|" + r.filter;
}

TEST(FileDialog, StartsFromThePathAndGivesBackTheChoice) {
    masscal::testing::RecordingUi ui;
    CFileDialogS save(0, "scl", "/data/cal/run7.scl", 0, "Calibration (*.scl)|*.scl||", nullptr);
    EXPECT_EQ(save.GetPathName(), "/data/cal/run7.scl");
    EXPECT_EQ(save.DoModal(), 2);  // nothing scripted: cancelled
    ASSERT_EQ(ui.file_dialogs.size(), 1u);
    EXPECT_EQ(asked(ui.file_dialogs[0]), "save /data/cal/|run7|scl|scl|Calibration (*.scl)|*.scl||");

    masscal::platform::FileDialogRequest choice;
    choice.directory = "/other";
    choice.name = "run8";  // no extension: the default one
    ui.file_answers.push_back(choice);
    EXPECT_EQ(save.DoModal(), 1);
    EXPECT_EQ(save.GetFileName(), "run8.scl");
    EXPECT_EQ(save.GetPathName(), "/other/run8.scl");

    CFileDialogS open(1, nullptr, "c:\\cal\\air", 0, nullptr, nullptr);
    EXPECT_EQ(open.DoModal(), 2);
    EXPECT_EQ(asked(ui.file_dialogs[2]), "open c:\\cal\\|air|||");
    EXPECT_EQ(CFileDialogS(1, nullptr, "plain.txt", 0, nullptr, nullptr).GetPathName(), "plain.txt");
}

}  // namespace
