// The bitmap colour utilities, pixel by pixel on real GDI bitmaps.
#include <gtest/gtest.h>

#include "bitmaps.h"
#include "testutil.h"
#include "uilib.h"

namespace {

// A screen-compatible bitmap painted from a grid of colours (rows of pixels).
HBITMAP MakeBitmap(const std::vector<std::vector<COLORREF>> &rows) {
    HDC screen = GetDC(NULL);
    int h = (int)rows.size(), w = (int)rows[0].size();
    HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) SetPixelV(dc, x, y, rows[y][x]);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(NULL, screen);
    return bitmap;
}

std::vector<std::vector<COLORREF>> Pixels(HBITMAP bitmap) {
    BITMAP bm;
    GetObjectA(bitmap, sizeof(bm), &bm);
    HDC dc = CreateCompatibleDC(NULL);
    HGDIOBJ old = SelectObject(dc, bitmap);
    std::vector<std::vector<COLORREF>> rows(bm.bmHeight, std::vector<COLORREF>(bm.bmWidth));
    for (int y = 0; y < bm.bmHeight; y++)
        for (int x = 0; x < bm.bmWidth; x++) rows[y][x] = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return rows;
}

std::string Describe(const std::vector<std::vector<COLORREF>> &rows) {
    std::string out;
    char cell[12];
    for (const auto &row : rows) {
        for (COLORREF c : row) {
            snprintf(cell, sizeof(cell), " %06lx", c);
            out += cell;
        }
        out += "\n";
    }
    return out;
}

const COLORREF FACE = GetSysColor(COLOR_BTNFACE), SHADOW = GetSysColor(COLOR_BTNSHADOW),
               LIGHT = GetSysColor(COLOR_BTNHIGHLIGHT);

TEST(Bitmaps, ButtonColoursDifferSoTheTestsCanTellThemApart) {
    EXPECT_NE(FACE, SHADOW);
    EXPECT_NE(FACE, LIGHT);
    EXPECT_NE(SHADOW, LIGHT);
}

TEST(Bitmaps, DimThresholdsAndTheKeyPixel) {
    const COLORREF key = RGB(1, 2, 3);
    HBITMAP src = MakeBitmap({{key, RGB(185, 185, 184), RGB(185, 184, 184), RGB(78, 77, 77), RGB(77, 77, 77),
                               RGB(20, 19, 19), RGB(19, 19, 19), key}});
    HBITMAP dim = NULL;
    DimBitmap(src, &dim);
    ASSERT_TRUE(dim != NULL);
    std::vector<std::vector<COLORREF>> expected = {
        {FACE, RGB(255, 255, 255), LIGHT, LIGHT, SHADOW, SHADOW, RGB(0, 0, 0), FACE}};
    EXPECT_EQ(expected, Pixels(dim)) << Describe(Pixels(dim));
    EXPECT_EQ(RGB(185, 185, 184), Pixels(src)[0][1]) << "the source is unchanged";
    DeleteObject(dim);
    DeleteObject(src);

    HBITMAP one = MakeBitmap({{RGB(9, 9, 9)}});
    DimBitmap(one, &dim);
    EXPECT_EQ(FACE, Pixels(dim)[0][0]);
    DeleteObject(dim);
    HBITMAP embossed = EmbossBitmap(one);
    EXPECT_EQ(FACE, Pixels(embossed)[0][0]);
    DeleteObject(embossed);
    DeleteObject(one);
    HBITMAP untouched = (HBITMAP)1;
    DimBitmap(NULL, &untouched);
    EXPECT_EQ((HBITMAP)1, untouched);
}

TEST(Bitmaps, SwapExchangesTwoColoursAndLeavesTheRest) {
    const COLORREF A = RGB(244, 51, 239), B = RGB(10, 200, 30), C = RGB(50, 60, 70);
    HBITMAP bitmap = MakeBitmap({{A, B, C}, {C, A, B}});
    SwapBitmapColors(bitmap, A, B, (HPALETTE)GetStockObject(DEFAULT_PALETTE));
    std::vector<std::vector<COLORREF>> expected = {{B, A, C}, {C, B, A}};
    EXPECT_EQ(expected, Pixels(bitmap)) << Describe(Pixels(bitmap));
    SwapBitmapColors(bitmap, A, A, NULL);
    EXPECT_EQ(expected, Pixels(bitmap)) << "a key equal to its replacement changes nothing";
    DeleteObject(bitmap);
}

