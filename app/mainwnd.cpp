// The hidden main window: owner of the tray icon, target of the watchers'
// reports and of the tray menu's commands.
#include "app.h"
#include "../res/resource.h"
#include "rasapi.h"
#include "../dial/dial.h"
#include "../settings/settings.h"

namespace {

// What the tray shows, so that a restarted shell gets the same icon back.
enum TrayState { TRAY_STARTING, TRAY_IDLE, TRAY_ONLINE };
TrayState g_trayState = TRAY_STARTING;
UINT g_taskbarCreated;

const char kTipOnline[] = "Connections Active";
const char kTipIdle[] = "No Active Connections";

LRESULT OnCreate(HWND hwnd) {
    g_trayState = TRAY_STARTING;
    g_taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    SetTrayIcon(hwnd, NIM_ADD, LoadAppIcon(IDI_IDLE), "");
    // Posted: the message loop is not running yet.
    PostMessageA(hwnd, AnyConnectionUp(hwnd) ? MSG_CONNECTED : MSG_DISCONNECTED, 0, 0);
    // Only read for its side effect: it creates the sound scheme key when missing.
    char sound[256];
    GetRegistryString("AppEvents\\Schemes\\Apps\\.Default\\MailBeep\\.Current", "", "None", sound, 255);
    StartConnectionWatchers(hwnd);
    return 0;
}

LRESULT OnClose(HWND hwnd) {
    SetTrayIcon(hwnd, NIM_DELETE, NULL, NULL);
    DestroyWindow(hwnd);
    return 0;
}

LRESULT OnConnected(HWND hwnd) {
    g_trayState = TRAY_ONLINE;
    SetTrayIcon(hwnd, NIM_MODIFY, LoadAppIcon(IDI_ONLINE), kTipOnline);
    StartOnlineMonitor(hwnd);  // a no-op while a run is in progress
    return 0;
}

LRESULT OnDisconnected(HWND hwnd) {
    g_trayState = TRAY_IDLE;
    SetTrayIcon(hwnd, NIM_MODIFY, LoadAppIcon(IDI_IDLE), kTipIdle);
    return 0;
}

LRESULT OnHangUpAll(HWND hwnd) {
    HangUpAllConnections(hwnd);
    return 0;
}

// The shell lost every icon when Explorer restarted.
LRESULT OnTaskbarCreated(HWND hwnd) {
    if (g_trayState == TRAY_ONLINE)
        SetTrayIcon(hwnd, NIM_ADD, LoadAppIcon(IDI_ONLINE), kTipOnline);
    else
        SetTrayIcon(hwnd, NIM_ADD, LoadAppIcon(IDI_IDLE), g_trayState == TRAY_IDLE ? kTipIdle : "");
    return 0;
}

void ShowTrayMenu(HWND hwnd) {
    SetForegroundWindow(hwnd);
    HMENU menu = LoadMenuA(g_hInstance, MAKEINTRESOURCEA(IDM_TRAYMENU));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    BuildDialSubmenu(hwnd, popup);  // owned by the menu from here on
    EnableMenuItem(popup, IDM_HANGUP, MF_BYCOMMAND | (AnyConnectionUp(hwnd) ? MF_ENABLED : MF_GRAYED | MF_DISABLED));
    SetMenuDefaultItem(popup, IDM_PROPERTIES, FALSE);
    POINT pt;
    GetCursorPos(&pt);
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, pt.x, pt.y, 0, hwnd, NULL);
    // Lets the menu close when the user clicks elsewhere (the shell's tray quirk).
    PostMessageA(hwnd, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

LRESULT OnTrayCallback(HWND hwnd, LPARAM mouseMsg) {
    switch (mouseMsg) {
    case WM_LBUTTONDBLCLK:
        OpenProperties();
        return 0;
    case WM_RBUTTONDOWN:
        ShowTrayMenu(hwnd);
        return 1;
    default:
        return 1;
    }
}

LRESULT OnCommand(HWND hwnd, WORD id) {
    if (id >= IDM_DIAL_FIRST && id <= IDM_DIAL_LAST) {
        DialMenuEntry(hwnd, id);
        return 0;
    }
    switch (id) {
    case IDM_EXIT:
        SendMessageA(hwnd, WM_CLOSE, 0, 0);
        break;
    case IDM_HANGUP:
        SendMessageA(hwnd, MSG_HANGUP_ALL, 0, 0);
        break;
    case IDM_PROPERTIES:
        OpenProperties();
        break;
    case IDM_ABOUT:
        OpenAbout();
        break;
    }
    return 0;
}

LRESULT OnRasDialEvent(HWND hwnd) {
    MessageBoxA(hwnd, "RASDIALEVENT Recieved", APP_CAPTION, MB_OK);
    return 0;
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate(hwnd);
    case WM_CLOSE:
        return OnClose(hwnd);
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_COMMAND:
        return OnCommand(hwnd, LOWORD(wParam));
    case MSG_TRAY_CALLBACK:
        return OnTrayCallback(hwnd, lParam);
    case MSG_CONNECTED:
        return OnConnected(hwnd);
    case MSG_DISCONNECTED:
        return OnDisconnected(hwnd);
    case MSG_HANGUP_ALL:
        return OnHangUpAll(hwnd);
    case WM_RASDIALEVENT:
        return OnRasDialEvent(hwnd);
    case WM_SIZE:
    case WM_KEYDOWN:
    case WM_VSCROLL:
        return 0;
    }
    if (msg == g_taskbarCreated && g_taskbarCreated) return OnTaskbarCreated(hwnd);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
