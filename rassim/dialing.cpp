// Simulated dialing: RasDialA runs the entry's dial script on a thread of its
// own and reports each state to the caller's notifier, applying the dial
// extension options as the RAS reference documents them.
#include "simstate.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "rassim.h"

namespace {

const DWORD RDEOPT_UsePrefixSuffix = 0x00000001;
const DWORD RDEOPT_IgnoreModemSpeaker = 0x00000004;
const DWORD RDEOPT_SetModemSpeaker = 0x00000008;
const DWORD RDEOPT_IgnoreSoftwareCompression = 0x00000010;
const DWORD RDEOPT_SetSoftwareCompression = 0x00000020;

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

typedef VOID(WINAPI *RasDialFunc1)(HRASCONN conn, UINT msg, RASCONNSTATE state, DWORD error, DWORD extended);

struct DialJob {
    DWORD handle;
    char entry[RAS_MaxEntryName + 1];  // a reused handle may be another entry's link
    DWORD notifierType;  // 0: RasDialFunc, 1: RasDialFunc1, which names the link
    LPVOID notifier;
    Script script;
};

void Notify(const DialJob *job, DWORD state, DWORD error) {
    if (!job->notifier) return;
    if (job->notifierType == 1)
        ((RasDialFunc1)job->notifier)((HRASCONN)(DWORD_PTR)job->handle, WM_RASDIALEVENT, state, error, 0);
    else
        ((RASDIALFUNC)job->notifier)(WM_RASDIALEVENT, state, error);
}

// The dial's own link, while it is not being hung up.
Conn *DialConn(const DialJob *job) {
    Conn *c = LiveConn(job->handle);
    return c && strcmp(c->entry, job->entry) == 0 ? c : NULL;
}

// Moves the connection to a state; false when it has been hung up meanwhile.
bool StepTo(const DialJob *job, DWORD state, DWORD error) {
    Guard g;
    Conn *c = DialConn(job);
    if (!c) return false;
    SetConnStateLocked(c, state);
    c->error = error;
    return true;
}

DWORD RunDial(DialJob *job) {
    DWORD last = RASCS_OpenPort;
    for (int i = 0; i < job->script.count; i++) {
        const Step &s = job->script.steps[i];
        if (!StepTo(job, s.state, 0)) return ERROR_INVALID_HANDLE;
        last = s.state;
        Notify(job, s.state, 0);
        if (s.state & RASCS_Connected) return 0;
        // Sleep in slices so that a hung-up dial ends its thread promptly.
        for (DWORD left = s.ms; left > 0;) {
            DWORD slice = left < 20 ? left : 20;
            Sleep(slice);
            left -= slice;
            Guard g;
            if (!DialConn(job)) return ERROR_INVALID_HANDLE;
        }
    }
    if (job->script.finalError) {
        if (!StepTo(job, last, job->script.finalError)) return ERROR_INVALID_HANDLE;
        Notify(job, last, job->script.finalError);
        return job->script.finalError;
    }
    if (!StepTo(job, RASCS_Connected, 0)) return ERROR_INVALID_HANDLE;
    Notify(job, RASCS_Connected, 0);
    return 0;
}

DWORD WINAPI DialThread(LPVOID param) {
    DialJob *job = (DialJob *)param;
    RunDial(job);
    free(job);
    return 0;
}

// The Windows 95 family's RasDial ignores the extension record.
bool ExtensionsIgnored() {
    DWORD v = GetVersion();
    return (v & 0x80000000) && (LOBYTE(v) << 8 | HIBYTE(LOWORD(v))) > 0x0333;
}

// What the line really does for this dial. Without an extension record the
// options are all clear: the entry's own speaker and compression settings,
// and no prefix or suffix.
void RecordDialLocked(const Entry *e, const RASDIALEXTENSIONS *ext) {
    DWORD opts = ext && !ExtensionsIgnored() ? ext->dwfOptions : 0;
    g_state->lastDialOptions = ext ? ext->dwfOptions : 0xFFFFFFFF;
    BOOL speaker = opts & RDEOPT_IgnoreModemSpeaker ? (opts & RDEOPT_SetModemSpeaker) != 0 : e->speaker;
    BOOL compression =
        opts & RDEOPT_IgnoreSoftwareCompression ? (opts & RDEOPT_SetSoftwareCompression) != 0 : e->compression;
    BOOL prefixSuffix = (opts & RDEOPT_UsePrefixSuffix) && e->prefixSuffix;
    if (g_state->dialCount < (DWORD)kMaxDials) {
        char *line = g_state->dials[g_state->dialCount];
        _snprintf(line, kDialLen, "%s speaker=%s compression=%s prefixsuffix=%s", e->name, speaker ? "on" : "off",
                  compression ? "on" : "off", prefixSuffix ? "yes" : "no");
        line[kDialLen - 1] = 0;
    }
    g_state->dialCount++;
}

}  // namespace

