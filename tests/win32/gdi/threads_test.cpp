// Several threads making, drawing with and deleting GDI objects at once, as
// the host and a plug-in's capture thread may: the object table stays sound
// and every object is accounted for afterwards; and a window's surface
// resized under the pixel lock while another thread paints on it.
// Native only.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "internal/surface.h"

namespace {

void drawAndRelease(int seed, bool& ok) {
    ok = true;
    for (int round = 0; round < 200; ++round) {
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = CreateBitmap(8, 8, 1, 32, nullptr);
        HGDIOBJ previousBitmap = SelectObject(dc, bitmap);
        HPEN pen = CreatePen(PS_SOLID, 1 + round % 3, RGB(seed, round % 256, 0));
        HBRUSH brush = CreateSolidBrush(RGB(0, seed, round % 256));
        HGDIOBJ previousPen = SelectObject(dc, pen);
        RECT rect = {0, 0, 8, 8};
        FillRect(dc, &rect, brush);
        MoveToEx(dc, 0, 0, nullptr);
        LineTo(dc, 7, 7);
        ok = ok && GetPixel(dc, 7, 0) == RGB(0, seed, round % 256);
        SelectObject(dc, previousPen);
        SelectObject(dc, previousBitmap);
        ok = ok && DeleteObject(pen) && DeleteObject(brush) && DeleteObject(bitmap) && DeleteDC(dc);
    }
}

TEST(GdiThreads, ObjectsMadeAndDeletedOnManyThreadsAreAllAccountedFor) {
    const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    constexpr int threadCount = 4;
    bool ok[threadCount] = {};
    std::vector<std::thread> threads;
    for (int i = 0; i < threadCount; ++i) threads.emplace_back(drawAndRelease, 40 * (i + 1), std::ref(ok[i]));
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < threadCount; ++i) EXPECT_TRUE(ok[i]) << "thread " << i;
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before);
}

TEST(GdiThreads, SurfaceResizedUnderThePixelLockWhilePainted) {
    auto surface = std::make_shared<subset::Surface>();
    surface->resize(16, 16);
    HDC dc = subset::createSurfaceDC(surface);
    std::atomic<bool> painting{true};
    std::thread painter([&] {
        HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
        for (int round = 0; round < 500; ++round) {
            const RECT rect = {0, 0, 40, 40};
            FillRect(dc, &rect, brush);
            MoveToEx(dc, 0, round % 30, nullptr);
            LineTo(dc, 39, 29 - round % 30);
        }
        DeleteObject(brush);
        painting = false;
    });
    int size = 16;
    while (painting) {
        auto lock = subset::lockPixels();
        size = size == 16 ? 30 : 16;
        surface->resize(size, size);
    }
    painter.join();
    subset::deleteSurfaceDC(dc);
    EXPECT_EQ(surface->pixels[0], 0x010203u) << "the last fill covers the corner";
}

}  // namespace
