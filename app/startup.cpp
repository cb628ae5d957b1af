#include "app.h"
#include "../settings/settings.h"
#include "../uilib/controls.h"

HWND StartWendle(HINSTANCE instance) {
    g_hInstance = instance;

    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    wc.lpszClassName = MAIN_CLASS_NAME;
    if (!RegisterClassA(&wc)) return NULL;
    RegisterBMPButtonClass(instance);
    RegisterDipsWindowClass(instance);

    // Never shown: it exists to own the tray icon and receive messages.
    HWND hwnd = CreateWindowExA(0, MAIN_CLASS_NAME, MAIN_CLASS_NAME, 0x06CF0188, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, instance, NULL);
    if (!hwnd) return NULL;
    LoadSettings();
    return hwnd;
}

int RunMessageLoop(void) {
    MSG msg;
    msg.wParam = 0;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}
