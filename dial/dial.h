// Dialing from the tray menu: the phonebook's Dial submenu and the dial
// with its progress dialog.
#ifndef WENDLE_DIAL_H
#define WENDLE_DIAL_H

#include <windows.h>

#include "../platform/rasapi.h"

// The dial in progress: one at a time.
extern HWND g_hDialWnd;
extern HRASCONN g_hRasConn;
extern char g_szDialEntry[256];

HMENU BuildDialSubmenu(HWND owner, HMENU trayPopup);
// Keeps the name on the chosen item before the menu goes, so that the
// command dials that entry, wherever it stands in the phonebook by then.
void NoteDialChoice(HMENU trayPopup, UINT commandId);
int DialMenuEntry(HWND owner, UINT commandId);

int DialPhonebookEntry(LPCSTR entryName);
// Dials may start: the main window is there.
void AllowDialing(void);
// The program is ending (Exit, log-off, shutdown): a dial still in progress
// is hung up as its Cancel does, no dial starts from now on, and RAS gets
// up to waitMs to let go of the last link a dial hung up (its port is left
// unusable when the program that hung up ends at once).
void EndDialing(DWORD waitMs);
DWORD GetEntryDialOptions(LPCSTR entryName);
DWORD GetRasEntryProperties(LPCSTR phonebook, LPCSTR entryName, RASENTRYA *entry, LPDWORD entrySize,
                            LPBYTE deviceInfo, LPDWORD deviceInfoSize);
VOID WINAPI DialEventCallback(UINT msg, RASCONNSTATE state, DWORD error);
int OnDialEvent(HWND dlg, RASCONNSTATE state, DWORD error);
UINT DialStateStringId(DWORD state);

#endif
