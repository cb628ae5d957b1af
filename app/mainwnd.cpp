// The hidden main window: owner of the tray icon, target of the watchers'
// reports and of the tray menu's commands.
#include "app.h"
#include "../res/resource.h"
#include "../dial/dial.h"
#include "../settings/settings.h"

namespace {

// What the tray shows, so that a restarted shell gets the same icon back.
enum TrayState { TRAY_STARTING, TRAY_IDLE, TRAY_ONLINE };
volatile TrayState g_trayState = TRAY_STARTING;
UINT g_taskbarCreated;

const char kTipOnline[] = "Connections Active";
const char kTipIdle[] = "No Active Connections";

// The two watchers are separate threads, so their reports can arrive out of
// order; after every report the main window looks at the line once more.
// While RAS does not answer it looks again, less and less often (its service
// may be down for good), and at the first pace again once RAS answers or a
// watcher reports.
UINT g_settleRetryMs;

void LookAgainSoon(HWND hwnd) {
    g_settleRetryMs = g_traySettleMs;
    SetTimer(hwnd, IDT_TRAY_SETTLE, g_traySettleMs, NULL);
}

LRESULT OnCreate(HWND hwnd) {
    g_trayState = TRAY_STARTING;
    g_taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    SetTrayIcon(hwnd, NIM_ADD, LoadAppIcon(IDI_IDLE), "");
    // Posted: the message loop is not running yet.
    PostMessageA(hwnd, AnyConnectionUp(hwnd) ? MSG_CONNECTED : MSG_DISCONNECTED, 0, 0);
    // Only read for its side effect: it creates the sound scheme key when missing.
    char sound[256];
    GetRegistryString("AppEvents\\Schemes\\Apps\\.Default\\MailBeep\\.Current", "", "None", sound, 255);
    AllowDialing();
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
    LookAgainSoon(hwnd);
    return 0;
}

// Both watchers and the end of a monitor run report a drop, so the same
// report may come twice: the icon is set again only when the tray does not
// already show it, or a monitor frame may have been drawn over it.
LRESULT OnDisconnected(HWND hwnd) {
    BOOL frameOver = InterlockedExchange(&g_monitorDrewFrame, 0) != 0;
    if (g_trayState == TRAY_IDLE && !frameOver) return 0;
    g_trayState = TRAY_IDLE;
    SetTrayIcon(hwnd, NIM_MODIFY, LoadAppIcon(IDI_IDLE), kTipIdle);
    LookAgainSoon(hwnd);
    return 0;
}

// The second look: what RAS says now decides. While RAS does not answer,
// look again later rather than guess.
LRESULT OnSettleTimer(HWND hwnd) {
    KillTimer(hwnd, IDT_TRAY_SETTLE);
    switch (QueryLine()) {
    case LINE_UP:
        if (g_trayState != TRAY_ONLINE) OnConnected(hwnd);
        break;
    case LINE_DOWN:
        OnDisconnected(hwnd);
        break;
    case LINE_UNKNOWN:
        SetTimer(hwnd, IDT_TRAY_SETTLE, g_settleRetryMs, NULL);
        g_settleRetryMs = BackOff(g_settleRetryMs);
        break;
    }
    return 0;
}

// However the program ends, a dial still in progress is hung up: its port
// would stay held, and Hang Up only sees connected links. RAS then needs a
// moment to let go of every link the program hung up, by whatever road;
// all of them share one wait. At log-off and shutdown Windows ends a
// program without a visible window that takes 5 s to answer, so the wait
// is shorter there.
const DWORD kExitWaitMs = 5000;
const DWORD kEndSessionWaitMs = 4000;

// One deadline, taken when the end starts.
void LetGoBeforeTheEnd(DWORD waitMs) {
    DWORD start = GetTickCount();
    EndDialing();
    DWORD spent = GetTickCount() - start;
    WaitForLinksGone(spent < waitMs ? waitMs - spent : 0);
}

LRESULT OnDestroy(void) {
    StopConnectionWatchers();
    LetGoBeforeTheEnd(kExitWaitMs);
    PostQuitMessage(0);
    return 0;
}

LRESULT OnEndSession(BOOL ending) {
    if (ending) LetGoBeforeTheEnd(kEndSessionWaitMs);
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
    typedef BOOL(WINAPI * SetDefaultFn)(HMENU, UINT, UINT);
    SetDefaultFn setDefault = (SetDefaultFn)(void *)SystemFunction("USER32.DLL", "SetMenuDefaultItem");
    if (setDefault) setDefault(popup, IDM_PROPERTIES, FALSE);
    POINT pt;
    GetCursorPos(&pt);
    UINT chosen = TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_RETURNCMD, pt.x, pt.y, 0, hwnd, NULL);
    NoteDialChoice(popup, chosen);  // the name on the item, while the menu still holds it
    // Lets the menu close when the user clicks elsewhere (the shell's tray quirk).
    PostMessageA(hwnd, WM_NULL, 0, 0);
    DestroyMenu(menu);
    if (chosen) PostMessageA(hwnd, WM_COMMAND, chosen, 0);
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

UINT g_traySettleMs = 500;

BOOL TrayShowsOnline(void) { return g_trayState == TRAY_ONLINE; }

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate(hwnd);
    case WM_CLOSE:
        return OnClose(hwnd);
    case WM_DESTROY:
        return OnDestroy();
    case WM_ENDSESSION:
        return OnEndSession((BOOL)wParam);
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
    case WM_TIMER:
        return wParam == IDT_TRAY_SETTLE ? OnSettleTimer(hwnd) : 0;
    case WM_SIZE:
    case WM_KEYDOWN:
    case WM_VSCROLL:
        return 0;
    }
    if (msg == g_taskbarCreated && g_taskbarCreated) return OnTaskbarCreated(hwnd);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
