// Simulated RASAPI32 for running and testing under Wine, whose own RASAPI32
// is a stub. The phonebook, the connections, injected faults and a log of the
// calls live in a file-backed named mapping, so every process of one Wine
// prefix (the program, rasctl, a test) sees the same RAS.
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include <stdlib.h>

#include "../app/rasapi.h"
#include "rassim.h"

namespace {

const DWORD kMagic = 0x52534D32;  // bump when the layout changes
const int kMaxEntries = 256;
const int kMaxConns = 32;
const int kMaxListeners = 32;
const int kMaxCalls = 8192;
const int kCallLen = 300;
const int kScriptLen = 256;

enum Op { OP_ENUM, OP_STATUS, OP_HANGUP, OP_DIAL, OP_ENTRIES, OP_DIALPARAMS, OP_COUNT };
const char *const kOpNames[OP_COUNT] = {"enum", "status", "hangup", "dial", "entries", "dialparams"};

enum Missing { MISSING_NOTIFICATION = 1, MISSING_ENTRYPROPS = 2 };

struct Entry {
    char name[RAS_MaxEntryName + 1];
    BOOL passwordSaved;
    char script[kScriptLen];
};

struct Conn {
    DWORD handle;  // 0: free slot
    char entry[RAS_MaxEntryName + 1];
    DWORD state;
    DWORD error;
};

struct State {
    DWORD magic;
    DWORD nextHandle;
    int entryCount;
    Entry entries[kMaxEntries];
    Conn conns[kMaxConns];
    DWORD faults[OP_COUNT];
    DWORD missing;
    DWORD lastDialOptions;
    LONG connectSeq;
    LONG disconnectSeq;
    DWORD listeners[kMaxListeners];  // process ids with notification registrations
    DWORD callCount;                 // total since reset; the log keeps the newest kMaxCalls
    char calls[kMaxCalls][kCallLen];
};

HMODULE g_self;
HANDLE g_mutex;
HANDLE g_mapping;
State *g_state;

// Registrations of this process for connection notifications.
struct Registration {
    HANDLE event;
    DWORD kind;
    LONG seenConnect, seenDisconnect;  // changes before the registration are not reported
};
CRITICAL_SECTION g_regLock;
Registration g_regs[64];
int g_regCount;
HANDLE g_listenEvent;

bool Attach() {
    if (g_state) return true;
    char path[MAX_PATH];
    DWORD n = GetTempPathA(sizeof(path), path);
    if (n == 0 || n > sizeof(path) - 32) lstrcpynA(path, "C:\\", sizeof(path));
    lstrcatA(path, "wendle-rassim.bin");
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return false;
    g_mutex = CreateMutexA(NULL, FALSE, "WendleRasSim.Lock");
    g_mapping = CreateFileMappingA(file, NULL, PAGE_READWRITE, 0, sizeof(State), "WendleRasSim.State");
    CloseHandle(file);
    if (!g_mapping || !g_mutex) return false;
    g_state = (State *)MapViewOfFile(g_mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(State));
    return g_state != NULL;
}

void Lock() {
    WaitForSingleObject(g_mutex, INFINITE);  // WAIT_ABANDONED also gives ownership
    if (g_state->magic != kMagic) {
        ZeroMemory(g_state, sizeof(State));
        g_state->magic = kMagic;
        g_state->nextHandle = 0x1000;
    }
}

void Unlock() { ReleaseMutex(g_mutex); }

struct Guard {
    Guard() { Lock(); }
    ~Guard() { Unlock(); }
};

void LogCallLocked(const char *fn, const char *entry) {
    char *slot = g_state->calls[g_state->callCount % kMaxCalls];
    if (entry && *entry)
        _snprintf(slot, kCallLen, "%s %s", fn, entry);
    else
        _snprintf(slot, kCallLen, "%s", fn);
    slot[kCallLen - 1] = 0;
    g_state->callCount++;
}

void LogCall(const char *fn, const char *entry = NULL) {
    Guard g;
    LogCallLocked(fn, entry);
}

Entry *FindEntry(const char *name) {
    for (int i = 0; i < g_state->entryCount; i++)
        if (strcmp(g_state->entries[i].name, name) == 0) return &g_state->entries[i];
    return NULL;
}

Conn *FindConn(DWORD handle) {
    if (!handle) return NULL;
    for (int i = 0; i < kMaxConns; i++)
        if (g_state->conns[i].handle == handle) return &g_state->conns[i];
    return NULL;
}

Conn *FindConnByName(const char *name) {
    for (int i = 0; i < kMaxConns; i++)
        if (g_state->conns[i].handle && strcmp(g_state->conns[i].entry, name) == 0) return &g_state->conns[i];
    return NULL;
}

Conn *NewConn(const char *name, DWORD state) {
    for (int i = 0; i < kMaxConns; i++) {
        Conn *c = &g_state->conns[i];
        if (!c->handle) {
            c->handle = g_state->nextHandle;
            g_state->nextHandle += 4;
            lstrcpynA(c->entry, name, sizeof(c->entry));
            c->state = state;
            c->error = 0;
            return c;
        }
    }
    return NULL;
}

int ConnCount() {
    int n = 0;
    for (int i = 0; i < kMaxConns; i++)
        if (g_state->conns[i].handle) n++;
    return n;
}

// Wakes the notification listener of every process that registered one.
void WakeListenersLocked() {
    for (int i = 0; i < kMaxListeners; i++) {
        DWORD pid = g_state->listeners[i];
        if (!pid) continue;
        char name[64];
        _snprintf(name, sizeof(name), "WendleRasSim.Notify.%lu", pid);
        name[sizeof(name) - 1] = 0;
        HANDLE ev = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
        if (!ev) {
            g_state->listeners[i] = 0;  // that process has gone
            continue;
        }
        SetEvent(ev);
        CloseHandle(ev);
    }
}

// Every state change of a connection goes through here so that connection
// and disconnection notifications follow the connected state exactly.
void SetConnStateLocked(Conn *c, DWORD state) {
    bool was = c->state == RASCS_Connected;
    bool now = state == RASCS_Connected;
    c->state = state;
    if (!was && now) {
        g_state->connectSeq++;
        WakeListenersLocked();
    } else if (was && !now) {
        g_state->disconnectSeq++;
        WakeListenersLocked();
    }
}

void RemoveConnLocked(Conn *c) {
    SetConnStateLocked(c, RASCS_Disconnected);
    ZeroMemory(c, sizeof(*c));
}

DWORD FaultLocked(Op op) { return g_state->faults[op]; }

// ---- dial scripts ------------------------------------------------------

struct Step {
    DWORD state;
    DWORD ms;
};

struct Script {
    Step steps[64];
    int count;
    DWORD finalError;
};

const char kDefaultScript[] = "0:250,1:250,2:600,3:250,4:250,5:500,14:300";

bool ParseScript(const char *spec, Script *out) {
    ZeroMemory(out, sizeof(*out));
    const char *p = spec;
    while (*p) {
        if (*p == '!') {
            char *end;
            out->finalError = strtoul(p + 1, &end, 10);
            return end != p + 1 && *end == 0 && out->finalError != 0;
        }
        if (out->count == 64) return false;
        char *end;
        Step s;
        s.state = strtoul(p, &end, 10);
        if (end == p) return false;
        s.ms = 0;
        p = end;
        if (*p == ':') {
            s.ms = strtoul(p + 1, &end, 10);
            if (end == p + 1) return false;
            p = end;
        }
        out->steps[out->count++] = s;
        if (*p == ',') {
            p++;
            if (!*p) return false;
        } else if (*p && *p != '!') {
            return false;
        }
    }
    return out->count > 0 || out->finalError != 0;
}

struct DialJob {
    DWORD handle;
    RASDIALFUNC notify;
    Script script;
};

// Moves the connection to a state; false when it has been hung up meanwhile.
bool StepTo(DWORD handle, DWORD state, DWORD error) {
    Guard g;
    Conn *c = FindConn(handle);
    if (!c) return false;
    SetConnStateLocked(c, state);
    c->error = error;
    return true;
}

DWORD RunDial(DialJob *job) {
    DWORD last = RASCS_OpenPort;
    bool terminal = false;
    for (int i = 0; i < job->script.count; i++) {
        const Step &s = job->script.steps[i];
        if (!StepTo(job->handle, s.state, 0)) return ERROR_INVALID_HANDLE;
        last = s.state;
        terminal = (s.state & RASCS_Connected) != 0;
        if (job->notify) job->notify(WM_RASDIALEVENT, s.state, 0);
        if (terminal) return 0;
        // Sleep in slices so that a hung-up dial ends its thread promptly.
        for (DWORD left = s.ms; left > 0;) {
            DWORD slice = left < 20 ? left : 20;
            Sleep(slice);
            left -= slice;
            Guard g;
            if (!FindConn(job->handle)) return ERROR_INVALID_HANDLE;
        }
    }
    if (job->script.finalError) {
        if (!StepTo(job->handle, last, job->script.finalError)) return ERROR_INVALID_HANDLE;
        if (job->notify) job->notify(WM_RASDIALEVENT, last, job->script.finalError);
        return job->script.finalError;
    }
    if (!StepTo(job->handle, RASCS_Connected, 0)) return ERROR_INVALID_HANDLE;
    if (job->notify) job->notify(WM_RASDIALEVENT, RASCS_Connected, 0);
    return 0;
}

DWORD WINAPI DialThread(LPVOID param) {
    DialJob *job = (DialJob *)param;
    RunDial(job);
    free(job);
    return 0;
}

// ---- connection notifications -------------------------------------------

DWORD WINAPI ListenThread(LPVOID) {
    for (;;) {
        WaitForSingleObject(g_listenEvent, INFINITE);
        LONG c, d;
        {
            Guard g;
            c = g_state->connectSeq;
            d = g_state->disconnectSeq;
        }
        EnterCriticalSection(&g_regLock);
        for (int i = 0; i < g_regCount; i++) {
            Registration &r = g_regs[i];
            bool conn = c != r.seenConnect, disc = d != r.seenDisconnect;
            r.seenConnect = c;
            r.seenDisconnect = d;
            if ((conn && (r.kind & RASCN_Connection)) || (disc && (r.kind & RASCN_Disconnection))) SetEvent(r.event);
        }
        LeaveCriticalSection(&g_regLock);
    }
    return 0;
}

void StartListener() {
    if (g_listenEvent) return;
    char name[64];
    _snprintf(name, sizeof(name), "WendleRasSim.Notify.%lu", GetCurrentProcessId());
    name[sizeof(name) - 1] = 0;
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

// ---- making GetProcAddress miss on request --------------------------------

typedef FARPROC(WINAPI *PFN_GetProcAddress)(HMODULE, LPCSTR);
PFN_GetProcAddress g_realGetProcAddress;

FARPROC WINAPI SimGetProcAddress(HMODULE module, LPCSTR name) {
    if (module == g_self && HIWORD((DWORD_PTR)name) != 0 && Attach()) {
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

struct ErrorText {
    DWORD code;
    const char *text;
};

const ErrorText kErrorTexts[] = {
    {ERROR_INVALID_HANDLE, "The connection handle is not valid."},
    {ERROR_NOT_ENOUGH_MEMORY, "There is not enough memory to complete the operation."},
    {ERROR_INVALID_PARAMETER, "A parameter passed to Remote Access is not valid."},
    {600, "An operation is pending."},
    {602, "The port is already open."},
    {603, "The caller's buffer is too small."},
    {608, "The device does not exist."},
    {610, "The caller's buffer is not valid."},
    {619, "The port has been disconnected."},
    {621, "The phonebook file cannot be opened."},
    {623, "The phonebook entry cannot be found."},
    {629, "The remote computer closed the connection."},
    {632, "The structure size is incorrect."},
    {668, "The connection was dropped."},
    {676, "The line is busy."},
    {678, "There is no answer."},
    {680, "There is no dial tone."},
    {691, "Access was denied because the user name or password is not valid."},
    {718, "The remote computer did not respond in time."},
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        DisableThreadLibraryCalls(instance);
        InitializeCriticalSection(&g_regLock);
        HookGetProcAddress();
    }
    return TRUE;
}

// ---- the RAS entry points ---------------------------------------------------

extern "C" DWORD WINAPI RasEnumConnectionsA(RASCONNA *conns, LPDWORD bytes, LPDWORD count) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    LogCallLocked("RasEnumConnectionsA", NULL);
    if (DWORD f = FaultLocked(OP_ENUM)) return f;
    if (!bytes || !count) return ERROR_INVALID_PARAMETER;
    if (!conns) return 610;
    if (conns->dwSize != sizeof(RASCONNA)) return RAS_ERROR_INVALID_SIZE;
    DWORD n = ConnCount();
    DWORD need = n * sizeof(RASCONNA);
    *count = n;
    if (*bytes < need) {
        *bytes = need;
        return RAS_ERROR_BUFFER_TOO_SMALL;
    }
    RASCONNA *out = conns;
    for (int i = 0; i < kMaxConns; i++) {
        const Conn &c = g_state->conns[i];
        if (!c.handle) continue;
        ZeroMemory(out, sizeof(*out));
        out->dwSize = sizeof(RASCONNA);
        out->hrasconn = (HRASCONN)(DWORD_PTR)c.handle;
        lstrcpynA(out->szEntryName, c.entry, sizeof(out->szEntryName));
        lstrcpynA(out->szDeviceType, "modem", sizeof(out->szDeviceType));
        lstrcpynA(out->szDeviceName, "Simulated Modem", sizeof(out->szDeviceName));
        out++;
    }
    *bytes = need;
    return 0;
}

extern "C" DWORD WINAPI RasGetConnectStatusA(HRASCONN conn, RASCONNSTATUSA *status) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    Conn *c = FindConn((DWORD)(DWORD_PTR)conn);
    LogCallLocked("RasGetConnectStatusA", c ? c->entry : NULL);
    if (DWORD f = FaultLocked(OP_STATUS)) return f;
    if (!status) return ERROR_INVALID_PARAMETER;
    if (status->dwSize != sizeof(RASCONNSTATUSA)) return RAS_ERROR_INVALID_SIZE;
    if (!c) return ERROR_INVALID_HANDLE;
    status->rasconnstate = c->state;
    status->dwError = c->error;
    lstrcpynA(status->szDeviceType, "modem", sizeof(status->szDeviceType));
    lstrcpynA(status->szDeviceName, "Simulated Modem", sizeof(status->szDeviceName));
    return 0;
}

extern "C" DWORD WINAPI RasHangUpA(HRASCONN conn) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    Conn *c = FindConn((DWORD)(DWORD_PTR)conn);
    LogCallLocked("RasHangUpA", c ? c->entry : NULL);
    if (DWORD f = FaultLocked(OP_HANGUP)) return f;
    if (!c) return ERROR_INVALID_HANDLE;
    RemoveConnLocked(c);
    return 0;
}

