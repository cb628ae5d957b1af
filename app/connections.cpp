#include <stdlib.h>

#include "app.h"

namespace {

const DWORD kLocalRecords = 4;

// One fresh look at RAS's connection list. Four records on the stack cover
// the usual case without touching the heap; when RAS says it needs more room
// the list is read once more into a block of the size it asked for, so a
// fifth connection never hides the others.
struct Snapshot {
    RASCONNA local[kLocalRecords];
    RASCONNA *conns;
    DWORD count;
    DWORD result;
    BOOL tooSmall;  // RAS needed more room than could be given
};

void TakeSnapshot(Snapshot *s) {
    for (DWORD i = 0; i < kLocalRecords; i++) s->local[i].dwSize = sizeof(RASCONNA);
    DWORD bytes = sizeof(s->local);
    s->conns = s->local;
    s->count = 0;
    s->tooSmall = FALSE;
    s->result = RasEnumConnectionsA(s->local, &bytes, &s->count);
    if (s->result == 0 && s->count > kLocalRecords) s->count = kLocalRecords;
    if (bytes <= sizeof(s->local)) return;

    RASCONNA *block = (RASCONNA *)malloc(bytes);
    if (!block) {
        s->tooSmall = TRUE;
        return;
    }
    block[0].dwSize = sizeof(RASCONNA);
    DWORD capacity = bytes / sizeof(RASCONNA);
    s->count = 0;
    s->result = RasEnumConnectionsA(block, &bytes, &s->count);
    if (s->result != 0) {
        s->tooSmall = s->result == RAS_ERROR_BUFFER_TOO_SMALL;
        free(block);
        return;
    }
    if (s->count > capacity) s->count = capacity;
    s->conns = block;
}

void ReleaseSnapshot(Snapshot *s) {
    if (s->conns != s->local) free(s->conns);
    s->conns = s->local;
}

// RAS's word on one connection. A connection that ended between the
// enumeration and the status query is simply gone (its handle no longer
// valid); any other failure means RAS did not answer, which is not the same
// as "no line". One rule for every query that decides what to do with a line.
LineState LinkState(HRASCONN conn) {
    RASCONNSTATUSA status;
    status.dwSize = sizeof(status);
    DWORD r = RasGetConnectStatusA(conn, &status);
    if (r == 0) return status.rasconnstate == RASCS_Connected ? LINE_UP : LINE_DOWN;
    return r == ERROR_INVALID_HANDLE ? LINE_DOWN : LINE_UNKNOWN;
}

}  // namespace

// Whether any of the given links, or any link at all (links NULL), is up.
// A link is its handle and its entry: RAS may give a freed handle to a new
// link, which is not the one the caller knew.
LineState AnyLinkStillUp(const LinkId *links, int count) {
    Snapshot s;
    TakeSnapshot(&s);
    LineState line = s.result == 0 ? LINE_DOWN : LINE_UNKNOWN;
    for (DWORD i = 0; s.result == 0 && i < s.count && line != LINE_UP; i++) {
        int k = 0;
        while (links && k < count &&
               (links[k].conn != s.conns[i].hrasconn || lstrcmpA(links[k].entry, s.conns[i].szEntryName) != 0))
            k++;
        if (links && k == count) continue;  // a link that came up since
        LineState link = LinkState(s.conns[i].hrasconn);
        if (link != LINE_DOWN) line = link;
    }
    ReleaseSnapshot(&s);
    return line;
}

LineState QueryLine(void) { return AnyLinkStillUp(NULL, 0); }

BOOL AnyConnectionUp(HWND) { return QueryLine() == LINE_UP; }

int ConnectedLinks(LinkId *links, int max) {
    Snapshot s;
    TakeSnapshot(&s);
    int n = s.result == 0 ? 0 : -1;
    for (DWORD i = 0; n >= 0 && i < s.count && n < max; i++) {
        LineState link = LinkState(s.conns[i].hrasconn);
        if (link == LINE_UP) {
            links[n].conn = s.conns[i].hrasconn;
            lstrcpynA(links[n].entry, s.conns[i].szEntryName, sizeof(links[n].entry));
            n++;
        } else if (link == LINE_UNKNOWN)
            n = -1;  // a link RAS would not describe may be the one that is up
    }
    ReleaseSnapshot(&s);
    return n;
}

int HangUpAllConnections(HWND owner) {
    Snapshot s;
    TakeSnapshot(&s);
    if (s.tooSmall) MessageBoxA(owner, "Error: Enum Buffer Too Small", APP_CAPTION, MB_ICONWARNING);
    if (s.result == 0) {
        for (DWORD i = 0; i < s.count; i++) {
            if (LinkState(s.conns[i].hrasconn) == LINE_UP) HangUpLink(s.conns[i].hrasconn, s.conns[i].szEntryName);
        }
    }
    ReleaseSnapshot(&s);
    return 1;
}
