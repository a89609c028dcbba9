#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "masscal/calib.h"
#include "masscal/input.h"
#include "platform/ui.hpp"
#include "platform/win/dialog.hpp"
#include "platform/win/messages.hpp"
#include "platform/win/window.hpp"
#include "support/recording_ui.hpp"
#include "support/scoped_env.hpp"

using namespace masscal::platform;
using masscal::testing::MessageBoxCall;
using masscal::testing::RecordingUi;
using masscal::testing::ScopedEnv;

namespace {

namespace fs = std::filesystem;

constexpr int kCombo = 30;

std::intptr_t quiet_proc(CalWnd, std::uint32_t, std::uintptr_t, std::intptr_t) { return 0; }

constexpr ControlTemplate kControls[] = {
    {kCombo, ControlKind::combo_box, "", 8, 8, 120, 80, kWsTabStop},
    {kIdOk, ControlKind::default_push_button, "OK", 8, 90, 40, 14, kWsTabStop},
};
constexpr DialogTemplate kDialog{"REFS", nullptr, "References", "Helv", 8, kWsPopup | kWsCaption,
                                 10, 10, 140, 110, kControls, 2};

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

RawFileRef ref_in(const fs::path& dir, const char* name, const char* ext = "ref") {
    RawFileRef r{};
    r.wKind = 19;
    std::snprintf(r.szDirectory, sizeof r.szDirectory, "%s", dir.c_str());
    std::snprintf(r.szName, sizeof r.szName, "%s", name);
    std::snprintf(r.szExtension, sizeof r.szExtension, "%s", ext);
    r.nFunction = 1;
    return r;
}

FileDialogRequest pick(const fs::path& dir, const char* name, const char* ext, double function = 1,
                                 double selector = 0) {
    FileDialogRequest r;
    r.directory = dir.string();
    r.name = name;
    r.extension = ext;
    r.function = function;
    r.selector = selector;
    return r;
}

std::string no_refs_in(const fs::path& dir) {
    return "Unable to find any reference files in the directory " + dir.string() + ".";
}

// An empty scratch folder of this process.
fs::path fresh_folder(const std::string& prefix) {
    const fs::path d = fs::path(::testing::TempDir()) / (prefix + std::to_string(::getpid()));
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
}

class ReferenceCombo : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fresh_folder("masscal-refcombo-");
        dlg_ = CreateDialogIndirectParam(kDialog, nullptr, quiet_proc, 0);
        ASSERT_NE(dlg_, nullptr);
    }
    void TearDown() override {
        DestroyWindow(dlg_);
        fs::remove_all(root_);
    }
    fs::path folder(const std::string& name, const std::vector<std::string>& files) {
        const fs::path d = root_ / name;
        fs::create_directories(d);
        for (const std::string& f : files) std::ofstream(d / f) << "100.0 1\n";
        return d;
    }
    std::vector<std::string> entries() {
        std::vector<std::string> out;
        const auto n = SendDlgItemMessage(dlg_, kCombo, kCbGetCount, 0, 0);
        for (std::intptr_t i = 0; i < n; ++i) {
            char text[300] = "";
            SendDlgItemMessage(dlg_, kCombo, kCbGetLbText, static_cast<std::uintptr_t>(i),
                               reinterpret_cast<std::intptr_t>(text));
            out.emplace_back(text);
        }
        return out;
    }
    std::string selected() {
        const auto i = SendDlgItemMessage(dlg_, kCombo, kCbGetCurSel, 0, 0);
        if (i < 0) return "(none)";
        return entries().at(static_cast<std::size_t>(i));
    }
    void clear() { SendDlgItemMessage(dlg_, kCombo, kCbResetContent, 0, 0); }

    RecordingUi ui_;
    fs::path root_;
    CalWnd dlg_ = nullptr;
};