extern "C" DWORD WINAPI RasEnumEntriesA(LPCSTR reserved, LPCSTR, RASENTRYNAMEA *entries, LPDWORD bytes,
                                        LPDWORD count) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    LogCallLocked("RasEnumEntriesA", NULL);
    if (DWORD f = FaultLocked(OP_ENTRIES)) return f;
    if (reserved || !bytes || !count) return ERROR_INVALID_PARAMETER;
    if (!entries) return 610;
    if (entries->dwSize != sizeof(RASENTRYNAMEA)) return RAS_ERROR_INVALID_SIZE;
    DWORD n = g_state->entryCount;
    DWORD need = n * sizeof(RASENTRYNAMEA);
    *count = n;
    if (*bytes < need) {
        *bytes = need;
        return RAS_ERROR_BUFFER_TOO_SMALL;
    }
    for (DWORD i = 0; i < n; i++) {
        entries[i].dwSize = sizeof(RASENTRYNAMEA);
        lstrcpynA(entries[i].szEntryName, g_state->entries[i].name, sizeof(entries[i].szEntryName));
    }
    *bytes = need;
    return 0;
}

extern "C" DWORD WINAPI RasGetErrorStringA(UINT error, LPSTR buffer, DWORD size) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    LogCall("RasGetErrorStringA");
    if (!buffer) return ERROR_INVALID_PARAMETER;
    for (size_t i = 0; i < sizeof(kErrorTexts) / sizeof(kErrorTexts[0]); i++) {
        if (kErrorTexts[i].code != error) continue;
        DWORD len = lstrlenA(kErrorTexts[i].text);
        if (size < len + 1) return RAS_ERROR_BUFFER_TOO_SMALL;
        memcpy(buffer, kErrorTexts[i].text, len + 1);
        return 0;
    }
    return ERROR_INVALID_PARAMETER;
}

