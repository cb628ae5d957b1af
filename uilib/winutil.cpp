// Message, status, debug, clipboard and window-geometry helpers.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include "libstate.h"
#include "uilib.h"

LONG libraryReportErrors = 0;
HINSTANCE g_hInstance;

FARPROC SystemFunction(LPCSTR module, LPCSTR name) {
    HMODULE m = GetModuleHandleA(module);
    if (!m) m = LoadLibraryA(module);  // kept for the run
    return m ? GetProcAddress(m, name) : NULL;
}

namespace {

// wvsprintfA writes at most 1024 characters, well inside this.
const int kTextSize = 4097;

// Formats into a locked, zero-filled moveable block; NULL when none is had.
char *FormatIntoBlock(HGLOBAL *block, LPCSTR format, va_list args) {
    *block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, kTextSize);
    char *text = (char *)GlobalLock(*block);
    if (!text) {
        if (*block) GlobalFree(*block);
        return NULL;
    }
    wvsprintfA(text, format, args);
    return text;
}

void ReleaseBlock(HGLOBAL block) {
    GlobalUnlock(block);
    GlobalFree(block);
}

}  // namespace

void __cdecl DisplayStatusMessage(HWND target, LPCSTR format, ...) {
    if (!format) return;
    char *text = (char *)malloc(kTextSize);
    if (!text) return;
    va_list args;
    va_start(args, format);
    wvsprintfA(text, format, args);
    va_end(args);
    SendMessageA(target, RegisterWindowMessageA("CorvelLibraryStatus"), 0, (LPARAM)text);
    free(text);
}

void __cdecl Comment(HWND owner, LPCSTR caption, LPCSTR format, ...) {
    if (!format) return;
    va_list args;
    va_start(args, format);
    HGLOBAL block;
    char *text = FormatIntoBlock(&block, format, args);
    va_end(args);
    if (!text) return;
    MessageBoxA(owner, text, caption, MB_OK | MB_ICONEXCLAMATION);
    ReleaseBlock(block);
}

// Formats like Comment and shows nothing: it silences a Comment call site.
void __cdecl DummyComment(LPCSTR format, ...) {
    if (!format) return;
    va_list args;
    va_start(args, format);
    HGLOBAL block;
    char *text = FormatIntoBlock(&block, format, args);
    va_end(args);
    if (text) ReleaseBlock(block);
}

void __cdecl DisplayDebugMessage(LPCSTR format, ...) {
    if (!format) return;
    char line[256];
    va_list args;
    va_start(args, format);
    // Bounded: a longer line is cut at 255 characters.
    _vsnprintf(line, sizeof(line) - 1, format, args);
    va_end(args);
    line[sizeof(line) - 1] = 0;
    OutputDebugStringA(line);
    MyDialogYield(1000);
}

int WINAPI CopyTextToClipboard(HWND owner, LPCSTR text) {
    if (!text || !OpenClipboard(owner)) return 0;
    int len = lstrlenA(text);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, len + 1);
    char *copy = (char *)GlobalLock(block);
    if (!copy) {
        if (block) GlobalFree(block);
        if (libraryReportErrors) Comment(owner, "CorvelUser", "Error Allocating Clipboard Buffer");
        CloseClipboard();
        return 0;
    }
    CopyMemory(copy, text, len + 1);
    GlobalUnlock(block);
    // The clipboard owns the block only once it has taken it.
    BOOL taken = SetClipboardData(CF_TEXT, block) != NULL;
    if (!taken) GlobalFree(block);
    CloseClipboard();
    return taken ? 1 : 0;
}

void WINAPI MyDialogYield(int count) {
    MSG msg;
    for (int i = 0; i < count; i++) {
        if (!PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

BOOL WINAPI InflateWnd(HWND hwnd, int dx, int dy) {
    RECT r;
    if (!GetWindowRect(hwnd, &r)) return FALSE;
    return SetWindowPos(hwnd, NULL, 0, 0, r.right - r.left + dx, r.bottom - r.top + dy,
                        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL WINAPI MoveWnd(HWND hwnd, int dx, int dy) {
    RECT r;
    if (!GetWindowRect(hwnd, &r)) return FALSE;
    POINT pt = {r.left, r.top};
    ScreenToClient(GetParent(hwnd), &pt);  // fails without a parent: screen position stays
    return SetWindowPos(hwnd, NULL, pt.x + dx, pt.y + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Centres on the whole desktop, not on the owner or the work area.
BOOL WINAPI winCenter(HWND hwnd) {
    HWND desktop = GetDesktopWindow();
    RECT r, d;
    if (!GetWindowRect(hwnd, &r)) return FALSE;
    int w = r.right - r.left, h = r.bottom - r.top;
    GetClientRect(desktop, &d);
    POINT centre = {(d.right - d.left) / 2, (d.bottom - d.top) / 2};
    ClientToScreen(desktop, &centre);
    return MoveWindow(hwnd, centre.x - w / 2, centre.y - h / 2, w, h, FALSE);
}
