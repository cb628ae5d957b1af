// State the helper library shares within itself and with the program built
// on it (none of it exported).
#ifndef WENDLE_LIBSTATE_H
#define WENDLE_LIBSTATE_H

#include <windows.h>

// The module the program runs from (the EXE), set once at start-up: its
// resources, classes and dialogs.
extern HINSTANCE g_hInstance;

// A function of a system DLL that older Windows lack, or NULL: one import
// that Windows 95 or NT 3.51 lacks would keep the whole program from loading.
FARPROC SystemFunction(LPCSTR module, LPCSTR name);

// Makes the library report its failures in message boxes. Off; the program
// never switches it on, other modules of the library's users may.
extern LONG libraryReportErrors;

// GetVersion's major and minor version as major * 256 + minor.
inline WORD VersionWord(DWORD version) {
    return (WORD)((LOBYTE(LOWORD(version)) << 8) | HIBYTE(LOWORD(version)));
}

#endif