TEST_F(ReferenceCombo, ListsTheRefFilesSortedAndSelectsByNamePrefix) {
    const fs::path d = folder("refs", {"peg.ref", "Air.ref", "csi.REF", "notes.txt", "peg.ref.bak"});
    fs::create_directories(d / "folder.ref");  // not a file
    struct Case {
        const char* name;
        const char* selected;
    } cases[] = {
        {"peg", "peg.ref"}, {"AIR", "Air.ref"}, {"c", "csi.REF"}, {"", "Air.ref"}, {"nothing", "(none)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& dir : {d.string(), d.string() + "/"}) {
            clear();
            RawFileRef ref = ref_in(dir, c.name);
            const RawFileRef before = ref;
            ASSERT_EQ(CalFillReferenceCombo(dlg_, kCombo, &ref), 1);
            EXPECT_EQ(entries(), (std::vector<std::string>{"Air.ref", "csi.REF", "peg.ref"}));
            EXPECT_EQ(selected(), c.selected);
            EXPECT_EQ(std::memcmp(&before, &ref, sizeof ref), 0);
        }
    }
    // Entries are added to what is there.
    RawFileRef ref = ref_in(d, "peg");
    ASSERT_EQ(CalFillReferenceCombo(dlg_, kCombo, &ref), 1);
    EXPECT_EQ(entries().size(), 6u);
    EXPECT_TRUE(ui_.calls.empty());
    EXPECT_TRUE(ui_.file_dialogs.empty());
}

TEST_F(ReferenceCombo, WithoutRefFilesTheUserPicksOneElsewhere) {
    const fs::path empty = folder("empty", {"spectrum.txt"});
    const fs::path other = folder("other", {"air.ref", "peg.ref"});
    RawFileRef ref = ref_in(empty, "peg");
    ref.nFunction = 4;
    ref.nIndex = 2;
    ref.wKind = 0;
    ui_.file_answers.push_back(pick(other, "air", "ref", 4, 3.9));
    ASSERT_EQ(CalFillReferenceCombo(dlg_, kCombo, &ref), 1);

    EXPECT_EQ(ui_.calls, (std::vector<MessageBoxCall>{{dlg_, no_refs_in(empty), "Instrument Calibration",
                                                        CAL_MB_ICONEXCLAMATION}}));
    // The file dialog starts from the current reference.
    EXPECT_EQ(ui_.file_dialog_owners, std::vector<CalWnd>{dlg_});
    ASSERT_EQ(ui_.file_dialogs.size(), 1u);
    const FileDialogRequest& d = ui_.file_dialogs[0];
    EXPECT_EQ(std::make_tuple(d.directory, d.name, d.extension, d.function, d.selector),
              std::make_tuple(empty.string(), "peg", "ref", 4.0, 2.0));
    EXPECT_EQ(entries(), (std::vector<std::string>{"air.ref", "peg.ref"}));
    EXPECT_EQ(selected(), "air.ref");
    EXPECT_EQ(std::make_tuple(std::string(ref.szDirectory), std::string(ref.szName), std::string(ref.szExtension),
                              int{ref.wKind}, ref.nFunction, ref.nIndex),
              std::make_tuple(other.string(), "air", "ref", int{CAL_FILEREF_KIND_PLAIN}, 1, 3));
}

TEST_F(ReferenceCombo, AMissingDirectoryIsReportedLikeAnEmptyOne) {
    RawFileRef ref = ref_in(root_ / "gone", "air");
    EXPECT_EQ(CalFillReferenceCombo(dlg_, kCombo, &ref), 0);
    ASSERT_EQ(ui_.calls.size(), 1u);
    EXPECT_EQ(ui_.calls[0].text, no_refs_in(root_ / "gone"));
    EXPECT_EQ(ui_.file_dialogs.size(), 1u);
    // Cancelled: the reference is as it was.
    EXPECT_STREQ(ref.szDirectory, (root_ / "gone").c_str());
}

