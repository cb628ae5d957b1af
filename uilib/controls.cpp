#include "controls.h"
#include "bitmaps.h"
#include "libstate.h"

namespace {

enum { LOOK_FLAT = 0, LOOK_RAISED = 1, LOOK_PRESSED = 2, LOOK_DISABLED = 3 };

ATOM RegisterControlClass(HINSTANCE instance, LPCSTR name, WNDPROC proc, int windowBytes, HBRUSH brush) {
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.cbClsExtra = 10;
    wc.cbWndExtra = windowBytes;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = brush;
    wc.lpszClassName = name;
    return RegisterClassA(&wc);
}

// The state block is locked for the duration of one handler.
struct LockedState {
    HGLOBAL block;
    BMPButtonState *state;
    explicit LockedState(HWND hwnd) : block((HGLOBAL)GetWindowLongPtrA(hwnd, 0)) {
        state = block ? (BMPButtonState *)GlobalLock(block) : NULL;
    }
    ~LockedState() {
        if (state) GlobalUnlock(block);
    }
};

void Invalidate(HWND hwnd) { InvalidateRect(hwnd, NULL, FALSE); }

bool IsOver(HWND hwnd, LPARAM lParam) {
    POINT pt = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
    ClientToScreen(hwnd, &pt);
    return WindowFromPoint(pt) == hwnd;
}

// The parent may destroy the button while it handles this.
void SendClick(HWND hwnd) {
    SendMessageA(GetParent(hwnd), WM_COMMAND, (WPARAM)(WORD)(UINT_PTR)GetMenu(hwnd), 0);
}

LRESULT OnButtonCreate(HWND hwnd) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BMPButtonState));
    SetWindowLongPtrA(hwnd, 0, (LONG_PTR)block);
    return 1;
}

LRESULT OnButtonDestroy(HWND hwnd) {
    HGLOBAL block = (HGLOBAL)GetWindowLongPtrA(hwnd, 0);
    if (!block) return 0;
    BMPButtonState *s = (BMPButtonState *)GlobalLock(block);
    if (s) {
        if (s->normalImage) DeleteObject(s->normalImage);
        if (s->disabledImage) DeleteObject(s->disabledImage);
        GlobalUnlock(block);
    }
    GlobalFree(block);
    SetWindowLongPtrA(hwnd, 0, 0);
    return 0;
}

LRESULT OnButtonFocus(HWND hwnd, bool gained) {
    LockedState l(hwnd);
    if (!l.state) return 0;
    l.state->hasFocus = gained;
    l.state->visualState = gained ? LOOK_RAISED : LOOK_FLAT;
    Invalidate(hwnd);
    return 0;
}

LRESULT OnButtonEnable(HWND hwnd, WPARAM enable) {
    LockedState l(hwnd);
    if (!l.state) return 0;
    if (!enable) {
        l.state->visualState = LOOK_DISABLED;
        if (GetCapture() == hwnd) ReleaseCapture();
    } else if (l.state->visualState == LOOK_DISABLED) {
        l.state->visualState = LOOK_FLAT;
    }
    Invalidate(hwnd);
    return 0;
}

LRESULT OnButtonPaint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    LockedState l(hwnd);
    if (l.state) PaintBMPButton(hwnd, dc, l.state);
    EndPaint(hwnd, &ps);
    return 0;
}

LRESULT OnButtonKey(HWND hwnd, WPARAM key, bool down) {
    if (key != VK_SPACE && key != VK_RETURN) return 0;
    {
        LockedState l(hwnd);
        if (!l.state) return 0;
        if (l.state->visualState == LOOK_DISABLED) return 1;
        l.state->visualState = down ? LOOK_PRESSED : LOOK_RAISED;
    }
    if (!down) {
        SendClick(hwnd);
        if (!IsWindow(hwnd)) return 0;
    }
    Invalidate(hwnd);
    return 0;
}

