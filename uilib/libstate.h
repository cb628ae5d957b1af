// State shared inside the helper library (not exported).
#ifndef WENDLE_LIBSTATE_H
#define WENDLE_LIBSTATE_H

#include <windows.h>

// Makes the library report its failures in message boxes. Off; the program
// never switches it on, other modules of the library's users may.
extern LONG libraryReportErrors;

// GetVersion's major and minor version as major * 256 + minor.
inline WORD VersionWord(DWORD version) {
    return (WORD)((LOBYTE(LOWORD(version)) << 8) | HIBYTE(LOWORD(version)));
}

#endif