TEST(Bitmaps, ChangeColourOneWayAndTheContextLeftWhiteOnBlack) {
    const COLORREF A = RGB(200, 0, 0), B = RGB(0, 0, 200), C = RGB(0, 150, 0);
    HBITMAP bitmap = MakeBitmap({{A, B, C}});
    EXPECT_NE(0, ChangeBitmapColor(bitmap, A, B, NULL));
    std::vector<std::vector<COLORREF>> expected = {{B, B, C}};
    EXPECT_EQ(expected, Pixels(bitmap)) << Describe(Pixels(bitmap));

    HDC dc = CreateCompatibleDC(NULL);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BITMAP bm;
    GetObjectA(bitmap, sizeof(bm), &bm);
    SetBkColor(dc, RGB(1, 2, 3));
    SetTextColor(dc, RGB(4, 5, 6));
    ChangeBitmapColorDC(dc, &bm, RGB(99, 99, 99), A);  // a colour the image does not have
    EXPECT_EQ(RGB(255, 255, 255), GetBkColor(dc));
    EXPECT_EQ(RGB(0, 0, 0), GetTextColor(dc));
    SelectObject(dc, old);
    EXPECT_EQ(expected, Pixels(bitmap));

    HBITMAP mono = CreateBitmap(4, 1, 1, 1, NULL);
    SelectObject(dc, mono);
    PatBlt(dc, 0, 0, 4, 1, WHITENESS);
    GetObjectA(mono, sizeof(bm), &bm);
    SetBkColor(dc, RGB(1, 2, 3));
    ChangeBitmapColorDC(dc, &bm, RGB(255, 255, 255), RGB(0, 0, 0));
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dc, 0, 0)) << "a monochrome bitmap is left alone";
    EXPECT_EQ(RGB(1, 2, 3), GetBkColor(dc)) << "and so is the context";
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(mono);
    DeleteObject(bitmap);
}

TEST(Bitmaps, CopyIsIndependentOfItsSource) {
    HBITMAP src = MakeBitmap({{RGB(1, 1, 1), RGB(2, 2, 2)}, {RGB(3, 3, 3), RGB(4, 4, 4)}});
    HBITMAP copy = CopyBitmap(src);
    ASSERT_TRUE(copy != NULL);
    EXPECT_EQ(Pixels(src), Pixels(copy));
    ChangeBitmapColor(src, RGB(1, 1, 1), RGB(9, 9, 9), NULL);
    EXPECT_EQ(RGB(1, 1, 1), Pixels(copy)[0][0]);
    BITMAP a, b;
    GetObjectA(src, sizeof(a), &a);
    GetObjectA(copy, sizeof(b), &b);
    EXPECT_EQ(a.bmWidth, b.bmWidth);
    EXPECT_EQ(a.bmBitsPixel, b.bmBitsPixel);
    EXPECT_TRUE(CopyBitmap(NULL) == NULL);
    DeleteObject(copy);
    DeleteObject(src);
}

TEST(Bitmaps, EmbossShowsTheShapeRaisedInButtonColours) {
    const COLORREF bg = RGB(255, 0, 255), fg = RGB(0, 0, 0);
    std::vector<std::vector<COLORREF>> rows(5, std::vector<COLORREF>(5, bg));
    for (int y = 1; y <= 3; y++)
        for (int x = 1; x <= 3; x++) rows[y][x] = fg;
    HBITMAP src = MakeBitmap(rows);
    HBITMAP result = EmbossBitmap(src);
    ASSERT_TRUE(result != NULL);
    const COLORREF F = FACE, S = SHADOW, H = LIGHT;
    std::vector<std::vector<COLORREF>> expected = {
        {S, S, S, F, F}, {S, S, S, H, F}, {S, S, S, H, F}, {F, H, H, H, F}, {F, F, F, F, F}};
    EXPECT_EQ(expected, Pixels(result)) << Describe(Pixels(result));
    EXPECT_EQ(rows, Pixels(src)) << "the source is unchanged";
    DeleteObject(result);
    DeleteObject(src);
}

}  // namespace