// Other picks ask again (the first folder is looked at, and named, each
// time, each new dialog starting from the previous pick) until a cancel or a
// pick of a reference file, whose extension is recognised in any case.
TEST_F(ReferenceCombo, OtherPicksAskAgainUntilARefPickOrCancel) {
    const fs::path empty = folder("empty", {});
    const fs::path other = folder("other", {"AIR.REF", "data.txt"});
    struct Case {
        std::optional<FileDialogRequest> last;
        int result;
        std::vector<std::string> entries;
    } cases[] = {{std::nullopt, 0, {}}, {pick(other, "AIR", "REF"), 1, {"AIR.REF"}}};
    for (const Case& c : cases) {
        clear();
        ui_.calls.clear();
        ui_.file_dialogs.clear();
        RawFileRef ref = ref_in(empty, "air");
        ui_.file_answers = {pick(other, "data", "txt"), pick(other, "data", "raw"), c.last};
        EXPECT_EQ(CalFillReferenceCombo(dlg_, kCombo, &ref), c.result);
        ASSERT_EQ(ui_.calls.size(), 3u);
        for (const auto& call : ui_.calls)
            EXPECT_EQ(std::tie(call.caption, call.text), std::make_tuple("Instrument Calibration", no_refs_in(empty)));
        ASSERT_EQ(ui_.file_dialogs.size(), 3u);
        EXPECT_EQ(std::tie(ui_.file_dialogs[2].name, ui_.file_dialogs[2].extension), std::make_tuple("data", "raw"));
        EXPECT_EQ(entries(), c.entries);
    }
    EXPECT_EQ(selected(), "AIR.REF");
}

TEST_F(ReferenceCombo, TheSecondSelectorIsTruncatedAndKeptInRange) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    const fs::path empty = folder("empty", {});
    const fs::path other = folder("other", {"air.ref"});
    struct Case {
        double selector;
        std::int32_t index;
    } cases[] = {
        {7.99, 7}, {-2.5, -2}, {1e12, kMax}, {-1e12, std::numeric_limits<std::int32_t>::min()},
        {std::numeric_limits<double>::quiet_NaN(), 0}, {std::numeric_limits<double>::infinity(), kMax},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selector);
        clear();
        RawFileRef ref = ref_in(empty, "air");
        ref.nIndex = 55;
        ui_.file_answers.push_back(pick(other, "air", "ref", 9, c.selector));
        ASSERT_EQ(CalFillReferenceCombo(dlg_, kCombo, &ref), 1);
        EXPECT_EQ(ref.nIndex, c.index);
        EXPECT_EQ(ref.nFunction, 1);
    }
}

TEST_F(ReferenceCombo, LongPicksAreCutToTheReferenceFields) {
    const fs::path empty = folder("empty", {});
    RawFileRef ref = ref_in(empty, "air");
    // Cancelled at the second ask: the long pick is what the reference holds.
    const std::string name(600, 'n'), ext(600, 'e');
    ui_.file_answers.push_back(pick(std::string(600, 'd'), name.c_str(), ext.c_str()));
    ui_.file_answers.push_back(std::nullopt);
    EXPECT_EQ(CalFillReferenceCombo(dlg_, kCombo, &ref), 0);
    EXPECT_EQ(std::string(ref.szDirectory), std::string(sizeof ref.szDirectory - 1, 'd'));
    EXPECT_EQ(std::string(ref.szName), std::string(sizeof ref.szName - 1, 'n'));
    EXPECT_EQ(std::string(ref.szExtension), std::string(sizeof ref.szExtension - 1, 'e'));
}

TEST_F(ReferenceCombo, NoComboOrNoReferenceFillsNothing) {
    RawFileRef ref = ref_in(root_, "air");
    EXPECT_EQ(CalFillReferenceCombo(dlg_, 999, &ref), 0);
    EXPECT_EQ(CalFillReferenceCombo(dlg_, kCombo, nullptr), 0);
    EXPECT_EQ(CalFillReferenceCombo(nullptr, kCombo, &ref), 0);
    EXPECT_EQ(CalEditRefFile(nullptr, nullptr), 0);
    EXPECT_TRUE(ui_.calls.empty());
}