extern "C" DWORD WINAPI RasGetEntryDialParamsA(LPCSTR, RASDIALPARAMSA *params, LPBOOL passwordSaved) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    LogCallLocked("RasGetEntryDialParamsA", params ? params->szEntryName : NULL);
    if (DWORD f = FaultLocked(OP_DIALPARAMS)) return f;
    if (!params || !passwordSaved) return ERROR_INVALID_PARAMETER;
    if (params->dwSize != sizeof(RASDIALPARAMSA)) return RAS_ERROR_INVALID_SIZE;
    Entry *e = FindEntry(params->szEntryName);
    if (!e) return 623;
    lstrcpynA(params->szPhoneNumber, "555-0100", sizeof(params->szPhoneNumber));
    params->szCallbackNumber[0] = 0;
    lstrcpynA(params->szUserName, "demo", sizeof(params->szUserName));
    lstrcpynA(params->szPassword, e->passwordSaved ? "********" : "", sizeof(params->szPassword));
    params->szDomain[0] = 0;
    *passwordSaved = e->passwordSaved;
    return 0;
}

extern "C" DWORD WINAPI RasDialA(RASDIALEXTENSIONS *ext, LPCSTR, RASDIALPARAMSA *params, DWORD notifierType,
                                 LPVOID notifier, HRASCONN *conn) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    DialJob *job = (DialJob *)calloc(1, sizeof(DialJob));
    if (!job) return ERROR_NOT_ENOUGH_MEMORY;
    {
        Guard g;
        LogCallLocked("RasDialA", params ? params->szEntryName : NULL);
        DWORD error = 0;
        if (!params || !conn || notifierType != 0)
            error = ERROR_INVALID_PARAMETER;
        else if ((ext && ext->dwSize != sizeof(RASDIALEXTENSIONS)) || params->dwSize != sizeof(RASDIALPARAMSA))
            error = RAS_ERROR_INVALID_SIZE;
        if (!error) g_state->lastDialOptions = ext ? ext->dwfOptions : 0xFFFFFFFF;
        Entry *e = error ? NULL : FindEntry(params->szEntryName);
        if (!error && !e) error = 623;
        if (!error && FaultLocked(OP_DIAL)) {
            // A refused dial still holds a port that only RasHangUpA releases.
            Conn *c = NewConn(e->name, RASCS_OpenPort);
            if (c) *conn = (HRASCONN)(DWORD_PTR)c->handle;
            error = FaultLocked(OP_DIAL);
        }
        if (!error && FindConnByName(e->name)) error = 602;
        if (!error && !ParseScript(e->script[0] ? e->script : kDefaultScript, &job->script)) error = 87;
        Conn *c = error ? NULL : NewConn(e->name, RASCS_OpenPort);
        if (!error && !c) error = 608;
        if (error) {
            free(job);
            return error;
        }
        *conn = (HRASCONN)(DWORD_PTR)c->handle;
        job->handle = c->handle;
        job->notify = (RASDIALFUNC)notifier;
    }
    if (!job->notify) {
        DWORD r = RunDial(job);
        free(job);
        return r;
    }
    HANDLE t = CreateThread(NULL, 0, DialThread, job, 0, NULL);
    if (!t) {
        free(job);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    CloseHandle(t);
    return 0;
}

