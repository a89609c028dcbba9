#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "platform/win/controls.hpp"
#include "platform/win/dialog.hpp"
#include "platform/win/input.hpp"
#include "platform/win/menu.hpp"
#include "platform/win/message_queue.hpp"
#include "platform/win/window_class.hpp"
#include "support/recording_ui.hpp"

using namespace masscal::platform;

namespace {

// What the test dialog procedure saw.
struct Seen {
    std::vector<std::uint32_t> messages;
    std::vector<int> commands;
    std::intptr_t param = 0;
    bool setFocusItself = false;
};
Seen* g_seen = nullptr;

std::intptr_t test_proc(CalWnd dlg, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    if (!g_seen) return 0;
    g_seen->messages.push_back(msg);
    if (msg == kMsgInitDialog) {
        g_seen->param = lParam;
        if (g_seen->setFocusItself) {
            SetFocus(GetDlgItem(dlg, 20));
            return 0;
        }
        return 1;
    }
    if (msg == kMsgCommand) {
        g_seen->commands.push_back(low_word(wParam));
        if (low_word(wParam) == kIdOk || low_word(wParam) == kIdCancel) EndDialog(dlg, low_word(wParam));
        return 1;
    }
    return 0;
}

constexpr ControlTemplate kControls[] = {
    {10, ControlKind::check_box, "&Check", 8, 8, 80, 10, kWsTabStop},
    {20, ControlKind::edit, "12", 8, 24, 40, 12, kWsTabStop},
    {30, ControlKind::combo_box, "", 8, 40, 80, 60, kWsTabStop | kWsDisabled},
    {kIdOk, ControlKind::default_push_button, "OK", 8, 80, 40, 14, kWsTabStop},
    {kIdCancel, ControlKind::push_button, "Cancel", 56, 80, 40, 14, kWsTabStop},
};
constexpr DialogTemplate kDialog{"TEST", nullptr, "Test dialog", "MS Sans Serif", 8, kWsPopup | kWsCaption,
                                 10, 20, 120, 100, kControls, 5};

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override { g_seen = &seen; }
    void TearDown() override { g_seen = nullptr; }
    Seen seen;
    masscal::testing::RecordingUi ui;
};

TEST_F(Dialogs, BuiltFromTheTemplateInDialogUnits) {
    CalWnd dlg = CreateDialogIndirectParam(kDialog, nullptr, test_proc, 77);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(seen.param, 77);
    char title[64];
    GetWindowText(dlg, title, sizeof title);
    EXPECT_STREQ(title, "Test dialog");
    CalRect r{};
    GetWindowRect(dlg, &r);
    // 6 x 13 pixels per 4 x 8 dialog units.
    EXPECT_EQ(std::make_tuple(r.left, r.top, r.right, r.bottom), std::make_tuple(15, 32, 15 + 180, 32 + 162));
    CalRect edit{};
    GetWindowRect(GetDlgItem(dlg, 20), &edit);
    EXPECT_EQ(std::make_pair(edit.left - r.left, edit.top - r.top), std::make_pair(12, 39));
    EXPECT_EQ(GetDlgCtrlID(GetDlgItem(dlg, 20)), 20);
    char text[8];
    EXPECT_EQ(GetDlgItemText(dlg, 20, text, sizeof text), 2);
    EXPECT_STREQ(text, "12");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, 30)));
    // The procedure asked for the default focus: the first tab stop.
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 10));
    DestroyWindow(dlg);

    seen.setFocusItself = true;
    dlg = CreateDialogIndirectParam(kDialog, nullptr, test_proc, 0);
    EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 20));
    DestroyWindow(dlg);
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(Dialogs, UnknownClassMakesNoDialog) {
    DialogTemplate t = kDialog;
    t.class_name = "NoSuchClass";
    EXPECT_EQ(CreateDialogIndirectParam(t, nullptr, test_proc, 0), nullptr);
}

TEST_F(Dialogs, ModalRunsTheScriptedUser) {
    ui.modal_scripts.push_back([](CalWnd dlg) {
        EXPECT_TRUE(ClickDlgItem(dlg, 10));
        EXPECT_EQ(IsDlgButtonChecked(dlg, 10), kChecked);
        EXPECT_FALSE(ClickDlgItem(dlg, 30));  // disabled: no click
        EXPECT_TRUE(TypeText(GetDlgItem(dlg, 20), "3.5"));
        ClickDlgItem(dlg, kIdOk);
    });
    EXPECT_EQ(DialogBoxIndirectParam(kDialog, nullptr, test_proc, 0), kIdOk);
    EXPECT_EQ(seen.commands, (std::vector<int>{10, 20, kIdOk}));
    // Without a script the dialog is cancelled.
    seen.commands.clear();
    EXPECT_EQ(DialogBoxIndirectParam(kDialog, nullptr, test_proc, 0), kIdCancel);
    EXPECT_EQ(seen.commands, (std::vector<int>{kIdCancel}));
}

TEST_F(Dialogs, CloseBecomesCancel) {
    CalWnd dlg = CreateDialogIndirectParam(kDialog, nullptr, test_proc, 0);
    SendMessage(dlg, kMsgClose, 0, 0);
    EXPECT_EQ(seen.commands, (std::vector<int>{kIdCancel}));
    EXPECT_TRUE(IsWindow(dlg));
    DestroyWindow(dlg);
}

std::intptr_t menu_window_proc(CalWnd wnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    return DefDlgProc(wnd, msg, wParam, lParam);
}

