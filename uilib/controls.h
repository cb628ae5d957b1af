// The library's two control classes: the bitmap push-button "QVBMPButton"
// and the sunken frame panel "DipsWindow".
#ifndef WENDLE_CONTROLS_H
#define WENDLE_CONTROLS_H

#include <windows.h>

#define BMPBTN_SETIMAGES (WM_USER + 1)  // lParam: const BMPButtonImageSource *
#define BMPBTN_ENABLE    (WM_USER + 2)  // wParam: 0 disabled look, else enabled

struct BMPButtonImageSource {
    HINSTANCE instance;
    DWORD bitmap;  // numeric resource id in the low 16 bits
};

struct BMPButtonState {
    HBITMAP normalImage;
    HBITMAP disabledImage;
    LONG visualState;  // 0 flat, 1 raised, 2 pressed, 3 disabled
    LONG mouseHeld;
    LONG hasFocus;
};

enum { FRAME_FLAT = 0, FRAME_SUNKEN = 1, FRAME_RAISED = 2 };

ATOM RegisterBMPButtonClass(HINSTANCE instance);
ATOM RegisterDipsWindowClass(HINSTANCE instance);
// The class brush for a GetVersion value: the window colour before 3.95.
HBRUSH ButtonBrushForVersion(DWORD version);
void Draw3DFrame(HDC dc, int left, int top, int right, int bottom, int style);
void StretchBitmap(HDC dc, int left, int top, int right, int bottom, HBITMAP bitmap);
void PaintBMPButton(HWND button, HDC dc, const BMPButtonState *state);
LRESULT CALLBACK BMPButtonWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK DipsWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

#endif