extern "C" DWORD WINAPI RasConnectionNotificationA(HRASCONN, HANDLE event, DWORD flags) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    LogCall("RasConnectionNotificationA");
    if (!event || !(flags & (RASCN_Connection | RASCN_Disconnection))) return ERROR_INVALID_PARAMETER;
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
    StartListener();
    return r;
}

extern "C" DWORD WINAPI RasGetEntryPropertiesA(LPCSTR, LPCSTR entry, RASENTRYA *info, LPDWORD size,
                                               LPBYTE, LPDWORD deviceSize) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    LogCallLocked("RasGetEntryPropertiesA", entry);
    if (!size) return ERROR_INVALID_PARAMETER;
    if (!info || *size < sizeof(RASENTRYA)) {
        *size = sizeof(RASENTRYA);
        return RAS_ERROR_BUFFER_TOO_SMALL;
    }
    if (info->dwSize != sizeof(RASENTRYA)) return RAS_ERROR_INVALID_SIZE;
    Entry *e = entry ? FindEntry(entry) : NULL;
    if (!e) return 623;
    ZeroMemory(info, sizeof(*info));
    info->dwSize = sizeof(RASENTRYA);
    lstrcpynA(info->szLocalPhoneNumber, "555-0100", sizeof(info->szLocalPhoneNumber));
    lstrcpynA(info->szDeviceType, "modem", sizeof(info->szDeviceType));
    lstrcpynA(info->szDeviceName, "Simulated Modem", sizeof(info->szDeviceName));
    *size = sizeof(RASENTRYA);
    if (deviceSize) *deviceSize = 0;
    return 0;
}

