// Control interface of the simulated RASAPI32. Only rasctl and the tests use
// it; the program itself sees nothing but the ordinary RAS entry points.
#ifndef WENDLE_RASSIM_H
#define WENDLE_RASSIM_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Each returns 0 on success or a Win32/RAS error number.
DWORD WINAPI RasSimIsSimulator(void);
DWORD WINAPI RasSimReset(void);
DWORD WINAPI RasSimAddEntry(LPCSTR name, BOOL passwordSaved);
DWORD WINAPI RasSimRemoveEntry(LPCSTR name);
DWORD WINAPI RasSimSetState(LPCSTR name, DWORD state);
DWORD WINAPI RasSimDrop(LPCSTR name);  // NULL drops every connection
DWORD WINAPI RasSimSetDialScript(LPCSTR name, LPCSTR spec);
DWORD WINAPI RasSimSetFault(LPCSTR op, DWORD error);  // error 0 turns it off
// The next `times` calls of OP fail with error, then the fault clears
// itself (0: until turned off).
DWORD WINAPI RasSimSetFaultTimes(LPCSTR op, DWORD error, DWORD times);
// The entry's modem speaker and software compression (both on when added)
// and whether the phonebook holds a dialing prefix/suffix for it.
DWORD WINAPI RasSimSetEntryOptions(LPCSTR name, BOOL speaker, BOOL compression, BOOL prefixSuffix);
// Which handle RasConnectionNotificationA takes for every connection:
// "any" (null or INVALID_HANDLE_VALUE), "invalid" or "null".
DWORD WINAPI RasSimSetNotifyHandle(LPCSTR kind);
// When registrations are signalled: "every" (each change), "once" (each
// registration at most once), "silent" (never), "early" (a connection when
// it is created, not when it connects).
DWORD WINAPI RasSimSetNotifyMode(LPCSTR mode);
// How long a hung-up or dropped link stays listed, in state Disconnected,
// before its handle goes and its disconnection is signalled (0: at once).
DWORD WINAPI RasSimSetLinger(DWORD ms);
// How long a hung-up link's status still reports the state it had, before
// Disconnected (0: not at all); the link lingers at least that long.
DWORD WINAPI RasSimSetStale(DWORD ms);
// Switches a behaviour of real RAS, each off by default and after a reset:
// "handles" "reuse" (a new link takes a freed handle value) or "fresh";
// "referenced" "on" (dialling a connected entry hands over its link with one
// more reference, which one more hang-up ends) or "off" (refused with 602);
// "errortexts" "long" (VPN errors 800 and 809 with texts of today's length)
// or "short".
DWORD WINAPI RasSimSetMode(LPCSTR mode, LPCSTR value);
DWORD WINAPI RasSimSetMissing(LPCSTR function);       // NULL or "off" clears
// Text reports, one line per item ("NAME\tSTATE\n", "RasDialA Home\n").
// Return the bytes needed including the terminator; the text is cut to size.
DWORD WINAPI RasSimListConnections(LPSTR buffer, DWORD size);
DWORD WINAPI RasSimGetCalls(LPSTR buffer, DWORD size);
// The calls one process made (process id; 0: every process).
DWORD WINAPI RasSimGetCallsOf(DWORD pid, LPSTR buffer, DWORD size);
// What each dial since the reset really did on the line:
// "NAME speaker=on|off compression=on|off prefixsuffix=yes|no\n".
DWORD WINAPI RasSimGetDials(LPSTR buffer, DWORD size);
// Drops this process's notification registrations, as its end would: a
// test that starts the program again in one process starts clean.
DWORD WINAPI RasSimForgetRegistrations(void);
// Option word of the most recent RasDialA, or 0xFFFFFFFF when it had no
// extension record.
DWORD WINAPI RasSimLastDialOptions(void);

#ifdef __cplusplus
}
#endif

#endif
