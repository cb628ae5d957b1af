#include "app.h"

// The tray, LoadImage and default menu items came with the Windows 95 shell:
// Windows NT 3.51 has none of them, so they are found by name.

namespace {

typedef HANDLE(WINAPI *LoadImageFn)(HINSTANCE, LPCSTR, UINT, int, int, UINT);

LoadImageFn g_pfnLoadImage;  // found once: the monitor loads a frame every second

BOOL WINAPI NoShell(DWORD, PNOTIFYICONDATAA) { return FALSE; }

}  // namespace

ShellNotifyIconFn g_pfnShellNotifyIcon;

HICON LoadAppIcon(int id) {
    if (!g_pfnLoadImage) g_pfnLoadImage = (LoadImageFn)(void *)SystemFunction("USER32.DLL", "LoadImageA");
    if (!g_pfnLoadImage) return LoadIconA(g_hInstance, MAKEINTRESOURCEA(id));  // 32 by 32 there anyway
    return (HICON)g_pfnLoadImage(g_hInstance, MAKEINTRESOURCEA(id), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR);
}

// The icon is handed over: the shell keeps its own copy, so it is destroyed
// here whatever the shell answered.
BOOL SetTrayIcon(HWND hwnd, DWORD op, HICON icon, LPCSTR tip) {
    if (!g_pfnShellNotifyIcon) {
        g_pfnShellNotifyIcon = (ShellNotifyIconFn)(void *)SystemFunction("SHELL32.DLL", "Shell_NotifyIconA");
        if (!g_pfnShellNotifyIcon) g_pfnShellNotifyIcon = NoShell;
    }
    NOTIFYICONDATAA nid;
    ZeroMemory(&nid, sizeof(nid));
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;  // 88 bytes (104 on x64): understood by every shell since Windows 95
    nid.hWnd = hwnd;
    nid.uID = TRAY_ICON_ID;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = MSG_TRAY_CALLBACK;
    nid.hIcon = icon;
    if (tip) lstrcpynA(nid.szTip, tip, 64);
    BOOL result = g_pfnShellNotifyIcon(op, &nid);
    if (icon) DestroyIcon(icon);
    return result;
}
