// The "&Dial" submenu: the RAS phonebook read afresh at every opening of the
// tray menu and again when an item is chosen, found by its position.
#include <stdlib.h>

#include "dial.h"
#include "../app/app.h"
#include "../res/resource.h"

namespace {

// One reading of the default phonebook. A list of one entry costs one RAS
// call; a longer one exactly two.
struct Phonebook {
    RASENTRYNAMEA *entries;  // NULL when the first allocation failed
    DWORD count;
    DWORD result;
};

void ReadPhonebook(HWND owner, Phonebook *pb) {
    pb->count = 0;
    pb->result = ERROR_NOT_ENOUGH_MEMORY;
    pb->entries = (RASENTRYNAMEA *)malloc(sizeof(RASENTRYNAMEA));
    if (!pb->entries) return;
    pb->entries[0].dwSize = sizeof(RASENTRYNAMEA);
    DWORD bytes = sizeof(RASENTRYNAMEA);
    pb->result = RasEnumEntriesA(NULL, NULL, pb->entries, &bytes, &pb->count);
    if (pb->result == RAS_ERROR_BUFFER_TOO_SMALL) {
        RASENTRYNAMEA *grown = (RASENTRYNAMEA *)realloc(pb->entries, bytes);
        if (!grown) {
            pb->result = ERROR_NOT_ENOUGH_MEMORY;
        } else {
            pb->entries = grown;
            pb->result = RasEnumEntriesA(NULL, NULL, pb->entries, &bytes, &pb->count);
        }
        if (pb->result == 0 && pb->count > bytes / sizeof(RASENTRYNAMEA)) pb->count = bytes / sizeof(RASENTRYNAMEA);
        return;
    }
    if (pb->result != 0) {
        char text[256];
        if (RasGetErrorStringA(pb->result, text, sizeof(text)) != 0)
            lstrcpynA(text, "Undefined RasEnumEntries Error.", sizeof(text));
        MessageBoxA(owner, text, APP_CAPTION, MB_ICONERROR);
    }
}

}  // namespace

HMENU BuildDialSubmenu(HWND owner, HMENU trayPopup) {
    HMENU submenu = CreatePopupMenu();
    InsertMenuA(trayPopup, 0, MF_BYPOSITION | MF_POPUP, (UINT_PTR)submenu, "&Dial");
    Phonebook pb;
    ReadPhonebook(owner, &pb);
    if (!pb.entries) return submenu;
    if (pb.result == 0) {
        for (DWORD i = 0; i < pb.count; i++)
            AppendMenuA(submenu, MF_STRING, IDM_DIAL_FIRST + i, pb.entries[i].szEntryName);
        if (pb.count == 0) EnableMenuItem(trayPopup, 0, MF_BYPOSITION | MF_DISABLED | MF_GRAYED);
    }
    free(pb.entries);
    return submenu;
}

int DialMenuEntry(HWND owner, UINT commandId) {
    Phonebook pb;
    ReadPhonebook(owner, &pb);
    if (!pb.entries) return 1;
    if (pb.result == 0 && commandId >= IDM_DIAL_FIRST && commandId - IDM_DIAL_FIRST < pb.count)
        DialPhonebookEntry(pb.entries[commandId - IDM_DIAL_FIRST].szEntryName);
    free(pb.entries);
    return 1;
}
