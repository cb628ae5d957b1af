// The links the program itself hangs up, and what RAS says of one link.
#ifndef WENDLE_LINKS_H
#define WENDLE_LINKS_H

#include <windows.h>

#include "rasapi.h"

enum LinkFate { LINK_GONE, LINK_HERE, LINK_UNKNOWN };

// How much of an entry's name tells its links apart here (a dial keeps no
// more of it).
const int kEntryKept = 256;

// RAS's word on one link, known by its handle and its entry: RAS may give a
// freed handle to the next link, so a handle that RAS now lists under
// another entry is as gone as one it no longer knows. LINK_HERE fills the
// status record; LINK_UNKNOWN: RAS did not answer.
LinkFate LookAtLink(HRASCONN conn, LPCSTR entry, RASCONNSTATUSA *status);

// Hangs a link up for good and follows it until RAS has let it go: RAS
// wants a program to wait for that before it ends, or the port may stay
// unusable. A link RAS still calls connected afterwards (each dial of a
// connected entry adds a reference, and one hang-up ends one reference) is
// hung up again, a bounded number of times. Main thread only: it is
// followed by a timer of that thread.
void HangUpLink(HRASCONN conn, LPCSTR entry);
// Waits until RAS has let go of every link hung up, or waitMs have passed.
void WaitForLinksGone(DWORD waitMs);

// The text of a RAS error for the user, with the number wherever the text
// is not RAS's own: RAS's text, else Windows' text, else `undefined` (a
// short format with one %ld) with the number. text holds kRasErrorTextSize.
const int kRasErrorTextSize = 512;  // what RAS's reference says always suffices
void RasErrorText(DWORD error, LPCSTR undefined, LPSTR text);

#endif
