// Simulated connection notifications. Event handles cannot cross processes,
// so each process that registers runs a listener thread that waits on a
// named event of its own; every connection change wakes the listeners of
// all processes, and each signals its own registered events.
#include "simstate.h"

#include <stdio.h>
#include <string.h>

#include "rassim.h"

namespace {

struct Registration {
    HANDLE event;
    DWORD kind;
    LONG seenConnect, seenDisconnect;  // changes before the registration are not reported
    bool signalled;
};
CRITICAL_SECTION g_regLock;
Registration g_regs[64];
int g_regCount;
HANDLE g_listenEvent;

// Wakes for every change, and when a lingering link is due to go: taking
// the lock ends it, and its disconnection wakes every listener once more.
DWORD WINAPI ListenThread(LPVOID) {
    DWORD wait = INFINITE;
    for (;;) {
        WaitForSingleObject(g_listenEvent, wait);
        LONG c, d;
        DWORD mode, gone;
        {
            Guard g;
            c = g_state->connectSeq;
            d = g_state->disconnectSeq;
            mode = g_state->notifyMode;
            wait = INFINITE;
            if (NextGoneLocked(&gone)) {
                LONG left = (LONG)(gone - GetTickCount());
                wait = left < 1 ? 1 : (DWORD)left;
            }
        }
        EnterCriticalSection(&g_regLock);
        for (int i = 0; i < g_regCount; i++) {
            Registration &r = g_regs[i];
            bool conn = c != r.seenConnect, disc = d != r.seenDisconnect;
            r.seenConnect = c;
            r.seenDisconnect = d;
            if (!(conn && (r.kind & RASCN_Connection)) && !(disc && (r.kind & RASCN_Disconnection))) continue;
            if (mode == NOTIFY_SILENT || (mode == NOTIFY_ONCE && r.signalled)) continue;
            r.signalled = true;
            SetEvent(r.event);
        }
        LeaveCriticalSection(&g_regLock);
    }
    return 0;
}

void ListenerName(DWORD pid, char *name, size_t size) {
    _snprintf(name, size, "WendleRasSim.Notify.%lu", pid);
    name[size - 1] = 0;
}

void StartListener() {
    if (g_listenEvent) return;
    char name[64];
    ListenerName(GetCurrentProcessId(), name, sizeof(name));
    g_listenEvent = CreateEventA(NULL, FALSE, FALSE, name);
    {
        Guard g;
        int freeSlot = -1;
        bool present = false;
        for (int i = 0; i < kMaxListeners; i++) {
            if (g_state->listeners[i] == GetCurrentProcessId()) present = true;
            if (!g_state->listeners[i] && freeSlot < 0) freeSlot = i;
        }
        if (!present && freeSlot >= 0) g_state->listeners[freeSlot] = GetCurrentProcessId();
    }
    HANDLE t = CreateThread(NULL, 0, ListenThread, NULL, 0, NULL);
    if (t) CloseHandle(t);
}

// Which handle the caller passed, for the call log, and whether this RAS
// takes it as "every connection".
const char *HandleKind(HRASCONN conn) {
    if (conn == NULL) return "null";
    if (conn == INVALID_HANDLE_VALUE) return "invalid";
    return "connection";
}

bool TakesHandleLocked(HRASCONN conn) {
    DWORD mode = g_state->notifyHandles;
    if (conn == NULL) return mode != NOTIFY_INVALID_ONLY;
    if (conn == INVALID_HANDLE_VALUE) return mode != NOTIFY_NULL_ONLY;
    return false;  // notifications for one connection are not simulated
}

DWORD AddRegistration(HANDLE event, DWORD flags) {
    EnterCriticalSection(&g_regLock);
    DWORD r = 0;
    // Our own reference: the caller may close its handle while registered.
    HANDLE own = NULL;
    DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS);
    // A second registration of the same event object (a program started
    // again in one process, as the tests do) replaces the first, so the
    // object is signalled once per change as with a single registration.
    typedef BOOL(WINAPI * CompareFn)(HANDLE, HANDLE);
    static CompareFn same = (CompareFn)(void *)GetProcAddress(GetModuleHandleA("kernelbase.dll"), "CompareObjectHandles");
    for (int i = 0; own && same && i < g_regCount; i++) {
        if (g_regs[i].kind == flags && same(g_regs[i].event, own)) {
            CloseHandle(g_regs[i].event);
            g_regs[i] = g_regs[--g_regCount];
            break;
        }
    }
    if (!own) {
        r = ERROR_INVALID_HANDLE;
    } else if (g_regCount < 64) {
        g_regs[g_regCount].event = own;
        g_regs[g_regCount].kind = flags;
        g_regs[g_regCount].signalled = false;
        {
            Guard g;
            g_regs[g_regCount].seenConnect = g_state->connectSeq;
            g_regs[g_regCount].seenDisconnect = g_state->disconnectSeq;
        }
        g_regCount++;
    } else {
        CloseHandle(own);
        r = ERROR_NOT_ENOUGH_MEMORY;
    }
    LeaveCriticalSection(&g_regLock);
    return r;
}

// ---- making GetProcAddress miss on request --------------------------------

typedef FARPROC(WINAPI *PFN_GetProcAddress)(HMODULE, LPCSTR);
PFN_GetProcAddress g_realGetProcAddress;

