// The user's settings and the registry operations every registry access of
// the program goes through (all below HKEY_CURRENT_USER).
#ifndef WENDLE_SETTINGS_H
#define WENDLE_SETTINGS_H

#include <windows.h>

#define SETTINGS_KEY "Software\\Ferrow Apps\\Wendle"

// Written on the main thread, read by the online monitor at every pass
// without a lock: each field is one aligned 32-bit word, read whole.
struct WendleSettings {
    volatile LONG disconnectMinutes;
    volatile LONG remindMinutes;
    volatile LONG remindOnline;    // 1 on, 0 off
    volatile LONG autoDisconnect;  // 1 on, 0 off
};
extern WendleSettings AppSettings;

void LoadSettings(void);

void GetRegistryString(LPCSTR subKey, LPCSTR valueName, LPCSTR defaultText, LPSTR buffer, LONG maxLength);
LONG WriteRegistryString(LPCSTR subKey, LPCSTR valueName, LPCSTR text);
LONG GetRegistryInt(LPCSTR subKey, LPCSTR valueName, LONG defaultValue);
LONG WriteRegistryInt(LPCSTR subKey, LPCSTR valueName, LONG value);
LONG GetRegistryBool(LPCSTR subKey, LPCSTR valueName, LONG defaultOn);
LONG WriteRegistryBool(LPCSTR subKey, LPCSTR valueName, LONG on);
LONG ParseSwitchText(LPCSTR text);

// The properties dialog, opened modally without an owner.
INT_PTR CALLBACK PropertiesProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
void OpenProperties(void);
// A topic's text in a pop-up beside the field it explains (screen
// coordinates), from the given point on when there is room, owned by a
// dialog whose font it takes; the pop-up, or NULL.
HWND ShowHelpPopup(HWND owner, LPCSTR text, const RECT *field, POINT at);
// The help call; tests observe it here.
typedef BOOL (WINAPI *WinHelpFn)(HWND hwnd, LPCSTR file, UINT command, ULONG_PTR data);
extern WinHelpFn g_pfnWinHelp;

#endif
