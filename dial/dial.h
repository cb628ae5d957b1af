// Dialing from the tray menu: the phonebook's Dial submenu and the dial
// with its progress dialog.
#ifndef WENDLE_DIAL_H
#define WENDLE_DIAL_H

#include <windows.h>

#include "../app/rasapi.h"

// The dial in progress: one at a time.
extern HWND g_hDialWnd;
extern HRASCONN g_hRasConn;
extern char g_szDialEntry[256];

HMENU BuildDialSubmenu(HWND owner, HMENU trayPopup);
int DialMenuEntry(HWND owner, UINT commandId);

int DialPhonebookEntry(LPCSTR entryName);
DWORD GetEntryDialOptions(LPCSTR entryName);
DWORD GetRasEntryProperties(LPCSTR phonebook, LPCSTR entryName, RASENTRYA *entry, LPDWORD entrySize,
                            LPBYTE deviceInfo, LPDWORD deviceInfoSize);
VOID WINAPI DialEventCallback(UINT msg, RASCONNSTATE state, DWORD error);
int OnDialEvent(HWND dlg, RASCONNSTATE state, DWORD error);
UINT DialStateStringId(DWORD state);

#endif
