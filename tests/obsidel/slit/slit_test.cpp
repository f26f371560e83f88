// The slit keeps its docked windows side by side from its left edge and
// takes the size of the row, following each window as its plug-in moves,
// resizes or destroys it, once the messages of that change are handled.
#include <windows.h>

#include <obsidel/api.h>

#include "slit.h"
#include "test_support.h"

namespace {

constexpr const char* kClass = "SlitTestWindow";

void handlePendingMessages() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

HWND floatingWindow(int width, int height) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClass;
    RegisterClassA(&windowClass);
    return CreateWindowExA(WS_EX_TOOLWINDOW, kClass, "", WS_POPUP | WS_VISIBLE, 300, 200, width, height, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

SIZE sizeOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

POINT placeInSlit(HWND window, HWND slit) {
    RECT rect{}, slitRect{};
    GetWindowRect(window, &rect);
    GetWindowRect(slit, &slitRect);
    return {rect.left - slitRect.left, rect.top - slitRect.top};
}

void expectRow(HWND slit, LONG width, LONG height) {
    EXPECT_TRUE(IsWindowVisible(slit));
    EXPECT_EQ(sizeOf(slit).cx, width);
    EXPECT_EQ(sizeOf(slit).cy, height);
}

void expectAt(HWND window, HWND slit, LONG x) {
    EXPECT_EQ(placeInSlit(window, slit).x, x);
    EXPECT_EQ(placeInSlit(window, slit).y, 0);
}

TEST(Slit, FollowsItsWindowsAsTheirPluginsChangeThem) {
    HWND slit = obsidel::createSlit(GetModuleHandleA(nullptr));
    ASSERT_TRUE(slit);
    HWND first = floatingWindow(40, 10);
    HWND second = floatingWindow(30, 20);
    SendMessageA(slit, SLIT_ADD, 0, reinterpret_cast<LPARAM>(first));
    SendMessageA(slit, SLIT_ADD, 0, reinterpret_cast<LPARAM>(second));
    handlePendingMessages();
    expectRow(slit, 70, 20);
    expectAt(first, slit, 0);
    expectAt(second, slit, 40);

    SCOPED_TRACE("the first grows");
    SetWindowPos(first, nullptr, 0, 0, 60, 30, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    handlePendingMessages();
    expectRow(slit, 90, 30);
    expectAt(second, slit, 60);

    SCOPED_TRACE("the second moves itself");
    SetWindowPos(second, nullptr, 5, 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    handlePendingMessages();
    expectAt(second, slit, 60);

    SCOPED_TRACE("the first is destroyed");
    DestroyWindow(first);
    handlePendingMessages();
    expectRow(slit, 30, 20);
    expectAt(second, slit, 0);

    SCOPED_TRACE("the second leaves, with its own procedure back");
    SendMessageA(slit, SLIT_REMOVE, 0, reinterpret_cast<LPARAM>(second));
    handlePendingMessages();
    EXPECT_FALSE(IsWindowVisible(slit));
    EXPECT_EQ(GetWindowLongPtrA(second, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(DefWindowProcA));
    SetWindowPos(second, nullptr, 0, 0, 50, 50, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    handlePendingMessages();
    EXPECT_FALSE(IsWindowVisible(slit));

    DestroyWindow(second);
    obsidel::destroySlit();
}

}  // namespace
