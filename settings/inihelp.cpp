// INI-file helpers of the library, for other modules of its users.
#include <stdarg.h>
#include <stdlib.h>

#include "settings.h"
#include "../uilib/uilib.h"

namespace {

const int kItemSize = 256;    // the text written: at most 255 characters
const int kFormatSize = 1025;  // what wvsprintfA may write: 1024 characters

}  // namespace

BOOL WINAPI WritePrivateProfileInt(LPCSTR section, LPCSTR key, LONG value, LPCSTR file) {
    char text[12];  // "-2147483648" and its terminator
    wsprintfA(text, "%d", value);
    return WritePrivateProfileStringA(section, key, text, file);
}

// Formatted by the platform's formatter into room for all it can write, so
// that a long argument never runs past the buffer; the text written is cut
// at 255 characters.
BOOL __cdecl WritePrivateProfileItem(LPCSTR section, LPCSTR key, LPCSTR file, LPCSTR format, ...) {
    if (!format) return 0;
    char *text = (char *)malloc(kFormatSize);
    if (!text) return 0;
    va_list args;
    va_start(args, format);
    wvsprintfA(text, format, args);
    va_end(args);
    text[kItemSize - 1] = 0;
    BOOL result = WritePrivateProfileStringA(section, key, text, file);
    free(text);
    return result;
}

LONG WINAPI GetPrivateProfileBool(LPCSTR section, LPCSTR key, LONG defaultOn, LPCSTR file) {
    char text[16];
    GetPrivateProfileStringA(section, key, defaultOn ? "1" : "0", text, sizeof(text), file);
    return ParseSwitchText(text);
}