// ---- control interface --------------------------------------------------------

extern "C" DWORD WINAPI RasSimIsSimulator(void) { return 1; }

extern "C" DWORD WINAPI RasSimReset(void) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    for (int i = 0; i < kMaxConns; i++)
        if (g_state->conns[i].handle) RemoveConnLocked(&g_state->conns[i]);
    DWORD next = g_state->nextHandle;
    LONG cs = g_state->connectSeq, ds = g_state->disconnectSeq;
    DWORD listeners[kMaxListeners];
    memcpy(listeners, g_state->listeners, sizeof(listeners));
    ZeroMemory(g_state, sizeof(State));
    g_state->magic = kMagic;
    g_state->nextHandle = next;  // handles are never reused, even across resets
    g_state->connectSeq = cs;
    g_state->disconnectSeq = ds;
    memcpy(g_state->listeners, listeners, sizeof(listeners));
    return 0;
}

extern "C" DWORD WINAPI RasSimAddEntry(LPCSTR name, BOOL passwordSaved) {
    if (!name || !*name || lstrlenA(name) > RAS_MaxEntryName) return ERROR_INVALID_PARAMETER;
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    if (FindEntry(name)) return ERROR_ALREADY_EXISTS;
    if (g_state->entryCount == kMaxEntries) return ERROR_NOT_ENOUGH_MEMORY;
    Entry *e = &g_state->entries[g_state->entryCount++];
    ZeroMemory(e, sizeof(*e));
    lstrcpynA(e->name, name, sizeof(e->name));
    e->passwordSaved = passwordSaved;
    return 0;
}

