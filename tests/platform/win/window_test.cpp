#include "platform/win/window.hpp"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "platform/gdi/device_context.hpp"

using namespace masscal::platform;

namespace {

struct Log {
    std::vector<std::uint32_t> msgs;
    std::intptr_t last_l = 0;
};

std::intptr_t logging_proc(CalWnd wnd, std::uint32_t msg, std::uintptr_t, std::intptr_t l) {
    auto* log = static_cast<Log*>(GetWindowUserData(wnd));
    if (log) {
        log->msgs.push_back(msg);
        log->last_l = l;
    }
    return msg == kMsgUser + 17 ? 1 : 0;
}

TEST(Window, ParentsRectanglesAndCoordinates) {
    CalWnd top = CreateHeadlessWindow(nullptr, CalRect{100, 50, 500, 350}, nullptr, nullptr);
    CalWnd child = CreateHeadlessWindow(top, CalRect{20, 30, 220, 130}, nullptr, nullptr);
    ASSERT_TRUE(top && child);
    EXPECT_TRUE(IsWindow(child));
    EXPECT_EQ(GetParent(child), top);
    EXPECT_EQ(GetParent(top), nullptr);
    // An owned top-level window answers its owner, as painting expects.
    CalWnd owned = CreateOwnedWindow(top, CalRect{0, 0, 50, 50}, "", nullptr, nullptr);
    EXPECT_EQ(GetParent(owned), top);
    EXPECT_EQ(GetOwner(owned), top);
    auto rect = [](const CalRect& r) { return std::make_tuple(r.left, r.top, r.right, r.bottom); };
    CalRect r;
    ASSERT_TRUE(GetClientRect(child, &r));
    EXPECT_EQ(rect(r), std::make_tuple(0, 0, 200, 100));
    ASSERT_TRUE(GetWindowRect(child, &r));
    EXPECT_EQ(rect(r), std::make_tuple(120, 80, 320, 180));
    CalPoint p{5, 6};
    ASSERT_TRUE(ClientToScreen(child, &p));
    EXPECT_EQ(std::make_pair(p.x, p.y), std::make_pair(125, 86));
    ASSERT_TRUE(ScreenToClient(top, &p));
    EXPECT_EQ(std::make_pair(p.x, p.y), std::make_pair(25, 36));
    EXPECT_TRUE(DestroyWindow(top));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(top));
    EXPECT_FALSE(GetClientRect(child, &r));
    EXPECT_EQ(GetParent(child), nullptr);
}

TEST(Window, ChildPaintsAtItsPlaceInTheTopLevelImage) {
    CalWnd top = CreateHeadlessWindow(nullptr, CalRect{0, 0, 60, 40}, nullptr, nullptr);
    CalWnd child = CreateHeadlessWindow(top, CalRect{10, 5, 30, 25}, nullptr, nullptr);
    CalDC dc = GetDC(child);
    ASSERT_TRUE(dc);
    dc->fill_rect(CalRect{-5, -5, 100, 100}, rgb(0, 0, 0));  // clipped to the child
    EXPECT_EQ(ReleaseDC(child, dc), 1);
    CalDC img = GetWindowSurface(child);
    // Black exactly on the child's rectangle, right and bottom edges excluded.
    EXPECT_EQ((std::vector<Colour>{img->pixel(10, 5), img->pixel(29, 24), img->pixel(9, 5), img->pixel(30, 24),
                                   img->pixel(29, 25)}),
              (std::vector<Colour>{rgb(0, 0, 0), rgb(0, 0, 0), rgb(255, 255, 255), rgb(255, 255, 255),
                                   rgb(255, 255, 255)}));
    EXPECT_EQ(ReleaseDC(child, dc), 0);  // already released
    DestroyWindow(top);
}

TEST(Window, MessagesInvalidationAndUpdate) {
    Log log;
    CalWnd w = CreateHeadlessWindow(nullptr, CalRect{0, 0, 10, 10}, logging_proc, nullptr);
    SetWindowUserData(w, &log);
    EXPECT_EQ(SendMessage(w, kMsgUser + 17, 0, 0), 1);
    EXPECT_TRUE(UpdateWindow(w));  // nothing to paint
    EXPECT_TRUE(InvalidateRect(w, nullptr, true));
    EXPECT_TRUE(UpdateWindow(w));
    EXPECT_TRUE(UpdateWindow(w));  // painted once only
    EXPECT_TRUE(MoveWindow(w, 0, 0, 300, 200, false));
    EXPECT_EQ(log.last_l, (200 << 16) | 300);
    DestroyWindow(w);
    const std::vector<std::uint32_t> want{kMsgUser + 17, kMsgPaint, kMsgSize, kMsgDestroy};
    EXPECT_EQ(log.msgs, want);
    EXPECT_EQ(SendMessage(w, kMsgUser, 0, 0), 0);
    EXPECT_EQ(GetDC(w), nullptr);
}

}  // namespace
