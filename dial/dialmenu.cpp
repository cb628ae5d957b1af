// The "&Dial" submenu: the RAS phonebook read afresh at every opening of the
// tray menu and again when an item is chosen.
#include <stdlib.h>
#include <string.h>

#include "dial.h"
#include "../platform/platform.h"
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
        char text[kRasErrorTextSize];
        RasErrorText(pb->result, "Undefined RasEnumEntries Error (%ld).", text);
        MessageBoxA(owner, text, APP_CAPTION, MB_ICONERROR);
    }
}

// The item chosen from the last tray menu, kept by the name the user saw on
// it: the phonebook may change while the menu is open, and the entry that
// then stands at the item's position is not the one the user chose.
UINT g_chosenId;
char g_chosenName[RAS_MaxEntryName + 1];

// A menu takes "&" as the mark of the next letter's underline: each one is
// doubled so that "Dial-in & VPN" shows as written.
void MenuTextOf(LPCSTR name, LPSTR text, int size) {
    int n = 0;
    for (; *name && n < size - 2; name++) {
        if (*name == '&') text[n++] = '&';
        text[n++] = *name;
    }
    text[n] = 0;
}

// The entry a command stands for in a fresh reading, or NULL.
LPCSTR EntryForCommand(const Phonebook *pb, UINT commandId) {
    if (commandId == g_chosenId) {
        for (DWORD i = 0; i < pb->count; i++)
            if (strcmp(pb->entries[i].szEntryName, g_chosenName) == 0) return pb->entries[i].szEntryName;
        return NULL;  // gone since the menu was shown: dial nothing rather than another line
    }
    // A command that did not come from the tray menu: the entry now at its position.
    DWORD index = commandId - IDM_DIAL_FIRST;
    return commandId >= IDM_DIAL_FIRST && index < pb->count ? pb->entries[index].szEntryName : NULL;
}

}  // namespace

void NoteDialChoice(HMENU trayPopup, UINT commandId) {
    g_chosenId = 0;
    if (commandId < IDM_DIAL_FIRST || commandId > IDM_DIAL_LAST) return;
    char text[2 * sizeof(g_chosenName)];
    if (GetMenuStringA(trayPopup, commandId, text, sizeof(text), MF_BYCOMMAND) <= 0) return;
    int n = 0;  // the name itself, each doubled "&" single again
    for (LPCSTR c = text; *c && n < (int)sizeof(g_chosenName) - 1; c++) {
        if (c[0] == '&' && c[1] == '&') c++;
        g_chosenName[n++] = *c;
    }
    g_chosenName[n] = 0;
    g_chosenId = commandId;
}

HMENU BuildDialSubmenu(HWND owner, HMENU trayPopup) {
    HMENU submenu = CreatePopupMenu();
    InsertMenuA(trayPopup, 0, MF_BYPOSITION | MF_POPUP, (UINT_PTR)submenu, "&Dial");
    Phonebook pb;
    ReadPhonebook(owner, &pb);
    if (!pb.entries) return submenu;
    if (pb.result == 0) {
        char text[2 * (RAS_MaxEntryName + 1)];
        for (DWORD i = 0; i < pb.count; i++) {
            MenuTextOf(pb.entries[i].szEntryName, text, sizeof(text));
            AppendMenuA(submenu, MF_STRING, IDM_DIAL_FIRST + i, text);
        }
        if (pb.count == 0) EnableMenuItem(trayPopup, 0, MF_BYPOSITION | MF_DISABLED | MF_GRAYED);
    }
    free(pb.entries);
    return submenu;
}

int DialMenuEntry(HWND owner, UINT commandId) {
    Phonebook pb;
    ReadPhonebook(owner, &pb);
    if (!pb.entries) {
        g_chosenId = 0;
        return 1;
    }
    LPCSTR entry = pb.result == 0 ? EntryForCommand(&pb, commandId) : NULL;
    g_chosenId = 0;
    if (entry) DialPhonebookEntry(entry);
    free(pb.entries);
    return 1;
}