extern "C" DWORD WINAPI RasDialA(RASDIALEXTENSIONS *ext, LPCSTR, RASDIALPARAMSA *params, DWORD notifierType,
                                 LPVOID notifier, HRASCONN *conn) {
    if (!Attach()) return ERROR_NOT_ENOUGH_MEMORY;
    DialJob *job = (DialJob *)calloc(1, sizeof(DialJob));
    if (!job) return ERROR_NOT_ENOUGH_MEMORY;
    bool referenced = false;
    {
        Guard g;
        LogCallLocked("RasDialA", params ? params->szEntryName : NULL);
        DWORD error = 0;
        if (!params || !conn || (notifier && notifierType > 1))
            error = ERROR_INVALID_PARAMETER;
        else if ((ext && ext->dwSize != sizeof(RASDIALEXTENSIONS)) || params->dwSize != sizeof(RASDIALPARAMSA))
            error = RAS_ERROR_INVALID_SIZE;
        Entry *e = error ? NULL : FindEntry(params->szEntryName);
        if (!error && !e) error = 623;
        if (!error) RecordDialLocked(e, ext);
        if (!error && (error = FaultLocked(OP_DIAL)) != 0) {
            // A refused dial still holds a port that only RasHangUpA releases.
            Conn *c = NewConn(e->name, RASCS_OpenPort);
            if (c) *conn = (HRASCONN)(DWORD_PTR)c->handle;
        }
        // A connected entry dialled again: RAS may hand over its link with
        // one more reference, and report it connected.
        Conn *held = error ? NULL : FindConnByName(e->name, true);
        if (held && g_state->referenced && !held->goneAt && held->state == RASCS_Connected) {
            held->refs++;
            *conn = (HRASCONN)(DWORD_PTR)held->handle;
            job->handle = held->handle;
            lstrcpynA(job->entry, held->entry, sizeof(job->entry));
            job->notifierType = notifierType;
            job->notifier = notifier;
            job->script.count = 1;
            job->script.steps[0].state = RASCS_Connected;
            held = NULL;
            referenced = true;
        }
        // A link of the entry that is still being hung up holds its port.
        if (held) error = 602;
        if (!error && !referenced && !ParseScript(e->script[0] ? e->script : kDefaultScript, &job->script))
            error = 87;
        Conn *c = error || referenced ? NULL : NewConn(e->name, RASCS_OpenPort);
        if (!error && !referenced && !c) error = 608;
        if (error) {
            free(job);
            return error;
        }
        if (c) {
            *conn = (HRASCONN)(DWORD_PTR)c->handle;
            job->handle = c->handle;
            lstrcpynA(job->entry, c->entry, sizeof(job->entry));
            job->notifierType = notifierType;
            job->notifier = notifier;
        }
    }
    if (!job->notifier) {
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

// ---- control interface: dialing ----------------------------------------------

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

extern "C" DWORD WINAPI RasSimLastDialOptions(void) {
    if (!Attach()) return 0;
    Guard g;
    return g_state->lastDialOptions;
}

extern "C" DWORD WINAPI RasSimGetDials(LPSTR buffer, DWORD size) {
    if (!Attach()) return 0;
    if (buffer && size) buffer[0] = 0;
    Guard g;
    DWORD used = 0;
    DWORD n = g_state->dialCount < (DWORD)kMaxDials ? g_state->dialCount : kMaxDials;
    for (DWORD i = 0; i < n; i++) {
        Append(buffer, size, &used, g_state->dials[i]);
        Append(buffer, size, &used, "\n");
    }
    return used + 1;
}
