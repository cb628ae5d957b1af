// Dialing from the tray menu: the phonebook's Dial submenu and the dial
// with its progress dialog.
#ifndef WENDLE_DIAL_H
#define WENDLE_DIAL_H

#include <windows.h>

#include "../platform/links.h"
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
// is hung up as its Cancel does, and no dial starts from now on.
void EndDialing(void);
DWORD GetEntryDialOptions(LPCSTR entryName);
DWORD GetRasEntryProperties(LPCSTR phonebook, LPCSTR entryName, RASENTRYA *entry, LPDWORD entrySize,
                            LPBYTE deviceInfo, LPDWORD deviceInfoSize);
// RAS's notifier for the dial (its second kind, which names the link).
VOID WINAPI DialEventCallback(HRASCONN conn, UINT msg, RASCONNSTATE state, DWORD error, DWORD extendedError);
int OnDialEvent(HWND dlg, RASCONNSTATE state, DWORD error);
UINT DialStateStringId(DWORD state);

#endif
