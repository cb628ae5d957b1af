// Internal bitmap helpers of the library (the exported ones are in uilib.h).
#ifndef WENDLE_BITMAPS_H
#define WENDLE_BITMAPS_H

#include <windows.h>

// Loads a bitmap resource with its key colour RGB(244, 51, 239) and the
// replacement colour exchanged.
HBITMAP __cdecl LoadKeyedBitmap(HINSTANCE instance, LPCSTR name, COLORREF replacement);
// The embossed, disabled look of a button image; the caller owns the result.
HBITMAP EmbossBitmap(HBITMAP bitmap);

#endif
