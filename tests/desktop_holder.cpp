// Keeps the tests' Wine virtual desktop alive for the whole run. Started by
// scripts/test.sh with no pipes attached; otherwise each test would start
// the desktop afresh, and the desktop process would hold the test's output
// pipe open after the test has finished.
//
// A fresh desktop is slow to show its first windows (seconds, more on a busy
// machine), which would fall on whichever test runs first. One window shown
// and closed here pays for that; then the file named on the command line
// tells the script that the desktop is ready.
#include <windows.h>

int main(int argc, char **argv) {
    HWND w = CreateWindowA("STATIC", "warm-up", WS_POPUP | WS_CAPTION | WS_VISIBLE, 10, 10, 120, 60, NULL, NULL,
                           GetModuleHandleA(NULL), NULL);
    MSG msg;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 200;) {
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(10);
    }
    if (w) DestroyWindow(w);
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (argc > 1) {
        HANDLE f = CreateFileA(argv[1], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    }
    Sleep(INFINITE);
    return 0;
}
