// Drives the real Wendle.exe from outside for scripts/screenshots.sh, as the
// shell and a user would, and tells where its windows are.
//   shot_driver wait CLASS [TITLE]    waits for a visible window; prints "x y w h"
//   shot_driver gone CLASS [TITLE]    waits until no such window is visible
//   shot_driver text CLASS ID         waits until control ID of that window has text
//   shot_driver tray rdown|dblclk     the shell's report of a click on the tray icon
//   shot_driver command ID            a menu command to the main window
//   shot_driver menukey VK|'c'        a key to the open popup menu
//   shot_driver cursor X Y            moves the mouse
//   shot_driver ready                 waits for Wendle's (hidden) main window
//   shot_driver help TITLE ID         F1 on control ID of the dialog titled TITLE
//   shot_driver freeze TITLE ID TEXT  once control ID of that dialog shows TEXT,
//                                     holds the dialog's thread still (a marquee
//                                     caught whole); "thaw TITLE" lets it go on
// Exit code 1 when a wait runs out (10 s).
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

struct Find {
    const char *cls, *title;
    HWND found;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM param) {
    Find *f = (Find *)param;
    char cls[64], title[256];
    GetClassNameA(hwnd, cls, sizeof(cls));
    GetWindowTextA(hwnd, title, sizeof(title));
    if (IsWindowVisible(hwnd) && lstrcmpiA(cls, f->cls) == 0 && (!f->title || strstr(title, f->title))) {
        f->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindVisible(const char *cls, const char *title) {
    Find f = {cls, title, NULL};
    EnumWindows(Visit, (LPARAM)&f);
    return f.found;
}

template <typename Cond>
bool WaitFor(Cond cond) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(50))
        if (cond()) return true;
    return false;
}

HWND MainWindow() { return FindWindowA("ZKRASNotification", NULL); }

HANDLE ThreadOf(HWND hwnd) {
    DWORD id = hwnd ? GetWindowThreadProcessId(hwnd, NULL) : 0;
    return id ? OpenThread(THREAD_SUSPEND_RESUME, FALSE, id) : NULL;
}

// The control's text as the window manager holds it: asking the thread
// (WM_GETTEXT) would wait for ever once it is held still.
bool Shows(HWND control, const char *text) {
    char shown[256] = "";
    WCHAR wide[256] = L"";
    InternalGetWindowText(control, wide, 256);
    WideCharToMultiByte(CP_ACP, 0, wide, -1, shown, sizeof(shown), NULL, NULL);
    return strcmp(shown, text) == 0;
}

// Waits for the text, makes sure it is painted, holds the thread, and checks
// that no tick slipped in between; tries again at the next round otherwise.
int Freeze(HWND dlg, int id, const char *text) {
    HWND control = GetDlgItem(dlg, id);
    HANDLE thread = ThreadOf(dlg);
    if (!control || !thread) return 1;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(5)) {
        if (!Shows(control, text)) continue;
        RedrawWindow(control, NULL, NULL, RDW_UPDATENOW);
        SuspendThread(thread);
        if (Shows(control, text)) {
            CloseHandle(thread);
            return 0;
        }
        ResumeThread(thread);
    }
    CloseHandle(thread);
    return 1;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) return 2;
    const char *cmd = argv[1], *a = argc > 2 ? argv[2] : NULL, *b = argc > 3 ? argv[3] : NULL;
    if (!strcmp(cmd, "wait") && a) {
        HWND w = NULL;
        if (!WaitFor([&] { return (w = FindVisible(a, b)) != NULL; })) return 1;
        RECT r;
        GetWindowRect(w, &r);
        printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        return 0;
    }
    if (!strcmp(cmd, "gone") && a) return WaitFor([&] { return FindVisible(a, b) == NULL; }) ? 0 : 1;
    if (!strcmp(cmd, "text") && a && b) {
        return WaitFor([&] {
            char text[256] = "";
            HWND w = FindVisible(a, NULL);
            if (w) GetDlgItemTextA(w, atoi(b), text, sizeof(text));
            return text[0] != 0;
        }) ? 0 : 1;
    }
    if (!strcmp(cmd, "tray") && a) {
        HWND main = NULL;
        if (!WaitFor([&] { return (main = MainWindow()) != NULL; })) return 1;
        PostMessageA(main, WM_APP + 100, 32869, !strcmp(a, "rdown") ? WM_RBUTTONDOWN : WM_LBUTTONDBLCLK);
        return 0;
    }
    if (!strcmp(cmd, "command") && a) return PostMessageA(MainWindow(), WM_COMMAND, atoi(a), 0) ? 0 : 1;
    if (!strcmp(cmd, "menukey") && a) {
        HWND menu = NULL;
        if (!WaitFor([&] { return (menu = FindVisible("#32768", NULL)) != NULL; })) return 1;
        if (a[0] == '\'') return PostMessageA(menu, WM_CHAR, a[1], 0) ? 0 : 1;
        return PostMessageA(menu, WM_KEYDOWN, atoi(a), 0) ? 0 : 1;
    }
    if (!strcmp(cmd, "help") && a && b) {  // F1 on control b of the dialog titled a
        HWND dlg = NULL;
        if (!WaitFor([&] { return (dlg = FindVisible("#32770", a)) != NULL; })) return 1;
        return PostMessageA(GetDlgItem(dlg, atoi(b)), 0x004D /* WM_KEYF1 */, 0, 0) ? 0 : 1;
    }
    if (!strcmp(cmd, "freeze") && a && b && argc > 4) {
        HWND dlg = NULL;
        if (!WaitFor([&] { return (dlg = FindVisible("#32770", a)) != NULL; })) return 1;
        return Freeze(dlg, atoi(b), argv[4]);
    }
    if (!strcmp(cmd, "thaw") && a) {
        HANDLE thread = ThreadOf(FindVisible("#32770", a));
        if (!thread) return 1;
        ResumeThread(thread);
        CloseHandle(thread);
        return 0;
    }
    if (!strcmp(cmd, "ready")) return WaitFor([] { return MainWindow() != NULL; }) ? 0 : 1;
    if (!strcmp(cmd, "cursor") && a && b) return SetCursorPos(atoi(a), atoi(b)) ? 0 : 1;
    return 2;
}