constexpr MenuItemTemplate kFile[] = {{101, "&Open", 0}, {0, "", kMfSeparator}, {102, "E&xit", 0}};
constexpr MenuItemTemplate kView[] = {{201, "&Zoom", 0}};
constexpr MenuPopupTemplate kPopups[] = {{"&File", kFile, 3, false}, {"&View", kView, 1, true}};
constexpr MenuTemplate kMenu{"TestMenu", kPopups, 2};

// The popup initialisation before a choice is checked by the calibration window tests.
TEST_F(Dialogs, MenusPerWindow) {
    WindowClass cls;
    cls.name = "MenuTestClass";
    cls.proc = menu_window_proc;
    cls.menu = &kMenu;
    ASSERT_TRUE(RegisterWindowClass(cls));
    EXPECT_FALSE(RegisterWindowClass(cls));
    DialogTemplate t = kDialog;
    t.class_name = "menutestclass";
    CalWnd a = CreateDialogIndirectParam(t, nullptr, test_proc, 0);
    CalWnd b = CreateDialogIndirectParam(t, nullptr, test_proc, 0);
    ASSERT_NE(GetMenu(a), nullptr);
    EXPECT_NE(GetMenu(a), GetMenu(b));
    EXPECT_EQ(EnableMenuItem(GetMenu(a), 101, kMfGrayed), kMfEnabled);
    EXPECT_EQ(GetMenuState(GetMenu(b), 101, 0), 0u);
    EXPECT_FALSE(ChooseMenuItem(a, 101));
    EXPECT_TRUE(ChooseMenuItem(b, 101));
    EXPECT_TRUE(ModifyMenu(GetMenu(b), 102, 0, 102, "&Quit"));
    EXPECT_EQ(GetMenuString(GetMenu(b), 102), "&Quit");
    EXPECT_EQ(EnableMenuItem(GetMenu(b), 999, 0), kMenuNoItem);
    DestroyWindow(a);
    DestroyWindow(b);
    EXPECT_TRUE(UnregisterWindowClass("MenuTestClass"));
}

std::vector<std::uint32_t>* g_log = nullptr;
std::intptr_t logging_proc(CalWnd, std::uint32_t msg, std::uintptr_t, std::intptr_t) {
    if (g_log) g_log->push_back(msg);
    return 0;
}

TEST(MessageQueue, PostedInOrderAndDroppedForDestroyedWindows) {
    std::vector<std::uint32_t> log;
    g_log = &log;
    CalWnd a = CreateHeadlessWindow(nullptr, CalRect{0, 0, 10, 10}, logging_proc, nullptr);
    CalWnd b = CreateHeadlessWindow(nullptr, CalRect{0, 0, 10, 10}, logging_proc, nullptr);
    log.clear();
    PostMessage(a, kMsgUser + 1, 0, 0);
    PostMessage(b, kMsgUser + 2, 0, 0);
    PostMessage(a, kMsgUser + 3, 0, 0);
    EXPECT_EQ(PendingMessages(), 3);
    DestroyWindow(b);
    log.clear();
    EXPECT_EQ(PumpMessages(), 2);
    EXPECT_EQ(log, (std::vector<std::uint32_t>{kMsgUser + 1, kMsgUser + 3}));
    EXPECT_FALSE(PostMessage(b, kMsgUser, 0, 0));
    DestroyWindow(a);
    g_log = nullptr;
}

TEST(MessageQueue, PumpPaintsInvalidWindowsOnceEach) {
    std::vector<std::uint32_t> log;
    g_log = &log;
    CalWnd top = CreateHeadlessWindow(nullptr, CalRect{0, 0, 50, 50}, logging_proc, nullptr);
    CalWnd child = CreateHeadlessWindow(top, CalRect{5, 5, 20, 20}, logging_proc, nullptr);
    (void)child;
    log.clear();
    InvalidateRect(top, nullptr, true);
    PumpMessages();
    EXPECT_EQ(std::count(log.begin(), log.end(), kMsgPaint), 2);
    log.clear();
    PumpMessages();
    EXPECT_TRUE(log.empty());
    DestroyWindow(top);
    g_log = nullptr;
}

TEST(Windows, OwnedWindowsGoWithTheirOwner) {
    CalWnd owner = CreateOwnedWindow(nullptr, CalRect{0, 0, 10, 10}, "owner", nullptr, nullptr);
    CalWnd owned = CreateOwnedWindow(owner, CalRect{0, 0, 10, 10}, "owned", nullptr, nullptr);
    EXPECT_EQ(GetOwner(owned), owner);
    SetCapture(owned);
    DestroyWindow(owner);
    EXPECT_FALSE(IsWindow(owned));
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST(Windows, CaptureRoutesMouseInTheCapturersCoordinates) {
    std::vector<std::uint32_t> log;
    g_log = &log;
    CalWnd a = CreateHeadlessWindow(nullptr, CalRect{100, 100, 200, 200}, logging_proc, nullptr);
    CalWnd b = CreateHeadlessWindow(nullptr, CalRect{0, 0, 50, 50}, nullptr, nullptr);
    log.clear();
    SetCapture(a);
    DeliverMouse(b, kMsgMouseMove, 110, 120);
    EXPECT_EQ(log, std::vector<std::uint32_t>{kMsgMouseMove});
    ReleaseCapture();
    log.clear();
    DeliverMouse(b, kMsgMouseMove, 1, 1);
    EXPECT_TRUE(log.empty());
    DestroyWindow(a);
    DestroyWindow(b);
    g_log = nullptr;
}

}  // namespace