// The user's editor, played by a script that writes down its arguments.
class ReferenceEditor : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fresh_folder("masscal-refedit-");
        out_ = root_ / "arguments";
        editor_ = root_ / "editor";
        // Shell built-ins only, so PATH may be changed; "END" marks a complete file.
        std::ofstream(editor_) << "#!/bin/sh\n{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; printf 'END\\n'; } > '"
                               << out_.string() << "'\n";
        fs::permissions(editor_, fs::perms::owner_all);
    }
    void TearDown() override { fs::remove_all(root_); }

    // The arguments the editor got, once it has run (nullopt: not within 5 s).
    std::optional<std::vector<std::string>> arguments() {
        for (int i = 0; i < 500; ++i) {
            const std::string text = slurp(out_);
            if (text.size() >= 4 && text.compare(text.size() - 4, 4, "END\n") == 0) {
                std::vector<std::string> lines;
                std::istringstream in(text);
                for (std::string line; std::getline(in, line);) lines.push_back(line);
                lines.pop_back();
                return lines;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return std::nullopt;
    }

    fs::path root_, out_, editor_;
};

TEST_F(ReferenceEditor, VisualThenEditorIsStartedOnThePath) {
    const std::string e = editor_.string(), withArgs = e + " --wait -n";
    const fs::path refs = root_ / "refs";
    RawFileRef ref = ref_in(refs.string() + "/", "air");
    const std::string path = refs.string() + "/air.ref";
    struct Case {
        const char* visual;
        const char* editor;
        std::vector<std::string> args;
    } cases[] = {
        {e.c_str(), nullptr, {path}},
        {e.c_str(), "/nonexistent/editor", {path}},
        {"", e.c_str(), {path}},
        {nullptr, e.c_str(), {path}},
        {withArgs.c_str(), nullptr, {"--wait", "-n", path}},  // the command may carry its own arguments
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.visual ? c.visual : "(unset)") + " / " + (c.editor ? c.editor : "(unset)"));
        fs::remove(out_);
        ScopedEnv visual("VISUAL", c.visual);
        ScopedEnv editor("EDITOR", c.editor);
        ASSERT_EQ(CalEditRefFile(nullptr, &ref), 1);
        EXPECT_EQ(GetCalError(), (c.visual && *c.visual ? c.visual : c.editor) + (" " + path));
        EXPECT_EQ(arguments(), c.args) << "the editor did not run as asked";
    }
}

TEST_F(ReferenceEditor, ThePathReachesTheEditorUninterpreted) {
    ScopedEnv visual("VISUAL", editor_.c_str());
    const fs::path refs = root_ / "my refs" / "it's \"here\"";
    const std::string name = "a $(touch pwned) `touch pwned2` ; b*";
    RawFileRef ref = ref_in(refs, name.c_str(), "r e f");
    fs::remove(out_);
    ASSERT_EQ(CalEditRefFile(nullptr, &ref), 1);
    const std::string path = refs.string() + "/" + name + ".r e f";
    EXPECT_STREQ(GetCalError(), (editor_.string() + " " + path).c_str());
    EXPECT_EQ(arguments(), std::vector<std::string>{path});
    EXPECT_FALSE(fs::exists("pwned"));
    EXPECT_FALSE(fs::exists("pwned2"));
}

TEST_F(ReferenceEditor, WithoutEitherVariableTheDesktopHandlerIsUsed) {
    // A stand-in for the desktop's handler, found through PATH.
    fs::copy_file(editor_, root_ / "xdg-open");
    fs::permissions(root_ / "xdg-open", fs::perms::owner_all);
    ScopedEnv visual("VISUAL", nullptr);
    ScopedEnv editor("EDITOR", "");
    ScopedEnv path("PATH", root_.c_str());
    fs::remove(out_);
    RawFileRef ref = ref_in(root_, "air");
    ASSERT_EQ(CalEditRefFile(nullptr, &ref), 1);
    EXPECT_STREQ(GetCalError(), ("xdg-open " + (root_ / "air.ref").string()).c_str());
    EXPECT_EQ(arguments(), std::vector<std::string>{(root_ / "air.ref").string()});
}

}  // namespace
