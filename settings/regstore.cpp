#include "settings.h"

namespace {

// Every operation opens (creating when missing) and closes its own key.
HKEY OpenKey(LPCSTR subKey) {
    HKEY key = NULL;
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, subKey, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, NULL, &key,
                        &disposition) != ERROR_SUCCESS)
        return NULL;
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
    if (!valueName) {
        CopyDefault(defaultText, buffer, maxLength);
        return;
    }
    HKEY key = OpenKey(subKey);
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
