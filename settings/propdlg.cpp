// "RAS Notification Properties": the one place where the user changes the
// settings. OK stores all four in memory and in the registry at once; the
// online monitor uses them from its next pass.
#include <stdlib.h>
#include <string.h>

#include "settings.h"
#include "../res/resource.h"
#include "../uilib/libstate.h"
#include "../uilib/uilib.h"

WinHelpFn g_pfnWinHelp = WinHelpA;

namespace {

const DWORD kHelpIds[] = {
    IDC_AUTODISCONNECT, 4, IDC_DISCONNECT_MINUTES, 5, IDC_DISCONNECT_LABEL, 5, IDC_DISCONNECT_UNIT, 5,
    IDC_REMIND,         6, IDC_REMIND_MINUTES,     7, IDC_REMIND_LABEL,     7, IDC_REMIND_UNIT,     7,
    IDOK,               8, IDCANCEL,               9, 0,                    0,
};

void ShowMinutes(HWND dlg, int field, LONG minutes) {
    char text[16];
    wsprintfA(text, "%d", minutes);
    SetDlgItemTextA(dlg, field, text);  // before the limit: a longer stored value shows whole
    SendDlgItemMessageA(dlg, field, EM_LIMITTEXT, 3, 0);
}

// What the field says, as atoi reads it, kept to 0..999: a negative number
// taken unsigned is above 999 too.
LONG ReadMinutes(HWND dlg, int field) {
    char text[20];
    GetDlgItemTextA(dlg, field, text, sizeof(text));
    LONG minutes = atoi(text);
    return (DWORD)minutes > 999 ? 999 : minutes;
}

void EnableControls(HWND dlg, const int *ids, int count, BOOL enable) {
    for (int i = 0; i < count; i++) EnableWindow(GetDlgItem(dlg, ids[i]), enable);
}

INT_PTR OnPropertiesInit(HWND dlg) {
    winCenter(dlg);
    SetForegroundWindow(dlg);
    ShowMinutes(dlg, IDC_DISCONNECT_MINUTES, AppSettings.disconnectMinutes);
    ShowMinutes(dlg, IDC_REMIND_MINUTES, AppSettings.remindMinutes);
    CheckDlgButton(dlg, IDC_AUTODISCONNECT, AppSettings.autoDisconnect);
    CheckDlgButton(dlg, IDC_REMIND, AppSettings.remindOnline);
    return TRUE;
}

INT_PTR OnPropertiesOK(HWND dlg) {
    AppSettings.disconnectMinutes = ReadMinutes(dlg, IDC_DISCONNECT_MINUTES);
    WriteRegistryInt(SETTINGS_KEY, "Disconnect Time", AppSettings.disconnectMinutes);
    AppSettings.remindMinutes = ReadMinutes(dlg, IDC_REMIND_MINUTES);
    WriteRegistryInt(SETTINGS_KEY, "Remind Time", AppSettings.remindMinutes);
    AppSettings.remindOnline = IsDlgButtonChecked(dlg, IDC_REMIND) ? 1 : 0;
    WriteRegistryBool(SETTINGS_KEY, "Remind Online", AppSettings.remindOnline);
    AppSettings.autoDisconnect = IsDlgButtonChecked(dlg, IDC_AUTODISCONNECT) ? 1 : 0;
    WriteRegistryBool(SETTINGS_KEY, "Auto Disconnect", AppSettings.autoDisconnect);
    EndDialog(dlg, 1);
    return TRUE;
}

INT_PTR OnAutoDisconnectClicked(HWND dlg) {
    static const int ids[] = {IDC_DISCONNECT_MINUTES, IDC_DISCONNECT_LABEL, IDC_DISCONNECT_UNIT};
    EnableControls(dlg, ids, 3, IsDlgButtonChecked(dlg, IDC_AUTODISCONNECT) == BST_CHECKED);
    return TRUE;
}

INT_PTR OnRemindClicked(HWND dlg) {
    static const int ids[] = {IDC_REMIND_LABEL, IDC_REMIND_UNIT, IDC_REMIND_MINUTES};
    EnableControls(dlg, ids, 3, IsDlgButtonChecked(dlg, IDC_REMIND) == BST_CHECKED);
    return TRUE;
}

INT_PTR OnPropertiesCommand(HWND dlg, WORD id) {
    switch (id) {
    case IDOK:
        return OnPropertiesOK(dlg);
    case IDCANCEL:
        EndDialog(dlg, 1);
        return TRUE;
    case IDC_AUTODISCONNECT:
        return OnAutoDisconnectClicked(dlg);
    case IDC_REMIND:
        return OnRemindClicked(dlg);
    }
    return TRUE;
}

DWORD HelpContextOf(HWND control) {
    for (const DWORD *entry = kHelpIds; entry[0]; entry += 2)
        if (entry[0] == (DWORD)GetDlgCtrlID(control)) return entry[1];
    return 0;
}

// The help file beside the EXE: a bare name would be looked for along the
// viewer's own search path, not here.
void HelpFilePath(LPSTR path, int size) {
    int length = (int)GetModuleFileNameA(g_hInstance, path, size);
    if (length <= 0 || length >= size) length = 0;
    while (length > 0 && path[length - 1] != '\\' && path[length - 1] != '/' && path[length - 1] != ':') length--;
    lstrcpynA(path + length, "Wendle.hlp", size - length);
}

// At the pointer when it is over the control (a click after the caption's
// "?"), otherwise under the control (F1: the pointer may be anywhere).
POINT PopupPlace(const HELPINFO *help, const RECT *field) {
    POINT at = help->MousePos;
    if (PtInRect(field, at)) {
        at.y += 16;
    } else {
        at.x = field->left;
        at.y = field->bottom + 2;
    }
    return at;
}

void ShowPopupBeside(HWND dlg, HWND control, const HELPINFO *help, LPCSTR text) {
    RECT field;
    GetWindowRect(control, &field);
    ShowHelpPopup(dlg, text, &field, PopupPlace(help, &field));
}

// The texts are kept in the program's code page, half the size of a string
// table's UTF-16 (records: context number and length, little-endian words,
// then the text). A missing or damaged resource leaves nothing to show.
int LoadHelpText(DWORD context, LPSTR text, int size) {
    if (size <= 0) return 0;
    HRSRC found = FindResourceA(g_hInstance, MAKEINTRESOURCEA(IDR_HELP_TEXTS), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(g_hInstance, found) : NULL;
    const BYTE *at = loaded ? (const BYTE *)LockResource(loaded) : NULL;
    DWORD left = at ? SizeofResource(g_hInstance, found) : 0;
    while (left >= 4) {
        DWORD number = at[0] | at[1] << 8, length = at[2] | at[3] << 8;
        at += 4;
        left -= 4;
        if (length > left) break;
        if (number == context) {
            if (length >= (DWORD)size) length = size - 1;
            memcpy(text, at, length);
            text[length] = '\0';
            return (int)length;
        }
        at += length;
        left -= length;
    }
    return 0;
}

// Windows Vista and later ship no WinHelp viewer; where one exists but
// cannot show the topic (it answers FALSE), it is told to go, and the dialog
// shows the same text itself.
INT_PTR OnPropertiesHelp(HWND dlg, const HELPINFO *help) {
    HWND control = (HWND)help->hItemHandle;
    DWORD context = HelpContextOf(control);
    if (!context) return TRUE;
    char path[MAX_PATH];
    HelpFilePath(path, sizeof(path));
    if (VersionWord(GetVersion()) < 0x0600) {
        if (g_pfnWinHelp(control, path, HELP_WM_HELP, (ULONG_PTR)kHelpIds)) return TRUE;
        g_pfnWinHelp(control, path, HELP_QUIT, 0);
    }
    char text[1024];
    if (LoadHelpText(context, text, sizeof(text)) > 0) ShowPopupBeside(dlg, control, help, text);
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK PropertiesProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG:
        return OnPropertiesInit(dlg);
    case WM_COMMAND:
        return OnPropertiesCommand(dlg, LOWORD(wParam));
    case WM_HELP:
        return OnPropertiesHelp(dlg, (const HELPINFO *)lParam);
    }
    return FALSE;
}

void OpenProperties(void) {
    DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_PROPERTIES), NULL, PropertiesProc, 0);
}
