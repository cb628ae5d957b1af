// The tray application's shared state and entry points.
#ifndef WENDLE_APP_H
#define WENDLE_APP_H

#include <windows.h>
#include <shellapi.h>

#include "../platform/links.h"
#include "../platform/platform.h"
#include "../platform/rasapi.h"
#include "../uilib/libstate.h"

#define MSG_TRAY_CALLBACK (WM_APP + 100)  // 32868
#define MSG_CONNECTED     (WM_APP + 101)  // 32869
#define MSG_DISCONNECTED  (WM_APP + 102)  // 32870
#define MSG_HANGUP_ALL    (WM_APP + 103)  // 32871
#define TRAY_ICON_ID      32869

#define MAIN_CLASS_NAME "ZKRASNotification"

// Start-up up to the message loop: registers the classes, creates the hidden
// main window and loads the settings. Returns the main window, or NULL.
HWND StartWendle(HINSTANCE instance);
int RunMessageLoop(void);
LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Whether the main window last showed the online state; read by the
// polling watchers (one aligned word).
BOOL TrayShowsOnline(void);
// How long after a report the main window looks at the line again (twice
// as long each time while RAS does not answer); a seam for the tests.
extern UINT g_traySettleMs;

// Tray icon.
typedef BOOL (WINAPI *ShellNotifyIconFn)(DWORD op, PNOTIFYICONDATAA data);
extern ShellNotifyIconFn g_pfnShellNotifyIcon;  // the shell call, found at first use; tests observe it here
HICON LoadAppIcon(int id);
BOOL SetTrayIcon(HWND hwnd, DWORD op, HICON icon, LPCSTR tip);

// Connection watchers: started with the main window, stopped as it goes.
void StartConnectionWatchers(HWND main);
void StopConnectionWatchers(void);
// How often the watchers look at the line themselves (the polling of the
// Windows 95 family, the looks between RAS's signals on NT); a seam for the
// tests, where real time would make them slow.
extern DWORD g_watcherLookMs;
// The one way the program waits longer each time RAS does not answer: twice
// as long as last time, up to 32 s.
DWORD BackOff(DWORD ms);

// Online monitor and its prompts.
extern LONG monitorRunning;
// Set by the monitor after each frame it shows, cleared by the main window
// when it shows the idle icon: whether a frame may stand over that icon.
extern LONG g_monitorDrewFrame;
extern UINT_PTR askTimer;
extern UINT_PTR remindTimer;
DWORD WINAPI OnlineMonitor(LPVOID main);
void StartOnlineMonitor(HWND main);
// Seams for tests, where real time would make them slow: the monitor's
// clock (milliseconds, as GetTickCount counts them, wrapping), its pause
// between passes, the prompts' time-out.
typedef DWORD (*MonitorTicksFn)(void);
extern MonitorTicksFn g_pfnMonitorTicks;
extern DWORD g_monitorPauseMs;
extern UINT g_promptTimeoutMs;

// The About box, opened modally without an owner.
void OpenAbout(void);

// Connection queries.
enum LineState { LINE_DOWN = 0, LINE_UP = 1, LINE_UNKNOWN = -1 };  // unknown: RAS did not answer
LineState QueryLine(void);
BOOL AnyConnectionUp(HWND hwnd);
// A link as a prompt knew it: RAS may give its handle to a later link.
struct LinkId {
    HRASCONN conn;
    char entry[RAS_MaxEntryName + 1];
};
// The connected links now, at most max of them: how many, or -1 when RAS did
// not answer.
int ConnectedLinks(LinkId *links, int max);
// Whether any of these links is still connected (links that came up since
// do not count); links NULL: any link at all, as QueryLine.
LineState AnyLinkStillUp(const LinkId *links, int count);
int HangUpAllConnections(HWND owner);

#endif
