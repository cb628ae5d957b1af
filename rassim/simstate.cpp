// Simulated RASAPI32 for running and testing under Wine, whose own RASAPI32
// is a stub. The phonebook, the connections, injected faults and a log of the
// calls live in a file-backed named mapping, so every process of one Wine
// prefix (the program, rasctl, a test) sees the same RAS.
#include "simstate.h"

#include <stdio.h>
#include <string.h>

#include "rassim.h"

HMODULE g_self;
State *g_state;

namespace {

const DWORD kMagic = 0x52534D35;  // bump when the layout changes
const char *const kOpNames[OP_COUNT] = {"enum", "status", "hangup", "dial", "entries", "dialparams", "notify"};

HANDLE g_mutex;
HANDLE g_mapping;

bool Gone(const Conn &c, DWORD now) { return c.handle && c.goneAt && (LONG)(now - c.goneAt) >= 0; }

int OpByName(LPCSTR name) {
    for (int i = 0; name && i < OP_COUNT; i++)
        if (strcmp(name, kOpNames[i]) == 0) return i;
    return -1;
}

}  // namespace

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

// A lingering link's handle goes when its time is up, whichever process
// looks first: every call, and the notification listeners, which wake for it.
void Lock() {
    WaitForSingleObject(g_mutex, INFINITE);  // WAIT_ABANDONED also gives ownership
    if (g_state->magic != kMagic) {
        ZeroMemory(g_state, sizeof(State));
        g_state->magic = kMagic;
        g_state->nextHandle = 0x1000;
    }
    DWORD now = GetTickCount();
    for (int i = 0; i < kMaxConns; i++)
        if (Gone(g_state->conns[i], now)) RemoveConnLocked(&g_state->conns[i]);
}

void Unlock() { ReleaseMutex(g_mutex); }

void LogCallLocked(const char *fn, const char *entry) {
    char *slot = g_state->calls[g_state->callCount % kMaxCalls];
    if (entry && *entry)
        _snprintf(slot, kCallLen, "%s %s", fn, entry);
    else
        _snprintf(slot, kCallLen, "%s", fn);
    slot[kCallLen - 1] = 0;
    g_state->callPids[g_state->callCount % kMaxCalls] = GetCurrentProcessId();
    g_state->callCount++;
}

void LogCall(const char *fn, const char *entry) {
    Guard g;
    LogCallLocked(fn, entry);
}

DWORD FaultLocked(Op op) {
    DWORD error = g_state->faults[op];
    if (error && g_state->faultTimes[op] && --g_state->faultTimes[op] == 0) g_state->faults[op] = 0;
    return error;
}