LRESULT OnButtonMouseMove(HWND hwnd, LPARAM lParam) {
    LockedState l(hwnd);
    if (!l.state) return 0;
    if (l.state->visualState == LOOK_DISABLED) {
        ReleaseCapture();
        return 1;
    }
    LONG before = l.state->visualState;
    if (IsOver(hwnd, lParam)) {
        l.state->visualState = l.state->mouseHeld ? LOOK_PRESSED : LOOK_RAISED;
        SetCapture(hwnd);  // to see the pointer leave
    } else if (l.state->mouseHeld) {
        l.state->visualState = LOOK_RAISED;
    } else {
        l.state->visualState = LOOK_FLAT;
        ReleaseCapture();
    }
    if (l.state->visualState != before) Invalidate(hwnd);
    return 0;
}

LRESULT OnButtonDown(HWND hwnd) {
    LockedState l(hwnd);
    if (!l.state) return 0;
    if (l.state->visualState == LOOK_DISABLED) return 1;
    l.state->mouseHeld = 1;
    l.state->visualState = LOOK_PRESSED;
    SetCapture(hwnd);
    Invalidate(hwnd);
    return 0;
}

LRESULT OnButtonUp(HWND hwnd, LPARAM lParam) {
    bool over;
    {
        LockedState l(hwnd);
        if (!l.state) return 0;
        if (l.state->visualState == LOOK_DISABLED) return 1;
        l.state->mouseHeld = 0;
        over = IsOver(hwnd, lParam);
        l.state->visualState = over ? LOOK_RAISED : LOOK_FLAT;
    }
    if (!over) {
        ReleaseCapture();
        Invalidate(hwnd);
        return 0;
    }
    SendClick(hwnd);
    if (!IsWindow(hwnd)) return 0;  // the parent destroyed the button: touch nothing more
    POINT pt;
    GetCursorPos(&pt);
    if (WindowFromPoint(pt) != hwnd) {
        LockedState l(hwnd);
        if (l.state) l.state->visualState = LOOK_FLAT;
        ReleaseCapture();
    }
    Invalidate(hwnd);
    return 0;
}

// A second setting replaces the images, deleting the earlier two.
LRESULT OnSetImages(HWND hwnd, const BMPButtonImageSource *source) {
    LockedState l(hwnd);
    if (!l.state || !source) return 0;
    LPCSTR id = MAKEINTRESOURCEA(LOWORD(source->bitmap));
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    if (l.state->normalImage) DeleteObject(l.state->normalImage);
    if (l.state->disabledImage) DeleteObject(l.state->disabledImage);
    l.state->normalImage = LoadKeyedBitmap(source->instance, id, face);
    HBITMAP copy = LoadKeyedBitmap(source->instance, id, face);
    l.state->disabledImage = copy ? EmbossBitmap(copy) : NULL;
    if (copy) DeleteObject(copy);
    return 0;
}

LRESULT OnPanelPaint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    Draw3DFrame(dc, r.left, r.top, r.right, r.bottom, FRAME_SUNKEN);
    EndPaint(hwnd, &ps);
    return 0;
}

}  // namespace

HBRUSH ButtonBrushForVersion(DWORD version) {
    WORD word = VersionWord(version);
    return (HBRUSH)(INT_PTR)(word < 0x035F ? COLOR_WINDOW + 1 : COLOR_BTNFACE + 1);
}

ATOM RegisterBMPButtonClass(HINSTANCE instance) {
    return RegisterControlClass(instance, "QVBMPButton", BMPButtonWndProc, 10, ButtonBrushForVersion(GetVersion()));
}

ATOM RegisterDipsWindowClass(HINSTANCE instance) {
    return RegisterControlClass(instance, "DipsWindow", DipsWindowProc, 14, (HBRUSH)(COLOR_BTNFACE + 1));
}

