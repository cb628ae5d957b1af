// What the tray application and its dialing share, below both: the name
// the program's message boxes carry, and which kind of RAS the platform has.
#ifndef WENDLE_PLATFORM_H
#define WENDLE_PLATFORM_H

#include <windows.h>

#define APP_CAPTION "Wendle"

// The Windows 95 family: RAS without connection notifications, whose
// RasDial ignores the dial extension record. The rule, for a GetVersion
// value, and for this platform.
BOOL IsLegacyVersion(DWORD version);
BOOL IsLegacyRasPlatform(void);

#endif
