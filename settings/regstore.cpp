#include "settings.h"
#include "../uilib/libstate.h"
#include "../uilib/uilib.h"

WendleSettings AppSettings;

namespace {

const char kKeyError[] = "Error Creating Root Registry Key";

void Report(LPCSTR text) {
    if (libraryReportErrors) Comment(GetFocus(), "RegWrite", "%s", text);
}

// Every operation opens (creating when missing) and closes its own key.
HKEY OpenKey(LPCSTR subKey) {
    HKEY key = NULL;
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, subKey, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                        &disposition) != ERROR_SUCCESS) {
        Report(kKeyError);
        return NULL;
    }
    return key;
}

void CopyDefault(LPCSTR defaultText, LPSTR buffer, LONG maxLength) {
    if (defaultText)
        lstrcpynA(buffer, defaultText, maxLength + 1);
    else
        buffer[0] = 0;
}

}  // namespace

void GetRegistryString(LPCSTR subKey, LPCSTR valueName, LPCSTR defaultText, LPSTR buffer, LONG maxLength) {
    HKEY key = valueName ? OpenKey(subKey) : NULL;
    if (!key) {
        CopyDefault(defaultText, buffer, maxLength);
        return;
    }
    DWORD type, size = (DWORD)maxLength;
    LONG r = RegQueryValueExA(key, valueName, NULL, &type, (LPBYTE)buffer, &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) {
        CopyDefault(defaultText, buffer, maxLength);
        return;
    }
    // Data stored without a terminator (another type, another writer) get one.
    buffer[size < (DWORD)maxLength ? size : (DWORD)maxLength] = 0;
}

LONG WriteRegistryString(LPCSTR subKey, LPCSTR valueName, LPCSTR text) {
    if (!valueName || !text) return 0;
    HKEY key = OpenKey(subKey);
    if (!key) return 0;
    LONG r = RegSetValueExA(key, valueName, 0, REG_SZ, (const BYTE *)text, lstrlenA(text) + 1);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) {
        if (libraryReportErrors) Comment(GetFocus(), "RegWrite", "Error Setting Registry Value %s To %s", valueName, text);
        return 0;
    }
    return 1;
}

// Only a whole four-byte number counts: a shorter value (a .reg file can
// write one) would leave part of the result unset, and a key that cannot be
// opened is no reason to load 0, which would make every prompt due at once.
LONG GetRegistryInt(LPCSTR subKey, LPCSTR valueName, LONG defaultValue) {
    if (!valueName) return defaultValue;
    HKEY key = OpenKey(subKey);
    if (!key) return defaultValue;
    DWORD type, size = sizeof(DWORD);
    LONG value;
    LONG r = RegQueryValueExA(key, valueName, NULL, &type, (LPBYTE)&value, &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) {
        Report(kKeyError);
        return defaultValue;
    }
    return type == REG_DWORD && size == sizeof(DWORD) ? value : defaultValue;
}

LONG WriteRegistryInt(LPCSTR subKey, LPCSTR valueName, LONG value) {
    if (!valueName) return 0;
    HKEY key = OpenKey(subKey);
    if (!key) return 0;
    LONG r = RegSetValueExA(key, valueName, 0, REG_DWORD, (const BYTE *)&value, sizeof(value));
    RegCloseKey(key);
    return r == ERROR_SUCCESS ? 1 : 0;
}

LONG GetRegistryBool(LPCSTR subKey, LPCSTR valueName, LONG defaultOn) {
    char text[17];
    GetRegistryString(subKey, valueName, defaultOn ? "1" : "0", text, 16);
    return ParseSwitchText(text);
}

LONG WriteRegistryBool(LPCSTR subKey, LPCSTR valueName, LONG on) {
    return WriteRegistryString(subKey, valueName, on ? "Yes" : "No");
}

LONG ParseSwitchText(LPCSTR text) {
    static const char *const kOff[] = {"N", "NO", "OFF", "F", "FALSE"};
    if (!text[0] || lstrcmpA(text, "0") == 0) return 0;
    for (size_t i = 0; i < sizeof(kOff) / sizeof(kOff[0]); i++) {
        const char *a = text, *b = kOff[i];
        // Case folding of A to Z only, so the answer never depends on the locale.
        while (*a && *b && (*a == *b || (*a >= 'a' && *a <= 'z' && *a - 'a' + 'A' == *b))) {
            a++;
            b++;
        }
        if (!*a && !*b) return 0;
    }
    return 1;
}

void LoadSettings(void) {
    AppSettings.disconnectMinutes = GetRegistryInt(SETTINGS_KEY, "Disconnect Time", 60);
    AppSettings.remindMinutes = GetRegistryInt(SETTINGS_KEY, "Remind Time", 20);
    AppSettings.remindOnline = GetRegistryBool(SETTINGS_KEY, "Remind Online", 1);
    AppSettings.autoDisconnect = GetRegistryBool(SETTINGS_KEY, "Auto Disconnect", 1);
}
