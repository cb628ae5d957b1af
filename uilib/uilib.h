// The functions this module exports by name for other modules of the same
// makers. Fixed-argument functions use the standard-call convention and are
// exported under their decorated names (_winCenter@4); the variadic ones use
// the C convention and plain names.
#ifndef WENDLE_UILIB_H
#define WENDLE_UILIB_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Bitmap colour utilities. A returned bitmap belongs to the caller.
HBITMAP __cdecl LoadTransparentBitmap1(HINSTANCE instance, LPCSTR name, COLORREF replacement);
LONG WINAPI SwapBitmapColors(HBITMAP bitmap, COLORREF a, COLORREF b, HPALETTE palette);
LONG WINAPI ChangeBitmapColor(HBITMAP bitmap, COLORREF oldColour, COLORREF newColour, HPALETTE palette);
void WINAPI ChangeBitmapColorDC(HDC dc, const BITMAP *bm, COLORREF oldColour, COLORREF newColour);
HBITMAP WINAPI CopyBitmap(HBITMAP bitmap);
void WINAPI DimBitmap(HBITMAP bitmap, HBITMAP *out);

// Window and message utilities.
void __cdecl DisplayStatusMessage(HWND target, LPCSTR format, ...);
void __cdecl Comment(HWND owner, LPCSTR caption, LPCSTR format, ...);
void __cdecl DummyComment(LPCSTR format, ...);
void __cdecl DisplayDebugMessage(LPCSTR format, ...);
int WINAPI CopyTextToClipboard(HWND owner, LPCSTR text);
void WINAPI MyDialogYield(int count);
BOOL WINAPI InflateWnd(HWND hwnd, int dx, int dy);
BOOL WINAPI MoveWnd(HWND hwnd, int dx, int dy);
BOOL WINAPI winCenter(HWND hwnd);

// INI-file helpers.
BOOL WINAPI WritePrivateProfileInt(LPCSTR section, LPCSTR key, LONG value, LPCSTR file);
BOOL __cdecl WritePrivateProfileItem(LPCSTR section, LPCSTR key, LPCSTR file, LPCSTR format, ...);
LONG WINAPI GetPrivateProfileBool(LPCSTR section, LPCSTR key, LONG defaultOn, LPCSTR file);

// The application's dialog procedures.
INT_PTR CALLBACK AboutProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AskProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK RemindProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AmRASDialProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);

#ifdef __cplusplus
}
#endif

#endif
