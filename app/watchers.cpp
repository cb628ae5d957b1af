// Tell the main window when connections come up and go down: by polling on
// the Windows 95 family, whose RAS has no notifications, and by RAS's
// connection notifications on NT.
#include "app.h"
#include "../uilib/libstate.h"

namespace {

const DWORD kPollMs = 2000;
const DWORD kNotifyWaitMs = 1000;

struct NotificationKind {
    const char *eventName;
    DWORD rasKind;
    UINT message;
    BOOL polls;  // follows the line by polling while RAS does not notify
};

const NotificationKind kConnection = {"ZKRASNotifyEventOn", RASCN_Connection, MSG_CONNECTED, TRUE};
const NotificationKind kDisconnection = {"ZKRASNotifyEventOff", RASCN_Disconnection, MSG_DISCONNECTED, FALSE};

enum Registration { REG_HELD, REG_REFUSED, REG_UNAVAILABLE };

// RasConnectionNotificationA is missing before NT 4, so it is found by name.
// RAS versions differ in the handle they take for "every connection": the
// reference documents INVALID_HANDLE_VALUE, older ones take a null handle.
Registration RegisterRasNotification(HANDLE event, DWORD kind) {
    HMODULE ras = LoadLibraryA("RASAPI32.DLL");
    if ((UINT_PTR)ras < 32) {
        MessageBoxA(GetFocus(), "Error Loading RASAPI32.DLL", APP_CAPTION, MB_ICONWARNING);
        return REG_UNAVAILABLE;
    }
    PFN_RasConnectionNotificationA notify =
        (PFN_RasConnectionNotificationA)(void *)GetProcAddress(ras, "RasConnectionNotificationA");
    if (!notify) {
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
void PollLine(HWND main) {
    LineState line = QueryLine();
    if (line == LINE_UNKNOWN) return;
    BOOL up = line == LINE_UP;
    if (up != TrayShowsOnline()) SendMessageA(main, up ? MSG_CONNECTED : MSG_DISCONNECTED, 0, 0);
}

DWORD WINAPI PollingWatcher(LPVOID param) {
    HWND main = (HWND)param;
    HANDLE pause = CreateEventA(NULL, TRUE, FALSE, NULL);
    while (IsWindow(main)) {
        WaitSignalled(pause, kPollMs);  // nothing signals it: a timed wait
        PollLine(main);
    }
    return 0;
}

// Registration can fail for a while (at log-on RAS answers 711 until its
// service is up): it is tried again every wait period, silently, and the
// connection watcher polls meanwhile so that the tray still follows the line.
// Without the notification function at all it polls as on the Windows 95
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
    BOOL retried = FALSE;
    while (IsWindow(main)) {
        if (reg == REG_REFUSED) {
            reg = RegisterRasNotification(event, kind->rasKind);
            // What changed before the registration held was only polled for.
            if (reg == REG_HELD && retried && kind->polls) PollLine(main);
            retried = TRUE;
        }
        if (reg == REG_HELD) {
            if (WaitSignalled(event, kNotifyWaitMs)) SendMessageA(main, kind->message, 0, 0);
            continue;
        }
        WaitSignalled(event, reg == REG_UNAVAILABLE ? kPollMs : kNotifyWaitMs);
        if (kind->polls) PollLine(main);
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

BOOL IsLegacyVersion(DWORD version) {
    WORD word = VersionWord(version);
    if (word <= 0x0333) return FALSE;  // NT 3.51 and older: the NT path
    // The Windows 95 family sets the top bit; NT keeps its build number
    // there, which passes 10000 from Windows 10 on.
    return (version & 0x80000000) != 0;
}

BOOL IsLegacyRasPlatform(void) { return IsLegacyVersion(GetVersion()); }

void StartConnectionWatchers(HWND main) {
    if (IsLegacyRasPlatform()) {
        StartWatcher(PollingWatcher, main);
        return;
    }
    StartWatcher(DisconnectionWatcher, main);
    StartWatcher(ConnectionWatcher, main);
}
