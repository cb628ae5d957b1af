// The user's settings and the registry operations every registry access of
// the program goes through (all below HKEY_CURRENT_USER).
#ifndef WENDLE_SETTINGS_H
#define WENDLE_SETTINGS_H

#include <windows.h>

#define SETTINGS_KEY "Software\\Ferrow Apps\\Wendle"

void GetRegistryString(LPCSTR subKey, LPCSTR valueName, LPCSTR defaultText, LPSTR buffer, LONG maxLength);

#endif
