#include "app.h"

ShellNotifyIconFn g_pfnShellNotifyIcon = Shell_NotifyIconA;

HICON LoadAppIcon(int id) {
    return (HICON)LoadImageA(g_hInstance, MAKEINTRESOURCEA(id), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR);
}

// The icon is handed over: the shell keeps its own copy, so it is destroyed
// here whatever the shell answered.
BOOL SetTrayIcon(HWND hwnd, DWORD op, HICON icon, LPCSTR tip) {
    NOTIFYICONDATAA nid;
    ZeroMemory(&nid, sizeof(nid));
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;  // 88 bytes: understood by every shell since Windows 95
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