void Draw3DFrame(HDC dc, int left, int top, int right, int bottom, int style) {
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    HPEN face = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE));
    HPEN shadow = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    HPEN first = NULL, second = NULL;
    if (style == FRAME_FLAT) first = second = face;
    if (style == FRAME_SUNKEN) first = shadow, second = light;
    if (style == FRAME_RAISED) first = light, second = shadow;
    if (first) {
        SelectObject(dc, first);
        MoveToEx(dc, left, bottom, NULL);
        LineTo(dc, left, top);
        LineTo(dc, right, top);
        SelectObject(dc, second);
        MoveToEx(dc, right - 1, top, NULL);
        LineTo(dc, right - 1, bottom - 1);
        LineTo(dc, left, bottom - 1);
    }
    SelectObject(dc, oldPen);
    DeleteObject(light);
    DeleteObject(face);
    DeleteObject(shadow);
}

void StretchBitmap(HDC dc, int left, int top, int right, int bottom, HBITMAP bitmap) {
    HDC mem = CreateCompatibleDC(dc);
    if (!mem) return;
    HGDIOBJ old = bitmap ? SelectObject(mem, bitmap) : NULL;
    if (!old) {
        DeleteDC(mem);
        return;
    }
    BITMAP bm;
    GetObjectA(bitmap, sizeof(bm), &bm);
    StretchBlt(dc, left, top, right - left, bottom - top, mem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
}

void PaintBMPButton(HWND button, HDC dc, const BMPButtonState *s) {
    RECT r, r1;
    GetClientRect(button, &r);
    r1 = r;
    r1.left++;
    r1.top++;
    RECT *focusRect = &r;
    switch (s->visualState) {
    case LOOK_FLAT:
    case LOOK_RAISED:
        StretchBitmap(dc, r.left, r.top, r.right, r.bottom, s->normalImage);
        if (s->visualState == LOOK_RAISED || s->hasFocus) Draw3DFrame(dc, r.left, r.top, r.right, r.bottom, FRAME_RAISED);
        break;
    case LOOK_PRESSED:
        Draw3DFrame(dc, r.left, r.top, r.right, r.bottom, FRAME_FLAT);
        StretchBitmap(dc, r1.left, r1.top, r1.right, r1.bottom, s->normalImage);
        Draw3DFrame(dc, r1.left, r1.top, r1.right, r1.bottom, FRAME_SUNKEN);
        focusRect = &r1;
        break;
    case LOOK_DISABLED:
        StretchBitmap(dc, r.left, r.top, r.right, r.bottom, s->disabledImage);
        break;
    }
    if (s->hasFocus) {
        InflateRect(focusRect, -2, -2);
        DrawFocusRect(dc, focusRect);
    }
}

LRESULT CALLBACK BMPButtonWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnButtonCreate(hwnd);
    case WM_SETFOCUS:
        return OnButtonFocus(hwnd, true);
    case WM_KILLFOCUS:
        return OnButtonFocus(hwnd, false);
    case WM_ENABLE:
    case BMPBTN_ENABLE:
        return OnButtonEnable(hwnd, wParam);
    case WM_PAINT:
        return OnButtonPaint(hwnd);
    case WM_ERASEBKGND:
        return 0;
    case WM_NCDESTROY:
        return OnButtonDestroy(hwnd);
    case WM_KEYDOWN:
        return OnButtonKey(hwnd, wParam, true);
    case WM_KEYUP:
        return OnButtonKey(hwnd, wParam, false);
    case WM_MOUSEMOVE:
        return OnButtonMouseMove(hwnd, lParam);
    case WM_LBUTTONDOWN:
        return OnButtonDown(hwnd);
    case WM_LBUTTONUP:
        return OnButtonUp(hwnd, lParam);
    case BMPBTN_SETIMAGES:
        return OnSetImages(hwnd, (const BMPButtonImageSource *)lParam);
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK DipsWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return 1;
    case WM_PAINT:
        return OnPanelPaint(hwnd);
    case WM_ERASEBKGND:
    case WM_NCDESTROY:
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
