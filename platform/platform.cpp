#include "platform.h"
#include "../uilib/libstate.h"

BOOL IsLegacyVersion(DWORD version) {
    WORD word = VersionWord(version);
    if (word <= 0x0333) return FALSE;  // NT 3.51 and older: the NT path
    // The Windows 95 family sets the top bit; NT keeps its build number
    // there, which passes 10000 from Windows 10 on.
    return (version & 0x80000000) != 0;
}

BOOL IsLegacyRasPlatform(void) { return IsLegacyVersion(GetVersion()); }
