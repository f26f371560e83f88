// Several threads making, drawing with and deleting GDI objects at once, as
// the host and a plug-in's capture thread may: the object table stays sound
// and every object is accounted for afterwards. Native only.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

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

}  // namespace
