// Device contexts and the objects selected into them.
#include <windows.h>

#include <gtest/gtest.h>

#include "gdi_canvas.h"

namespace {

TEST(GdiDeviceContext, NewMemoryDcHoldsTheStockObjectsAndDefaultState) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), GetStockObject(BLACK_PEN));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), GetStockObject(SYSTEM_FONT));
    BITMAP initial{};
    ASSERT_EQ(GetObjectA(GetCurrentObject(dc, OBJ_BITMAP), sizeof(initial), &initial), int(sizeof(initial)));
    EXPECT_EQ(initial.bmWidth, 1);
    EXPECT_EQ(initial.bmHeight, 1);
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
    POINT position{-1, -1};
    ASSERT_TRUE(GetCurrentPositionEx(dc, &position));
    EXPECT_EQ(position.x, 0);
    EXPECT_EQ(position.y, 0);
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(GdiDeviceContext, SelectObjectReturnsThePreviousObjectOfTheSameKind) {
    HDC dc = CreateCompatibleDC(nullptr);
    HPEN pen = CreatePen(PS_SOLID, 3, RGB(1, 2, 3));
    HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
    HBITMAP bitmap = CreateBitmap(4, 4, 1, 32, nullptr);
    HGDIOBJ stockBitmap = GetCurrentObject(dc, OBJ_BITMAP);

    EXPECT_EQ(SelectObject(dc, pen), GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(dc, brush), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(SelectObject(dc, bitmap), stockBitmap);
    // Each kind has its own slot: the pen is still there after the brush and bitmap.
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), bitmap);

    EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_PEN)), pen);
    EXPECT_EQ(SelectObject(dc, GetStockObject(WHITE_BRUSH)), brush);
    EXPECT_EQ(SelectObject(dc, stockBitmap), bitmap);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(GdiDeviceContext, ABitmapLivesInOneMemoryDcAtATime) {
    HDC first = CreateCompatibleDC(nullptr);
    HDC second = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(2, 2, 1, 32, nullptr);
    HGDIOBJ firstStock = SelectObject(first, bitmap);
    ASSERT_NE(firstStock, nullptr);
    EXPECT_EQ(SelectObject(second, bitmap), nullptr);
    EXPECT_NE(GetCurrentObject(second, OBJ_BITMAP), bitmap);

    // Once the first DC lets go, the second may take it, and the pixels
    // drawn through the first are still there.
    SetPixel(first, 1, 0, RGB(9, 8, 7));
    SelectObject(first, firstStock);
    HGDIOBJ secondStock = SelectObject(second, bitmap);
    EXPECT_NE(secondStock, nullptr);
    EXPECT_EQ(GetPixel(second, 1, 0), RGB(9, 8, 7));
    EXPECT_EQ(GetPixel(second, 0, 0), RGB(0, 0, 0));

    SelectObject(second, secondStock);
    DeleteObject(bitmap);
    DeleteDC(first);
    DeleteDC(second);
}

TEST(GdiDeviceContext, DeletedAndUnknownHandlesAreRefused) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBRUSH brush = CreateSolidBrush(RGB(1, 1, 1));
    ASSERT_TRUE(DeleteObject(brush));
    EXPECT_EQ(SelectObject(dc, brush), nullptr);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
    EXPECT_FALSE(DeleteObject(brush));
    ASSERT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
    EXPECT_FALSE(DeleteObject(nullptr));
}

TEST(GdiDeviceContext, StockObjectsSurviveDeleteObject) {
    HGDIOBJ stock = GetStockObject(BLACK_BRUSH);
    EXPECT_TRUE(DeleteObject(stock));
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(dc, stock), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), stock);
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    DeleteDC(dc);
}

TEST(GdiDeviceContext, StateSettersReturnThePreviousValue) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    EXPECT_EQ(SetBkMode(dc, OPAQUE), TRANSPARENT);
    EXPECT_EQ(SetBkColor(dc, RGB(1, 2, 3)), RGB(255, 255, 255));
    EXPECT_EQ(GetBkColor(dc), RGB(1, 2, 3));
    EXPECT_EQ(SetTextColor(dc, RGB(4, 5, 6)), RGB(0, 0, 0));
    EXPECT_EQ(GetTextColor(dc), RGB(4, 5, 6));

    POINT previous{-1, -1};
    ASSERT_TRUE(MoveToEx(dc, 7, -8, &previous));
    EXPECT_EQ(previous.x, 0);
    EXPECT_EQ(previous.y, 0);
    ASSERT_TRUE(MoveToEx(dc, 1, 2, &previous));
    EXPECT_EQ(previous.x, 7);
    EXPECT_EQ(previous.y, -8);
    POINT now{};
    ASSERT_TRUE(GetCurrentPositionEx(dc, &now));
    EXPECT_EQ(now.x, 1);
    EXPECT_EQ(now.y, 2);
    DeleteDC(dc);
}

TEST(GdiDeviceContext, GetObjectDescribesBitmapsPensAndBrushes) {
    HBITMAP bitmap = CreateBitmap(7, 3, 1, 32, nullptr);
    BITMAP bits{};
    ASSERT_EQ(GetObjectA(bitmap, sizeof(bits), &bits), int(sizeof(bits)));
    EXPECT_EQ(bits.bmWidth, 7);
    EXPECT_EQ(bits.bmHeight, 3);
    EXPECT_EQ(bits.bmBitsPixel, 32);
    EXPECT_EQ(bits.bmWidthBytes, 28);

    HPEN pen = CreatePen(PS_SOLID, 4, RGB(1, 2, 3));
    LOGPEN logPen{};
    ASSERT_EQ(GetObjectA(pen, sizeof(logPen), &logPen), int(sizeof(logPen)));
    EXPECT_EQ(logPen.lopnStyle, UINT(PS_SOLID));
    EXPECT_EQ(logPen.lopnWidth.x, 4);
    EXPECT_EQ(logPen.lopnColor, RGB(1, 2, 3));

    HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
    LOGBRUSH logBrush{};
    ASSERT_EQ(GetObjectA(brush, sizeof(logBrush), &logBrush), int(sizeof(logBrush)));
    EXPECT_EQ(logBrush.lbStyle, UINT(BS_SOLID));
    EXPECT_EQ(logBrush.lbColor, RGB(4, 5, 6));

    DeleteObject(bitmap);
    DeleteObject(pen);
    DeleteObject(brush);
}

}  // namespace
