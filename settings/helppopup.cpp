// The help pop-up: a topic's text beside the control it is about, for where
// no WinHelp viewer can show it (Windows Vista and later ship none). Sized to
// the text, in the tooltip colours; any click, any key or losing activation
// closes it. One at a time.
#include "settings.h"
#include "../app/app.h"
#include "../uilib/libstate.h"

namespace {

const char kPopupClass[] = "WendleHelpPopup";
const int kMargin = 6;
const int kMaxTextWidth = 320;

HWND g_popup;
HFONT g_popupFont;  // the dialog's, which outlives the pop-up it owns

// Windows before 4.0 have no tooltip colours.
COLORREF PopupColor(int tooltipIndex, int oldIndex) {
    return GetSysColor(VersionWord(GetVersion()) >= 0x0400 ? tooltipIndex : oldIndex);
}

// The text's extent in the pop-up's font, wrapped at kMaxTextWidth.
SIZE MeasureText(LPCSTR text) {
    RECT r = {0, 0, kMaxTextWidth, 0};
    HDC dc = GetDC(NULL);
    HGDIOBJ old = g_popupFont ? SelectObject(dc, g_popupFont) : NULL;
    DrawTextA(dc, text, -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    if (old) SelectObject(dc, old);
    ReleaseDC(NULL, dc);
    SIZE size = {r.right - r.left, r.bottom - r.top};
    return size;
}

LRESULT OnPopupPaint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH back = CreateSolidBrush(PopupColor(COLOR_INFOBK, COLOR_WINDOW));
    FillRect(dc, &r, back);
    DeleteObject(back);
    char text[1024];
    GetWindowTextA(hwnd, text, sizeof(text));
    HGDIOBJ old = g_popupFont ? SelectObject(dc, g_popupFont) : NULL;
    SetTextColor(dc, PopupColor(COLOR_INFOTEXT, COLOR_WINDOWTEXT));
    SetBkMode(dc, TRANSPARENT);
    InflateRect(&r, -kMargin, -kMargin);
    DrawTextA(dc, text, -1, &r, DT_WORDBREAK | DT_NOPREFIX);
    if (old) SelectObject(dc, old);
    EndPaint(hwnd, &ps);
    return 0;
}

// Closed by posting: it may be losing activation to a window being shown.
LRESULT ClosePopup(HWND hwnd) {
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    return 0;
}

LRESULT CALLBACK HelpPopupProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        return OnPopupPaint(hwnd);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        return ClosePopup(hwnd);
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) return ClosePopup(hwnd);
        break;
    case WM_DESTROY:
        if (g_popup == hwnd) g_popup = NULL;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

BOOL RegisterPopupClass(void) {
    WNDCLASSA wc;
    if (GetClassInfoA(g_hInstance, kPopupClass, &wc)) return TRUE;
    ZeroMemory(&wc, sizeof(wc));
    wc.lpfnWndProc = HelpPopupProc;
    wc.hInstance = g_hInstance;
    wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    wc.lpszClassName = kPopupClass;
    return RegisterClassA(&wc) != 0;
}

}  // namespace

HWND ShowHelpPopup(HWND owner, LPCSTR text, POINT at) {
    if (g_popup) DestroyWindow(g_popup);
    if (!text || !RegisterPopupClass()) return NULL;
    g_popupFont = (HFONT)SendMessageA(owner, WM_GETFONT, 0, 0);
    SIZE size = MeasureText(text);
    int width = size.cx + 2 * kMargin + 2, height = size.cy + 2 * kMargin + 2;  // 2: the border
    // Kept on the screen: beside the point when it fits, otherwise against the edge.
    int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    int x = at.x + width > screenWidth ? screenWidth - width : at.x;
    int y = at.y + height > screenHeight ? at.y - height - 16 : at.y;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    g_popup = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kPopupClass, text, WS_POPUP | WS_BORDER, x, y, width,
                              height, owner, NULL, g_hInstance, NULL);
    if (g_popup) ShowWindow(g_popup, SW_SHOW);
    return g_popup;
}