FARPROC WINAPI SimGetProcAddress(HMODULE module, LPCSTR name) {
    if (module == g_self && !IS_INTRESOURCE(name) && Attach()) {
        DWORD missing;
        {
            Guard g;
            missing = g_state->missing;
        }
        if (((missing & MISSING_NOTIFICATION) && strcmp(name, "RasConnectionNotificationA") == 0) ||
            ((missing & MISSING_ENTRYPROPS) && strcmp(name, "RasGetEntryPropertiesA") == 0)) {
            SetLastError(ERROR_PROC_NOT_FOUND);
            return NULL;
        }
    }
    return g_realGetProcAddress(module, name);
}

}  // namespace

void InitNotifications() { InitializeCriticalSection(&g_regLock); }

// Wakes the notification listener of every process that registered one.
void WakeListenersLocked() {
    for (int i = 0; i < kMaxListeners; i++) {
        DWORD pid = g_state->listeners[i];
        if (!pid) continue;
        char name[64];
        ListenerName(pid, name, sizeof(name));
        HANDLE ev = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
        if (!ev) {
            g_state->listeners[i] = 0;  // that process has gone
            continue;
        }
        SetEvent(ev);
        CloseHandle(ev);
    }
}

// The program finds the two optional RAS functions with GetProcAddress; to
// let a test take them away while the DLL still loads, the main module's
// import of GetProcAddress is pointed at a filter.
void HookGetProcAddress() {
    BYTE *base = (BYTE *)GetModuleHandleA(NULL);
    IMAGE_DOS_HEADER *dos = (IMAGE_DOS_HEADER *)base;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)(base + dos->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return;
    g_realGetProcAddress = (PFN_GetProcAddress)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcAddress");
    for (IMAGE_IMPORT_DESCRIPTOR *d = (IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress); d->Name; d++) {
        if (lstrcmpiA((char *)(base + d->Name), "kernel32.dll") != 0 || !d->OriginalFirstThunk) continue;
        IMAGE_THUNK_DATA *names = (IMAGE_THUNK_DATA *)(base + d->OriginalFirstThunk);
        IMAGE_THUNK_DATA *iat = (IMAGE_THUNK_DATA *)(base + d->FirstThunk);
        for (; names->u1.AddressOfData; names++, iat++) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            IMAGE_IMPORT_BY_NAME *ibn = (IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData);
            if (strcmp((char *)ibn->Name, "GetProcAddress") != 0) continue;
            DWORD old;
            if (VirtualProtect(&iat->u1.Function, sizeof(iat->u1.Function), PAGE_READWRITE, &old)) {
                iat->u1.Function = (DWORD_PTR)SimGetProcAddress;
                VirtualProtect(&iat->u1.Function, sizeof(iat->u1.Function), old, &old);
            }
        }
    }
}

extern "C" DWORD WINAPI RasConnectionNotificationA(HRASCONN conn, HANDLE event, DWORD flags) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    {
        Guard g;
        LogCallLocked("RasConnectionNotificationA", HandleKind(conn));
        if (DWORD f = FaultLocked(OP_NOTIFY)) return f;
        if (!TakesHandleLocked(conn)) return ERROR_INVALID_HANDLE;
    }
    if (!event || !(flags & (RASCN_Connection | RASCN_Disconnection))) return ERROR_INVALID_PARAMETER;
    DWORD r = AddRegistration(event, flags);
    StartListener();
    return r;
}

// ---- control interface: notifications and missing functions --------------------

extern "C" DWORD WINAPI RasSimSetNotifyHandle(LPCSTR kind) {
    DWORD mode;
    if (kind && strcmp(kind, "any") == 0)
        mode = NOTIFY_ANY;
    else if (kind && strcmp(kind, "invalid") == 0)
        mode = NOTIFY_INVALID_ONLY;
    else if (kind && strcmp(kind, "null") == 0)
        mode = NOTIFY_NULL_ONLY;
    else
        return ERROR_INVALID_PARAMETER;
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    g_state->notifyHandles = mode;
    return 0;
}

extern "C" DWORD WINAPI RasSimSetNotifyMode(LPCSTR mode) {
    static const char *const kModes[] = {"every", "once", "silent", "early"};  // as NotifyMode
    for (DWORD i = 0; mode && i < sizeof(kModes) / sizeof(kModes[0]); i++) {
        if (strcmp(mode, kModes[i]) != 0) continue;
        if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
        Guard g;
        g_state->notifyMode = i;
        return 0;
    }
    return ERROR_INVALID_PARAMETER;
}

extern "C" DWORD WINAPI RasSimForgetRegistrations(void) {
    EnterCriticalSection(&g_regLock);
    for (int i = 0; i < g_regCount; i++) CloseHandle(g_regs[i].event);
    g_regCount = 0;
    LeaveCriticalSection(&g_regLock);
    return 0;
}

extern "C" DWORD WINAPI RasSimSetMissing(LPCSTR function) {
    DWORD bit;
    if (!function || strcmp(function, "off") == 0)
        bit = 0;
    else if (strcmp(function, "RasConnectionNotificationA") == 0)
        bit = MISSING_NOTIFICATION;
    else if (strcmp(function, "RasGetEntryPropertiesA") == 0)
        bit = MISSING_ENTRYPROPS;
    else
        return ERROR_INVALID_PARAMETER;
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    g_state->missing = bit ? (g_state->missing | bit) : 0;
    return 0;
}
