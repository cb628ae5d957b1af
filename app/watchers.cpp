// Tell the main window when connections come up and go down: by polling on
// the Windows 95 family, whose RAS has no notifications, and by RAS's
// connection notifications on NT.
#include "app.h"
#include "rasapi.h"
#include "../uilib/libstate.h"

namespace {

const DWORD kPollMs = 2000;
const DWORD kNotifyWaitMs = 1000;

struct NotificationKind {
    const char *eventName;
    DWORD rasKind;
    UINT message;
};

const NotificationKind kConnection = {"ZKRASNotifyEventOn", RASCN_Connection, MSG_CONNECTED};
const NotificationKind kDisconnection = {"ZKRASNotifyEventOff", RASCN_Disconnection, MSG_DISCONNECTED};

// RasConnectionNotificationA is missing before NT 4, so it is found by name.
DWORD RegisterRasNotification(HRASCONN conn, HANDLE event, DWORD kind) {
    HMODULE ras = LoadLibraryA("RASAPI32.DLL");
    if ((UINT_PTR)ras < 32) {
        MessageBoxA(GetFocus(), "Error Loading RASAPI32.DLL", APP_CAPTION, MB_ICONWARNING);
        return 0;
    }
    PFN_RasConnectionNotificationA notify =
        (PFN_RasConnectionNotificationA)(void *)GetProcAddress(ras, "RasConnectionNotificationA");
    if (!notify) {
        MessageBoxA(GetFocus(), "Error Finding Function - RasConnectionNotification", APP_CAPTION, MB_ICONWARNING);
        return 0;
    }
    DWORD result = notify(conn, event, kind);
    FreeLibrary(ras);
    return result;
}

DWORD WINAPI PollingWatcher(LPVOID param) {
    HWND main = (HWND)param;
    HANDLE pause = CreateEventA(NULL, TRUE, FALSE, NULL);
    BOOL wasUp = FALSE;
    while (IsWindow(main)) {
        if (pause) {
            WaitForSingleObject(pause, kPollMs);
            ResetEvent(pause);
        } else {
            Sleep(kPollMs);
        }
        BOOL up = AnyConnectionUp(main);
        if (up != wasUp) {
            SendMessageA(main, up ? MSG_CONNECTED : MSG_DISCONNECTED, 0, 0);
            wasUp = up;
        }
    }
    return 0;
}

void WatchNotifications(HWND main, const NotificationKind *kind) {
    HANDLE event = CreateEventA(NULL, FALSE, FALSE, kind->eventName);
    RegisterRasNotification(NULL, event, kind->rasKind);
    while (IsWindow(main)) {
        if (WaitForSingleObject(event, kNotifyWaitMs) == WAIT_OBJECT_0) SendMessageA(main, kind->message, 0, 0);
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
