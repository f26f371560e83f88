// The window manager's side of GDI: a window's pixel surface, resized in
// place, and the DC that draws on it. Native only (these are the subset's
// own internals, not Win32 calls).
#include <windows.h>

#include <gtest/gtest.h>

#include "internal/surface.h"

namespace {

TEST(GdiSurface, ResizeKeepsTheSharedContentAndAddsBlack) {
    subset::Surface surface;
    surface.resize(3, 2);
    ASSERT_EQ(surface.pixels.size(), 6u);
    for (int i = 0; i < 6; ++i) surface.pixels[i] = 0x010101u * (i + 1);
    surface.resize(2, 3);
    // Rows were 3 wide: (1 2 3)(4 5 6); now 2 wide and one more row of black.
    const std::vector<uint32_t> expected = {0x010101, 0x020202, 0x040404, 0x050505, 0, 0};
    EXPECT_EQ(surface.pixels, expected);
    EXPECT_EQ(surface.width, 2);
    EXPECT_EQ(surface.height, 3);
    surface.resize(-4, 5);
    EXPECT_EQ(surface.width, 0);
    EXPECT_TRUE(surface.pixels.empty());
}

TEST(GdiSurface, SurfaceDcDrawsOnTheSurfaceAndFollowsItsSize) {
    auto surface = std::make_shared<subset::Surface>();
    surface->resize(4, 2);
    HDC dc = subset::createSurfaceDC(surface);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), nullptr);
    HBRUSH brush = CreateSolidBrush(RGB(0x12, 0x34, 0x56));
    RECT all = {0, 0, 100, 100};
    FillRect(dc, &all, brush);
    EXPECT_EQ(surface->pixels, std::vector<uint32_t>(8, 0x123456u));

    // A window that grows: the same DC reaches the new pixels.
    surface->resize(5, 2);
    EXPECT_EQ(SetPixel(dc, 4, 1, RGB(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_EQ(surface->pixels[9], 0x010203u);

    // A surface DC cannot hold a bitmap and is not deleted by DeleteDC.
    HBITMAP bitmap = CreateBitmap(1, 1, 1, 32, nullptr);
    EXPECT_EQ(SelectObject(dc, bitmap), nullptr);
    EXPECT_FALSE(DeleteDC(dc));

    // The DC keeps the surface alive until it is deleted.
    std::weak_ptr<subset::Surface> watch = surface;
    surface.reset();
    EXPECT_FALSE(watch.expired());
    subset::deleteSurfaceDC(dc);
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
    DeleteObject(bitmap);
    DeleteObject(brush);
}

TEST(GdiSurface, SurfaceDcsAreNotCountedAsObjects) {
    const DWORD before = GetGuiResources(nullptr, GR_GDIOBJECTS);
    auto surface = std::make_shared<subset::Surface>();
    HDC dc = subset::createSurfaceDC(surface);
    EXPECT_EQ(GetGuiResources(nullptr, GR_GDIOBJECTS), before);
    subset::deleteSurfaceDC(dc);
    EXPECT_EQ(GetGuiResources(nullptr, GR_GDIOBJECTS), before);
}

}  // namespace