// A link counts as a connection for the notifications from its announcement
// to its end: one signal each way.
static void AnnounceLocked(Conn *c, bool connected) {
    if (c->announced == (BOOL)connected) return;
    c->announced = connected;
    if (connected)
        g_state->connectSeq++;
    else
        g_state->disconnectSeq++;
    WakeListenersLocked();
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

Conn *LiveConn(DWORD handle) {
    Conn *c = FindConn(handle);
    return c && !c->goneAt ? c : NULL;
}

Conn *FindConnByName(const char *name, bool lingering) {
    for (int i = 0; i < kMaxConns; i++) {
        Conn *c = &g_state->conns[i];
        if (c->handle && (lingering || !c->goneAt) && strcmp(c->entry, name) == 0) return c;
    }
    return NULL;
}

// As RAS may do: the value of the link that went last, for the next one.
static DWORD FreedHandle() {
    if (g_state->lastFreed && !FindConn(g_state->lastFreed)) return g_state->lastFreed;
    for (DWORD h = 0x1000;; h += 4)
        if (!FindConn(h)) return h;
}

Conn *NewConn(const char *name, DWORD state) {
    for (int i = 0; i < kMaxConns; i++) {
        Conn *c = &g_state->conns[i];
        if (!c->handle) {
            c->handle = g_state->reuseHandles ? FreedHandle() : g_state->nextHandle;
            if (!g_state->reuseHandles) g_state->nextHandle += 4;
            lstrcpynA(c->entry, name, sizeof(c->entry));
            c->state = state;
            c->error = 0;
            c->announced = FALSE;
            c->goneAt = 0;
            c->refs = 0;
            c->staleUntil = 0;
            if (g_state->notifyMode == NOTIFY_EARLY) AnnounceLocked(c, true);
            return c;
        }
    }
    return NULL;
}

void SetConnStateLocked(Conn *c, DWORD state) {
    c->state = state;
    if (g_state->notifyMode != NOTIFY_EARLY) AnnounceLocked(c, state == RASCS_Connected);
}

void EndConnLocked(Conn *c) {
    if (c->goneAt) return;  // already on its way
    if (!g_state->lingerMs && !g_state->staleMs) {
        RemoveConnLocked(c);
        return;
    }
    // Listed as disconnected meanwhile (its status may report its last
    // state for a while); nothing is signalled until it goes.
    DWORD now = GetTickCount();
    c->lastState = c->state;
    c->staleUntil = g_state->staleMs ? now + g_state->staleMs : 0;
    c->state = RASCS_Disconnected;
    c->goneAt = now + (g_state->lingerMs > g_state->staleMs ? g_state->lingerMs : g_state->staleMs);
    if (!c->goneAt) c->goneAt = 1;
    WakeListenersLocked();  // so that they wake when it goes
}

void RemoveConnLocked(Conn *c) {
    AnnounceLocked(c, false);
    g_state->lastFreed = c->handle;
    ZeroMemory(c, sizeof(*c));
}

bool NextGoneLocked(DWORD *tick) {
    bool any = false;
    DWORD now = GetTickCount(), soonest = 0;
    for (int i = 0; i < kMaxConns; i++) {
        const Conn &c = g_state->conns[i];
        if (!c.handle || !c.goneAt) continue;
        if (!any || (LONG)(c.goneAt - now) < (LONG)(soonest - now)) soonest = c.goneAt;
        any = true;
    }
    *tick = soonest;
    return any;
}

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

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
        DisableThreadLibraryCalls(instance);
        InitNotifications();
        HookGetProcAddress();
    }
    return TRUE;
}

// ---- control interface: the whole state, faults, the call log ----------------

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

extern "C" DWORD WINAPI RasSimSetFaultTimes(LPCSTR op, DWORD error, DWORD times) {
    int i = OpByName(op);
    if (i < 0 || !Attach()) return ERROR_INVALID_PARAMETER;
    Guard g;
    g_state->faults[i] = error;
    g_state->faultTimes[i] = error ? times : 0;
    return 0;
}

extern "C" DWORD WINAPI RasSimSetFault(LPCSTR op, DWORD error) { return RasSimSetFaultTimes(op, error, 0); }

// The behaviours of real RAS that are switched, each off by default (and
// after a reset): handles reuse|fresh, referenced on|off, errortexts
// long|short.
extern "C" DWORD WINAPI RasSimSetMode(LPCSTR mode, LPCSTR value) {
    if (!mode || !value || !Attach()) return ERROR_INVALID_PARAMETER;
    struct Switch {
        const char *mode, *on, *off;
        BOOL State::*field;
    } switches[] = {{"handles", "reuse", "fresh", &State::reuseHandles},
                    {"referenced", "on", "off", &State::referenced},
                    {"errortexts", "long", "short", &State::longErrorTexts}};
    for (const Switch &s : switches) {
        if (strcmp(mode, s.mode) != 0) continue;
        if (strcmp(value, s.on) != 0 && strcmp(value, s.off) != 0) return ERROR_INVALID_PARAMETER;
        Guard g;
        g_state->*s.field = strcmp(value, s.on) == 0;
        return 0;
    }
    return ERROR_INVALID_PARAMETER;
}

extern "C" DWORD WINAPI RasSimSetStale(DWORD ms) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    Guard g;
    g_state->staleMs = ms;
    return 0;
}

extern "C" DWORD WINAPI RasSimGetCallsOf(DWORD pid, LPSTR buffer, DWORD size) {
    if (!Attach()) return 0;
    if (buffer && size) buffer[0] = 0;
    Guard g;
    DWORD used = 0;
    DWORD first = g_state->callCount > (DWORD)kMaxCalls ? g_state->callCount - kMaxCalls : 0;
    for (DWORD i = first; i < g_state->callCount; i++) {
        if (pid && g_state->callPids[i % kMaxCalls] != pid) continue;
        Append(buffer, size, &used, g_state->calls[i % kMaxCalls]);
        Append(buffer, size, &used, "\n");
    }
    return used + 1;
}

extern "C" DWORD WINAPI RasSimGetCalls(LPSTR buffer, DWORD size) { return RasSimGetCallsOf(0, buffer, size); }