extern "C" DWORD WINAPI RasSimRemoveEntry(LPCSTR name) {
    if (!name || !Attach()) return ERROR_INVALID_PARAMETER;
    Guard g;
    Entry *e = FindEntry(name);
    if (!e) return 623;
    int i = (int)(e - g_state->entries);
    memmove(e, e + 1, (g_state->entryCount - i - 1) * sizeof(Entry));
    g_state->entryCount--;
    return 0;
}

extern "C" DWORD WINAPI RasSimSetState(LPCSTR name, DWORD state) {
    if (!name || !*name || lstrlenA(name) > RAS_MaxEntryName) return ERROR_INVALID_PARAMETER;
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    Conn *c = FindConnByName(name);
    if (!c) c = NewConn(name, RASCS_OpenPort);
    if (!c) return ERROR_NOT_ENOUGH_MEMORY;
    c->error = 0;
    SetConnStateLocked(c, state);
    return 0;
}

extern "C" DWORD WINAPI RasSimDrop(LPCSTR name) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    bool any = false;
    for (int i = 0; i < kMaxConns; i++) {
        Conn *c = &g_state->conns[i];
        if (c->handle && (!name || strcmp(c->entry, name) == 0)) {
            RemoveConnLocked(c);
            any = true;
        }
    }
    return any || !name ? 0 : ERROR_NOT_FOUND;
}

