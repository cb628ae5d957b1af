#include "links.h"

#include <stdlib.h>

namespace {

// More links than RAS ever holds at once: each entry has one link, and RAS
// refuses to dial an entry again until its last link has gone.
const int kMaxGoing = 16;
// A hang-up ends one reference; an entry dialled this many times over is
// left as it is (another program may hold it on purpose).
const int kMaxHangUps = 4;
// How often a link is looked at while it goes. RAS may answer with the
// link's last state for a moment after a hang-up, so a link is hung up
// again only when it still says connected this long after the last one.
const DWORD kFollowMs = 250;
// RAS lets a link go within seconds; one it keeps beyond this is not
// followed any longer, so that nothing polls RAS for ever.
const DWORD kFollowMaxMs = 60000;

struct Going {
    HRASCONN conn;
    char entry[kEntryKept];
    int hangUps;
    DWORD since;     // the first hang-up
    DWORD lastHangUp;
};

// Made when the first link goes and freed when the last has gone: the
// program carries no room for it while nothing is on its way.
Going *g_going;
int g_goingCount;
UINT_PTR g_followTimer;

// Whether RAS lists the handle under another entry now. A listing that
// cannot be read, or one without the handle, is no proof of that; more
// links than eight at once are no case for a dial-up tray. Names count in
// their first 255 characters, as much as the program keeps of a dial's.
BOOL TakenByAnother(HRASCONN conn, LPCSTR entry) {
    RASCONNA conns[8];
    for (int i = 0; i < 8; i++) conns[i].dwSize = sizeof(RASCONNA);
    DWORD bytes = sizeof(conns), count = 0;
    if (RasEnumConnectionsA(conns, &bytes, &count) != 0) return FALSE;
    for (DWORD i = 0; i < count && i < 8; i++) {
        if (conns[i].hrasconn != conn) continue;
        char kept[kEntryKept];
        lstrcpynA(kept, entry, sizeof(kept));
        conns[i].szEntryName[kEntryKept - 1] = 0;
        return lstrcmpA(conns[i].szEntryName, kept) != 0;
    }
    return FALSE;
}

void Forget(int i) { g_going[i] = g_going[--g_goingCount]; }

// One look at every link on its way. Whether any is left.
BOOL FollowGoing(void) {
    DWORD now = GetTickCount();
    for (int i = 0; i < g_goingCount;) {
        Going *g = &g_going[i];
        RASCONNSTATUSA status;
        LinkFate fate = LookAtLink(g->conn, g->entry, &status);
        BOOL connected = fate == LINK_HERE && status.rasconnstate == RASCS_Connected;
        BOOL due = now - g->lastHangUp >= kFollowMs;
        if (fate == LINK_GONE || now - g->since >= kFollowMaxMs || (connected && due && g->hangUps >= kMaxHangUps)) {
            Forget(i);
            continue;
        }
        if (connected && due) {
            RasHangUpA(g->conn);
            g->hangUps++;
            g->lastHangUp = now;
        }
        i++;
    }
    return g_goingCount > 0;
}

void StopFollowing(void) {
    if (g_followTimer) KillTimer(NULL, g_followTimer);
    g_followTimer = 0;
    free(g_going);
    g_going = NULL;
}

VOID CALLBACK OnFollowTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (!FollowGoing()) StopFollowing();
}

}  // namespace

LinkFate LookAtLink(HRASCONN conn, LPCSTR entry, RASCONNSTATUSA *status) {
    status->dwSize = sizeof(RASCONNSTATUSA);
    DWORD r = RasGetConnectStatusA(conn, status);
    if (r == ERROR_INVALID_HANDLE) return LINK_GONE;
    if (r != 0) return LINK_UNKNOWN;
    return TakenByAnother(conn, entry) ? LINK_GONE : LINK_HERE;
}

void HangUpLink(HRASCONN conn, LPCSTR entry) {
    if (!conn) return;
    // A handle RAS has given to another entry's link is not this one's.
    if (TakenByAnother(conn, entry)) return;
    RasHangUpA(conn);
    for (int i = 0; i < g_goingCount; i++)
        if (g_going[i].conn == conn && lstrcmpA(g_going[i].entry, entry) == 0) return;  // already followed
    if (!g_going) g_going = (Going *)malloc(kMaxGoing * sizeof(Going));
    if (!g_going) return;
    if (g_goingCount == kMaxGoing) FollowGoing();
    if (g_goingCount == kMaxGoing) return;
    Going *g = &g_going[g_goingCount++];
    g->conn = conn;
    lstrcpynA(g->entry, entry, sizeof(g->entry));
    g->hangUps = 1;
    g->since = g->lastHangUp = GetTickCount();
    if (!g_followTimer) g_followTimer = SetTimer(NULL, 0, kFollowMs, OnFollowTimer);
}

void WaitForLinksGone(DWORD waitMs) {
    DWORD start = GetTickCount();
    while (FollowGoing()) {
        DWORD gone = GetTickCount() - start;
        if (gone >= waitMs) break;
        Sleep(waitMs - gone < 50 ? waitMs - gone : 50);
    }
    if (!g_goingCount) StopFollowing();
}

void RasErrorText(DWORD error, LPCSTR undefined, LPSTR text) {
    if (RasGetErrorStringA(error, text, kRasErrorTextSize) == 0 && text[0]) return;
    char system[kRasErrorTextSize];
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error, 0, system,
                             sizeof(system), NULL);
    while (n > 0 && (BYTE)system[n - 1] <= ' ') n--;  // its line break
    system[n < sizeof(system) ? n : 0] = 0;
    if (n)
        wsprintfA(text, "Error %lu: %.480s", error, system);
    else
        wsprintfA(text, undefined, (long)error);
}
