// Bitmap colour utilities: key-colour loading, colour swaps and
// replacements, copies, and the dimmed and embossed looks of button images.
#include "bitmaps.h"
#include "uilib.h"

namespace {

const COLORREF kKeyedColour = RGB(244, 51, 239);
const COLORREF kTransparentColour = RGB(128, 0, 128);
const DWORD DSPDxax = 0x00E20746;  // mask 1: brush, mask 0: destination
const DWORD PSDPxax = 0x00B8074A;  // mask 1: destination, mask 0: brush

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP bm;
    SIZE size = {0, 0};
    if (GetObjectA(bitmap, sizeof(bm), &bm)) {
        size.cx = bm.bmWidth;
        size.cy = bm.bmHeight;
    }
    return size;
}

HBITMAP LoadSwapped(HINSTANCE instance, LPCSTR name, COLORREF key, COLORREF replacement) {
    HBITMAP bitmap = LoadBitmapA(instance, name);
    if (!bitmap) return NULL;
    SwapBitmapColors(bitmap, key, replacement, (HPALETTE)GetStockObject(DEFAULT_PALETTE));
    return bitmap;
}

// Blits a monochrome mask onto the image in `dc` with a solid brush.
void BlitMaskWithBrush(HDC dc, HDC maskDC, int w, int h, COLORREF colour, DWORD rop) {
    HBRUSH brush = CreateSolidBrush(colour);
    HGDIOBJ old = SelectObject(dc, brush);
    SetBkColor(dc, RGB(255, 255, 255));
    SetTextColor(dc, RGB(0, 0, 0));
    BitBlt(dc, 0, 0, w, h, maskDC, 0, 0, rop);
    SelectObject(dc, old);
    DeleteObject(brush);
}

}  // namespace

HBITMAP __cdecl LoadKeyedBitmap(HINSTANCE instance, LPCSTR name, COLORREF replacement) {
    return LoadSwapped(instance, name, kKeyedColour, replacement);
}

HBITMAP __cdecl LoadTransparentBitmap1(HINSTANCE instance, LPCSTR name, COLORREF replacement) {
    return LoadSwapped(instance, name, kTransparentColour, replacement);
}

LONG WINAPI SwapBitmapColors(HBITMAP bitmap, COLORREF a, COLORREF b, HPALETTE palette) {
    SIZE size = BitmapSize(bitmap);
    if (!size.cx || !size.cy) return 0;  // no bitmap: nothing to work on
    HDC screen = GetDC(NULL);
    HDC maskA = CreateCompatibleDC(screen), image = CreateCompatibleDC(screen), maskB = CreateCompatibleDC(screen);
    HGDIOBJ oldImage = SelectObject(image, bitmap);
    HPALETTE oldPalette = NULL;
    if (palette) {
        oldPalette = SelectPalette(image, palette, FALSE);
        RealizePalette(image);
    }
    HBITMAP monoA = CreateBitmap(size.cx, size.cy, 1, 1, NULL), monoB = CreateBitmap(size.cx, size.cy, 1, 1, NULL);
    HGDIOBJ oldA = SelectObject(maskA, monoA), oldB = SelectObject(maskB, monoB);
    ReleaseDC(NULL, screen);

    // Both masks come from the unchanged image.
    SetBkColor(image, a);
    BitBlt(maskA, 0, 0, size.cx, size.cy, image, 0, 0, SRCCOPY);
    SetBkColor(image, b);
    BitBlt(maskB, 0, 0, size.cx, size.cy, image, 0, 0, SRCCOPY);
    BlitMaskWithBrush(image, maskA, size.cx, size.cy, b, DSPDxax);
    BlitMaskWithBrush(image, maskB, size.cx, size.cy, a, DSPDxax);

    SelectObject(maskA, oldA);
    SelectObject(maskB, oldB);
    DeleteObject(monoA);
    DeleteObject(monoB);
    SelectObject(image, oldImage);
    if (palette) SelectPalette(image, oldPalette, FALSE);
    DeleteDC(maskA);
    DeleteDC(image);
    DeleteDC(maskB);
    return 1;
}

void WINAPI ChangeBitmapColorDC(HDC dc, const BITMAP *bm, COLORREF oldColour, COLORREF newColour) {
    if (!bm || (bm->bmPlanes == 1 && bm->bmBitsPixel == 1)) return;
    HBITMAP mask = CreateBitmap(bm->bmWidth, bm->bmHeight, 1, 1, NULL);
    HDC maskDC = CreateCompatibleDC(dc);
    if (!mask || !maskDC) {
        if (mask) DeleteObject(mask);
        if (maskDC) DeleteDC(maskDC);
        return;
    }
    HGDIOBJ oldMask = SelectObject(maskDC, mask);
    SetBkColor(dc, oldColour);
    BitBlt(maskDC, 0, 0, bm->bmWidth, bm->bmHeight, dc, 0, 0, SRCCOPY);
    BlitMaskWithBrush(dc, maskDC, bm->bmWidth, bm->bmHeight, newColour, DSPDxax);
    SelectObject(maskDC, oldMask);
    DeleteDC(maskDC);
    DeleteObject(mask);
}