extern "C" DWORD WINAPI RasSimSetDialScript(LPCSTR name, LPCSTR spec) {
    Script s;
    if (!name || !spec || lstrlenA(spec) >= kScriptLen || !ParseScript(spec, &s)) return ERROR_INVALID_PARAMETER;
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    Entry *e = FindEntry(name);
    if (!e) return 623;
    lstrcpynA(e->script, spec, sizeof(e->script));
    return 0;
}

extern "C" DWORD WINAPI RasSimSetFault(LPCSTR op, DWORD error) {
    if (!op || !Attach()) return ERROR_INVALID_PARAMETER;
    for (int i = 0; i < OP_COUNT; i++) {
        if (strcmp(op, kOpNames[i]) == 0) {
            Guard g;
            g_state->faults[i] = error;
            return 0;
        }
    }
    return ERROR_INVALID_PARAMETER;
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

namespace {

// Appends to a bounded text, counting what the whole text would need.
void Append(LPSTR buffer, DWORD size, DWORD *used, const char *text) {
    DWORD len = lstrlenA(text);
    if (buffer && *used + 1 < size) {
        DWORD room = size - 1 - *used;
        DWORD n = len < room ? len : room;
        memcpy(buffer + *used, text, n);
        buffer[*used + n] = 0;
    }
    *used += len;
}

}  // namespace

extern "C" DWORD WINAPI RasSimListConnections(LPSTR buffer, DWORD size) {
    if (!Attach()) return 0;
    if (buffer && size) buffer[0] = 0;
    Guard g;
    DWORD used = 0;
    for (int i = 0; i < kMaxConns; i++) {
        const Conn &c = g_state->conns[i];
        if (!c.handle) continue;
        char line[RAS_MaxEntryName + 32];
        _snprintf(line, sizeof(line), "%s\t%lu\n", c.entry, c.state);
        line[sizeof(line) - 1] = 0;
        Append(buffer, size, &used, line);
    }
    return used + 1;
}

extern "C" DWORD WINAPI RasSimGetCalls(LPSTR buffer, DWORD size) {
    if (!Attach()) return 0;
    if (buffer && size) buffer[0] = 0;
    Guard g;
    DWORD used = 0;
    DWORD first = g_state->callCount > (DWORD)kMaxCalls ? g_state->callCount - kMaxCalls : 0;
    for (DWORD i = first; i < g_state->callCount; i++) {
        Append(buffer, size, &used, g_state->calls[i % kMaxCalls]);
        Append(buffer, size, &used, "\n");
    }
    return used + 1;
}

extern "C" DWORD WINAPI RasSimForgetRegistrations(void) {
    EnterCriticalSection(&g_regLock);
    for (int i = 0; i < g_regCount; i++) CloseHandle(g_regs[i].event);
    g_regCount = 0;
    LeaveCriticalSection(&g_regLock);
    return 0;
}

extern "C" DWORD WINAPI RasSimLastDialOptions(void) {
    if (!Attach()) return 0;
    Guard g;
    return g_state->lastDialOptions;
}
