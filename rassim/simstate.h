// What the parts of the simulated RASAPI32 share: the state every process of
// one Wine prefix sees (a file-backed named mapping under a named mutex),
// the call log and the injected faults.
#ifndef WENDLE_SIMSTATE_H
#define WENDLE_SIMSTATE_H

#include <windows.h>

#include "../platform/rasapi.h"

const int kMaxEntries = 256;
const int kMaxConns = 32;
const int kMaxListeners = 32;
const int kMaxCalls = 8192;
const int kCallLen = 300;
const int kScriptLen = 256;
const int kMaxDials = 256;
const int kDialLen = 320;

enum Op { OP_ENUM, OP_STATUS, OP_HANGUP, OP_DIAL, OP_ENTRIES, OP_DIALPARAMS, OP_NOTIFY, OP_COUNT };

enum Missing { MISSING_NOTIFICATION = 1, MISSING_ENTRYPROPS = 2 };

// Which connection handle RasConnectionNotificationA takes for "every
// connection": the reference documents INVALID_HANDLE_VALUE; some RAS
// versions also take a null handle.
enum NotifyHandles { NOTIFY_ANY, NOTIFY_INVALID_ONLY, NOTIFY_NULL_ONLY };

// When RAS signals a registration. EVERY: each connection reaching the
// connected state, each one leaving it. ONCE: each registration at most once
// (what users report of Windows 11). SILENT: never. EARLY: a connection as it
// is created, as the reference words it ("created", so when a dial starts),
// and not again when it connects.
enum NotifyMode { NOTIFY_EVERY, NOTIFY_ONCE, NOTIFY_SILENT, NOTIFY_EARLY };

struct Entry {
    char name[RAS_MaxEntryName + 1];
    BOOL passwordSaved;
    BOOL speaker;       // the entry's own modem-speaker setting
    BOOL compression;   // its software-compression setting
    BOOL prefixSuffix;  // the phonebook holds a dialing prefix/suffix for it
    char script[kScriptLen];
};

struct Conn {
    DWORD handle;  // 0: free slot
    char entry[RAS_MaxEntryName + 1];
    DWORD state;
    DWORD error;
    BOOL announced;  // its connection was notified, its disconnection not yet
    DWORD goneAt;    // hung up, lingering: the tick at which its handle goes (0: live)
    DWORD refs;      // dials of the entry while connected: hang-ups it takes beyond one
    DWORD lastState;   // before its hang-up, which the status may still report
    DWORD staleUntil;  // until this tick (0: not at all)
};

struct State {
    DWORD magic;
    DWORD nextHandle;
    int entryCount;
    Entry entries[kMaxEntries];
    Conn conns[kMaxConns];
    DWORD faults[OP_COUNT];
    DWORD faultTimes[OP_COUNT];  // calls left before the fault clears; 0: until turned off
    DWORD missing;
    DWORD notifyHandles;
    DWORD notifyMode;
    DWORD lingerMs;  // how long a hung-up link stays listed as disconnected
    DWORD staleMs;   // how long, meanwhile, its status still reports its last state
    BOOL reuseHandles;    // a new link takes the handle value freed last
    DWORD lastFreed;
    BOOL referenced;      // a dial of a connected entry adds a reference to its link
    BOOL longErrorTexts;  // RAS's error texts as long as today's Windows has them
    DWORD lastDialOptions;
    LONG connectSeq;
    LONG disconnectSeq;
    DWORD listeners[kMaxListeners];  // process ids with notification registrations
    DWORD dialCount;                 // dials since reset; the log keeps the first kMaxDials
    char dials[kMaxDials][kDialLen];
    DWORD callCount;                 // total since reset; the log keeps the newest kMaxCalls
    char calls[kMaxCalls][kCallLen];
    DWORD callPids[kMaxCalls];       // the process that made each call
};

extern HMODULE g_self;
extern State *g_state;

bool Attach();
void Lock();
void Unlock();
struct Guard {
    Guard() { Lock(); }
    ~Guard() { Unlock(); }
};

void LogCallLocked(const char *fn, const char *entry);
void LogCall(const char *fn, const char *entry = NULL);
// The error an injected fault gives this call, or 0; counts the call
// against a fault that clears itself.
DWORD FaultLocked(Op op);

Entry *FindEntry(const char *name);
Conn *FindConn(DWORD handle);
// A link that is not being hung up: the dial's own, or one RasHangUpA may end.
Conn *LiveConn(DWORD handle);
// The live link of an entry; with lingering, a hung-up one too (RAS still
// holds its port).
Conn *FindConnByName(const char *name, bool lingering = false);
Conn *NewConn(const char *name, DWORD state);
// Every state change of a connection goes through here so that connection
// and disconnection notifications follow it as the notify mode says.
void SetConnStateLocked(Conn *c, DWORD state);
// A hang-up, or a drop: at once, or after the linger, the handle goes.
void EndConnLocked(Conn *c);
void RemoveConnLocked(Conn *c);
// The earliest tick at which a lingering link goes; false when none lingers.
bool NextGoneLocked(DWORD *tick);

// Notifications (notify.cpp).
void InitNotifications();
void WakeListenersLocked();
void HookGetProcAddress();

// Appends to a bounded text, counting what the whole text would need.
void Append(LPSTR buffer, DWORD size, DWORD *used, const char *text);

#endif