LONG WINAPI ChangeBitmapColor(HBITMAP bitmap, COLORREF oldColour, COLORREF newColour, HPALETTE palette) {
    BITMAP bm;
    if (!GetObjectA(bitmap, sizeof(bm), &bm)) return 0;  // a null or stale handle
    HDC screen = GetDC(NULL);
    if (!screen) return 0;
    HDC dc = CreateCompatibleDC(screen);
    if (!dc) return ReleaseDC(NULL, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HPALETTE oldPalette = NULL;
    if (palette) {
        oldPalette = SelectPalette(dc, palette, FALSE);
        RealizePalette(dc);
    }
    ChangeBitmapColorDC(dc, &bm, oldColour, newColour);
    SelectObject(dc, old);
    if (palette) SelectPalette(dc, oldPalette, FALSE);  // never leave a stock palette in a dying context
    DeleteDC(dc);
    return ReleaseDC(NULL, screen);
}

HBITMAP WINAPI CopyBitmap(HBITMAP bitmap) {
    if (!bitmap) return NULL;
    BITMAP bm;
    if (!GetObjectA(bitmap, sizeof(bm), &bm)) return NULL;
    DWORD bytes = (DWORD)bm.bmHeight * bm.bmWidthBytes;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (!block) return NULL;
    bm.bmBits = NULL;
    HBITMAP copy = CreateBitmapIndirect(&bm);
    if (!copy) {
        GlobalFree(block);
        return NULL;
    }
    void *bits = GlobalLock(block);
    if (!bits) {
        DeleteObject(copy);
        GlobalFree(block);
        return NULL;
    }
    GetBitmapBits(bitmap, bytes, bits);
    SetBitmapBits(copy, bytes, bits);
    GlobalUnlock(block);
    GlobalFree(block);
    return copy;
}

void WINAPI DimBitmap(HBITMAP bitmap, HBITMAP *out) {
    SIZE size = BitmapSize(bitmap);
    if (!out || !size.cx || !size.cy) return;
    HDC src = CreateCompatibleDC(NULL), dst = CreateCompatibleDC(NULL);
    HGDIOBJ initial = SelectObject(src, bitmap);
    HBITMAP dim = CreateBitmap(size.cx, size.cy, GetDeviceCaps(src, PLANES) & 0xFF, GetDeviceCaps(src, BITSPIXEL) & 0xFF,
                               NULL);
    *out = dim;
    SelectObject(dst, dim);
    COLORREF key = GetPixel(src, 0, 0);
    for (int x = 0; x < size.cx; x++) {
        for (int y = 0; y < size.cy; y++) {
            COLORREF c = GetPixel(src, x, y);
            int sum = GetRValue(c) + GetGValue(c) + GetBValue(c);
            COLORREF d;
            if (c == key)
                d = GetSysColor(COLOR_BTNFACE);
            else if (sum >= 554)
                d = RGB(255, 255, 255);
            else if (sum >= 232)
                d = GetSysColor(COLOR_BTNHIGHLIGHT);
            else if (sum >= 58)
                d = GetSysColor(COLOR_BTNSHADOW);
            else
                d = RGB(0, 0, 0);
            SetPixelV(dst, x, y, d);
        }
    }
    SelectObject(src, initial);
    SelectObject(dst, initial);
    DeleteDC(src);
    DeleteDC(dst);
}

HBITMAP EmbossBitmap(HBITMAP bitmap) {
    HDC screen = GetDC(NULL);
    HDC maskDC = CreateCompatibleDC(screen), work = CreateCompatibleDC(screen);
    if (!maskDC || !work) {
        if (maskDC) DeleteDC(maskDC);
        if (work) DeleteDC(work);
        ReleaseDC(NULL, screen);
        return NULL;
    }
    SIZE size = BitmapSize(bitmap);
    int w = size.cx, h = size.cy;
    HBITMAP mask1 = CreateBitmap(w, h, 1, 1, NULL), mask2 = CreateBitmap(w, h, 1, 1, NULL);
    HBITMAP result = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ oldWork = SelectObject(work, bitmap);
    SetBkColor(work, GetPixel(work, 0, 0));

    HGDIOBJ oldMask = SelectObject(maskDC, mask1);
    PatBlt(maskDC, 0, 0, w, h, WHITENESS);
    BitBlt(maskDC, 0, 0, w - 1, h - 1, work, 1, 1, SRCCOPY);
    BitBlt(maskDC, 0, 0, w, h, work, 0, 0, SRCAND);
    SelectObject(maskDC, mask2);
    BitBlt(maskDC, 0, 0, w, h, work, 0, 0, SRCCOPY);
    BitBlt(maskDC, 0, 0, w - 1, h - 1, work, 1, 1, MERGEPAINT);

    SelectObject(work, result);
    HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    HGDIOBJ oldBrush = SelectObject(work, face);
    PatBlt(work, 0, 0, w, h, PATCOPY);
    SelectObject(work, oldBrush);
    DeleteObject(face);
    SelectObject(maskDC, mask1);
    BlitMaskWithBrush(work, maskDC, w, h, GetSysColor(COLOR_BTNSHADOW), PSDPxax);
    SelectObject(maskDC, mask2);
    BlitMaskWithBrush(work, maskDC, w, h, GetSysColor(COLOR_BTNHIGHLIGHT), PSDPxax);

    SelectObject(work, oldWork);
    SelectObject(maskDC, oldMask);
    DeleteObject(mask1);
    DeleteObject(mask2);
    ReleaseDC(NULL, screen);
    DeleteDC(maskDC);
    DeleteDC(work);
    return result;
}
