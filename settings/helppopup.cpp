// The help pop-up: a topic's text beside the control it is about, for where
// no WinHelp viewer can show it (Windows Vista and later ship none). Sized to
// the text, in the tooltip colours; any click, any key or losing activation
// closes it. One at a time.
#include "settings.h"
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

typedef HMONITOR(WINAPI *MonitorFromRectFn)(LPCRECT, DWORD);
typedef BOOL(WINAPI *GetMonitorInfoFn)(HMONITOR, LPMONITORINFO);

// The work area of the monitor that holds most of the field, so that the
// pop-up neither jumps to another monitor nor hides under a taskbar.
// Windows 95 and NT 4 know one screen only: its work area, or the whole
// screen where even that is unknown (NT 3.51).
RECT WorkAreaOf(const RECT *field) {
    MonitorFromRectFn fromRect = (MonitorFromRectFn)(void *)SystemFunction("USER32.DLL", "MonitorFromRect");
    GetMonitorInfoFn info = (GetMonitorInfoFn)(void *)SystemFunction("USER32.DLL", "GetMonitorInfoA");
    MONITORINFO mi;
    mi.cbSize = sizeof(mi);
    if (fromRect && info && info(fromRect(field, MONITOR_DEFAULTTONEAREST), &mi)) return mi.rcWork;
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, area;
    if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0) && area.right > area.left && area.bottom > area.top)
        work = area;
    return work;
}

// Low wins where the range is empty: a pop-up larger than the work area
// keeps its top left corner in it.
int Clamp(int value, int low, int high) {
    if (value > high) value = high;
    return value < low ? low : value;
}

// Below the field, at the given point when that is lower; else above the
// field; where neither side has room, on the roomier side, held in the work
// area. Never over the field it explains while there is room beside it.
POINT PopupPosition(const RECT *field, POINT at, SIZE outer) {
    RECT work = WorkAreaOf(field);
    int below = at.y > field->bottom + 2 ? at.y : field->bottom + 2;
    int above = field->top - 2 - outer.cy;
    POINT place;
    if (below + outer.cy <= work.bottom)
        place.y = below;
    else if (above >= work.top)
        place.y = above;
    else
        place.y = work.bottom - field->bottom > field->top - work.top ? below : above;
    place.y = Clamp(place.y, work.top, work.bottom - outer.cy);
    place.x = Clamp(at.x, work.left, work.right - outer.cx);
    return place;
}

}  // namespace

HWND ShowHelpPopup(HWND owner, LPCSTR text, const RECT *field, POINT at) {
    if (g_popup) DestroyWindow(g_popup);
    if (!text || !field || !RegisterPopupClass()) return NULL;
    g_popupFont = (HFONT)SendMessageA(owner, WM_GETFONT, 0, 0);
    SIZE size = MeasureText(text);
    SIZE outer = {size.cx + 2 * kMargin + 2, size.cy + 2 * kMargin + 2};  // 2: the border
    POINT place = PopupPosition(field, at, outer);
    g_popup = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kPopupClass, text, WS_POPUP | WS_BORDER, place.x,
                              place.y, outer.cx, outer.cy, owner, NULL, g_hInstance, NULL);
    if (g_popup) ShowWindow(g_popup, SW_SHOW);
    return g_popup;
}
