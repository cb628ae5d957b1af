// Tell the main window when connections come up and go down: by polling on
// the Windows 95 family, whose RAS has no notifications, and on NT by RAS's
// connection notifications, with a look at the line every two seconds
// besides. Notifications are the fast path, not a promise: RAS may signal a
// connection as it is created, while it is still dialing, and RAS on Windows
// 11 has been seen to signal a registration once and never again.
#include "app.h"

namespace {

// Without the stop event, how often a watcher sees whether the window went.
const DWORD kCheckMs = 1000;
// While RAS does not answer, the looks come less and less often (its service
// may be down for good), and at the first pace again once it answers or
// signals. A refused registration is tried again the same way, first after
// half a look's time.
const DWORD kBackOffMaxMs = 32000;

struct NotificationKind {
    const char *eventName;
    DWORD rasKind;
    UINT message;
    BOOL looks;  // looks at the line between signals
};

// One of the two watchers looks: the look compares the line with what the
// tray shows, so it catches a missed change in either direction.
const NotificationKind kConnection = {"ZKRASNotifyEventOn", RASCN_Connection, MSG_CONNECTED, TRUE};
const NotificationKind kDisconnection = {"ZKRASNotifyEventOff", RASCN_Disconnection, MSG_DISCONNECTED, FALSE};

enum Registration { REG_HELD, REG_REFUSED, REG_UNAVAILABLE };

// Set when the main window goes, so that a watcher waiting for a signal
// that may never come ends at once; until then it needs no other wake-up.
HANDLE g_watchersStop;

// RasConnectionNotificationA is missing before NT 4, so it is found by name.
// RAS versions differ in the handle they take for "every connection": the
// reference documents INVALID_HANDLE_VALUE, older ones take a null handle.
// Where it cannot be had, one watcher says so (the one that does not look
// at the line, so that the looks go on while its box stands).
Registration RegisterRasNotification(HANDLE event, DWORD kind, BOOL warn) {
    HMODULE ras = LoadLibraryA("RASAPI32.DLL");
    if ((UINT_PTR)ras < 32) {
        if (warn) MessageBoxA(GetFocus(), "Error Loading RASAPI32.DLL", APP_CAPTION, MB_ICONWARNING);
        return REG_UNAVAILABLE;
    }
    PFN_RasConnectionNotificationA notify =
        (PFN_RasConnectionNotificationA)(void *)GetProcAddress(ras, "RasConnectionNotificationA");
    if (!notify) {
        if (warn)
            MessageBoxA(GetFocus(), "Error Finding Function - RasConnectionNotification", APP_CAPTION, MB_ICONWARNING);
        return REG_UNAVAILABLE;
    }
    DWORD result = notify(NULL, event, kind);
    if (result != 0) result = notify(INVALID_HANDLE_VALUE, event, kind);
    FreeLibrary(ras);
    return result == 0 ? REG_HELD : REG_REFUSED;
}

// A timed wait that still waits when there is no event to wait on.
BOOL WaitSignalled(HANDLE event, DWORD ms) {
    if (!event) {
        Sleep(ms);
        return FALSE;
    }
    return WaitForSingleObject(event, ms) == WAIT_OBJECT_0;
}

// One look at the line, reported when it differs from what the tray shows.
// The tray also changes on other reports (the end of a monitor run), and a
// line can drop and come back between two looks: compared with a belief of
// its own, the poll would miss that the tray went idle. A RAS that does not
// answer is no news: the line is not reported down for it.
LineState PollLine(HWND main) {
    LineState line = QueryLine();
    if (line == LINE_UNKNOWN) return line;
    BOOL up = line == LINE_UP;
    if (up != TrayShowsOnline()) SendMessageA(main, up ? MSG_CONNECTED : MSG_DISCONNECTED, 0, 0);
    return line;
}

DWORD WINAPI PollingWatcher(LPVOID param) {
    HWND main = (HWND)param;
    HANDLE pause = CreateEventA(NULL, TRUE, FALSE, NULL);
    while (IsWindow(main)) {
        WaitSignalled(pause, g_watcherLookMs);  // nothing signals it: a timed wait
        PollLine(main);
    }
    return 0;
}

// A signal says that something changed, not always what: RAS may signal a
// connection as its dial starts, and one link of two may go. The message
// goes unless the line says otherwise; while RAS does not answer, the
// signal is taken at its word.
void ReportSignal(HWND main, const NotificationKind *kind) {
    LineState line = QueryLine();
    if (line == (kind->message == MSG_CONNECTED ? LINE_DOWN : LINE_UP)) return;
    SendMessageA(main, kind->message, 0, 0);
}

enum Wake { WAKE_SIGNAL, WAKE_TIME, WAKE_STOP };

Wake WaitForWake(HANDLE event, DWORD ms) {
    HANDLE handles[2];
    DWORD n = 0;
    // Without the stop event only a look at the window tells that it went.
    if (g_watchersStop)
        handles[n++] = g_watchersStop;
    else if (ms > kCheckMs)
        ms = kCheckMs;
    if (event) handles[n++] = event;
    DWORD r = n ? WaitForMultipleObjects(n, handles, FALSE, ms) : WAIT_FAILED;
    if (r == WAIT_FAILED) Sleep(ms < kCheckMs ? ms : kCheckMs);
    if (r == WAIT_TIMEOUT || r == WAIT_FAILED) return WAKE_TIME;
    return g_watchersStop && r == WAIT_OBJECT_0 ? WAKE_STOP : WAKE_SIGNAL;
}

// Milliseconds until a period that started at `since` ends.
DWORD TimeLeft(DWORD since, DWORD period) {
    DWORD gone = GetTickCount() - since;
    return gone < period ? period - gone : 0;
}

// Registration can fail for a while (at log-on RAS answers 711 until its
// service is up), or for good (its service disabled): it is tried again,
// silently, less and less often. Without the notification function at all
// only the looks follow the line, as the polling does on the Windows 95
// family.
void WatchNotifications(HWND main, const NotificationKind *kind) {
    // The name may be taken by another kind of object, or by the event of a
    // second copy of Wendle: one auto-reset event wakes one waiter, so the
    // two copies would share out the signals between them. RAS signals any
    // event, so one of its own, unnamed, serves as well.
    HANDLE event = CreateEventA(NULL, FALSE, FALSE, kind->eventName);
    if (event && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(event);
        event = NULL;
    }
    if (!event) event = CreateEventA(NULL, FALSE, FALSE, NULL);
    Registration reg = REG_REFUSED;
    DWORD lastLook = GetTickCount(), lookMs = g_watcherLookMs;
    DWORD lastTry = 0, retryMs = 0;  // the first try at once
    while (IsWindow(main)) {
        if (reg == REG_REFUSED && TimeLeft(lastTry, retryMs) == 0) {
            reg = RegisterRasNotification(event, kind->rasKind, !kind->looks);
            lastTry = GetTickCount();
            retryMs = retryMs ? BackOff(retryMs) : (g_watcherLookMs + 1) / 2;
        }
        DWORD wait = kind->looks ? TimeLeft(lastLook, lookMs) : INFINITE;
        if (reg == REG_REFUSED && TimeLeft(lastTry, retryMs) < wait) wait = TimeLeft(lastTry, retryMs);
        Wake wake = WaitForWake(event, wait);
        if (wake == WAKE_STOP) break;
        if (wake == WAKE_SIGNAL) {
            ReportSignal(main, kind);
            lookMs = g_watcherLookMs;
        }
        // A signal is no look: RAS may signal a dial's start every second
        // while the line it contradicts waits for one.
        if (!kind->looks || TimeLeft(lastLook, lookMs) > 0) continue;
        lookMs = PollLine(main) != LINE_UNKNOWN ? g_watcherLookMs : BackOff(lookMs);
        lastLook = GetTickCount();
    }
}

DWORD WINAPI ConnectionWatcher(LPVOID param) {
    WatchNotifications((HWND)param, &kConnection);
    return 0;
}

DWORD WINAPI DisconnectionWatcher(LPVOID param) {
    WatchNotifications((HWND)param, &kDisconnection);
    return 0;
}

void StartWatcher(LPTHREAD_START_ROUTINE proc, LPVOID param) {
    HANDLE thread = CreateThread(NULL, 0, proc, param, 0, NULL);
    if (!thread) return;
    SetThreadPriority(thread, THREAD_PRIORITY_LOWEST);
    CloseHandle(thread);
}

}  // namespace

DWORD g_watcherLookMs = 2000;

DWORD BackOff(DWORD ms) { return ms >= kBackOffMaxMs / 2 ? kBackOffMaxMs : ms * 2; }

void StartConnectionWatchers(HWND main) {
    if (IsLegacyRasPlatform()) {
        StartWatcher(PollingWatcher, main);
        return;
    }
    if (g_watchersStop)
        ResetEvent(g_watchersStop);
    else
        g_watchersStop = CreateEventA(NULL, TRUE, FALSE, NULL);
    StartWatcher(DisconnectionWatcher, main);
    StartWatcher(ConnectionWatcher, main);
}

void StopConnectionWatchers(void) {
    if (g_watchersStop) SetEvent(g_watchersStop);
}
