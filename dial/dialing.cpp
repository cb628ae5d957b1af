// One dial with its modeless progress dialog. RAS reports each state change
// on a thread of its own; the notifier only posts it to the dialog, so all
// the work happens on the main thread.
#include "dial.h"
#include "../app/app.h"
#include "../res/resource.h"
#include "../uilib/uilib.h"

HWND g_hDialWnd;
HRASCONN g_hRasConn;
char g_szDialEntry[256];

namespace {

// A dial is being set up: its warning boxes run message loops of their own,
// in which the user may choose another entry before the dialog exists.
BOOL g_dialStarting;

const UINT kStatusPeriodMs = 500;

struct StateText {
    DWORD state;
    UINT id;
};

const StateText kStateTexts[] = {
    {RASCS_OpenPort, IDS_RASCS_OPENPORT},
    {RASCS_PortOpened, IDS_RASCS_PORTOPENED},
    {RASCS_ConnectDevice, IDS_RASCS_CONNECTDEVICE},
    {RASCS_DeviceConnected, IDS_RASCS_DEVICECONNECTED},
    {RASCS_AllDevicesConnected, IDS_RASCS_ALLDEVICESCONNECTED},
    {RASCS_Authenticate, IDS_RASCS_AUTHENTICATE},
    {RASCS_AuthNotify, IDS_RASCS_AUTHNOTIFY},
    {RASCS_AuthRetry, IDS_RASCS_AUTHRETRY},
    {RASCS_AuthCallback, IDS_RASCS_AUTHCALLBACK},
    {RASCS_AuthChangePassword, IDS_RASCS_AUTHCHANGEPASSWORD},
    {RASCS_AuthProject, IDS_RASCS_AUTHPROJECT},
    {RASCS_AuthLinkSpeed, IDS_RASCS_AUTHLINKSPEED},
    {RASCS_AuthAck, IDS_RASCS_AUTHACK},
    {RASCS_ReAuthenticate, IDS_RASCS_REAUTHENTICATE},
    {RASCS_Authenticated, IDS_RASCS_AUTHENTICATED},
    {RASCS_PrepareForCallback, IDS_RASCS_PREPAREFORCALLBACK},
    {RASCS_WaitForModemReset, IDS_RASCS_WAITFORMODEMRESET},
    {RASCS_WaitForCallback, IDS_RASCS_WAITFORCALLBACK},
    {RASCS_Interactive, IDS_RASCS_INTERACTIVE},
    {RASCS_RetryAuthentication, IDS_RASCS_RETRYAUTHENTICATION},
    {RASCS_CallbackSetByCaller, IDS_RASCS_CALLBACKSETBYCALLER},
    {RASCS_PasswordExpired, IDS_RASCS_PASSWORDEXPIRED},
    {RASCS_Connected, IDS_RASCS_CONNECTED},
    {RASCS_Disconnected, IDS_RASCS_DISCONNECTED},
};

const DWORD RDEOPT_UsePrefixSuffix = 0x00000001;

// The modeless dialog is destroyed, not ended: EndDialog would only hide it.
// Its status timer stops in WM_DESTROY, whatever ended the dial.
void CloseDialDialog(HWND dlg) { DestroyWindow(dlg); }

// One dial at a time: a second choice brings the running one forward and
// says why nothing else is dialled.
void ShowDialInProgress(void) {
    char text[400];
    wsprintfA(text, "Already dialing %.255s.\nCancel that dial before starting another.", g_szDialEntry);
    HWND dialog = g_hDialWnd && IsWindow(g_hDialWnd) ? g_hDialWnd : NULL;
    if (dialog) SetForegroundWindow(dialog);
    MessageBoxA(dialog, text, APP_CAPTION, MB_ICONINFORMATION);
}

INT_PTR OnDialInit(HWND dlg) {
    g_hDialWnd = dlg;
    SetTimer(dlg, IDT_DIAL_STATUS, kStatusPeriodMs, NULL);
    char caption[260];  // a long entry name is cut so that "..." still ends it
    wsprintfA(caption, "Connecting: %.244s...", g_szDialEntry);
    SetWindowTextA(dlg, caption);
    winCenter(dlg);
    return FALSE;
}

// A failed query keeps the last state shown: the next tick tries again.
INT_PTR OnStatusTick(HWND dlg) {
    RASCONNSTATUSA status;
    status.dwSize = sizeof(status);
    if (RasGetConnectStatusA(g_hRasConn, &status) != 0) return 0;
    char text[80] = "";
    UINT id = DialStateStringId(status.rasconnstate);
    if (id) LoadStringA(g_hInstance, id, text, sizeof(text));
    SetDlgItemTextA(dlg, IDC_DIAL_STATUS, text);
    return 0;
}

INT_PTR OnDialCancel(HWND dlg) {
    if (g_hRasConn) RasHangUpA(g_hRasConn);
    g_hRasConn = NULL;
    CloseDialDialog(dlg);
    return 0;
}

INT_PTR OnDialDestroy(HWND dlg) {
    KillTimer(dlg, IDT_DIAL_STATUS);
    if (g_hDialWnd == dlg) g_hDialWnd = NULL;  // later events find no dialog and are dropped
    return 0;
}

}  // namespace

UINT DialStateStringId(DWORD state) {
    for (size_t i = 0; i < sizeof(kStateTexts) / sizeof(kStateTexts[0]); i++)
        if (kStateTexts[i].state == state) return kStateTexts[i].id;
    return 0;
}

DWORD GetRasEntryProperties(LPCSTR phonebook, LPCSTR entryName, RASENTRYA *entry, LPDWORD entrySize,
                            LPBYTE deviceInfo, LPDWORD deviceInfoSize) {
    HMODULE ras = LoadLibraryA("RASAPI32.DLL");
    if ((UINT_PTR)ras < 32) {
        MessageBoxA(GetFocus(), "Error Loading RASAPI32.DLL", APP_CAPTION, MB_ICONWARNING);
        return 0;
    }
    PFN_RasGetEntryPropertiesA get = (PFN_RasGetEntryPropertiesA)(void *)GetProcAddress(ras, "RasGetEntryPropertiesA");
    if (!get) {
        MessageBoxA(GetFocus(), "Error Finding Function - RasGetEntryProperties", APP_CAPTION, MB_ICONWARNING);
        return 0;
    }
    entry->dwSize = sizeof(RASENTRYA);
    DWORD result = get(phonebook, entryName, entry, entrySize, deviceInfo, deviceInfoSize);
    FreeLibrary(ras);
    return result;
}

// A tray dial must behave as the system's own dialler does with the entry.
// With the Ignore bits clear, RAS takes the speaker and compression settings
// from the phonebook entry itself (set, they would mean "use the Set bits",
// and clear Set bits mean "off"); the prefix and suffix are dialled only on
// request. The properties are still read first: on a RAS that lacks the call
// the user learns of it before the dial.
DWORD GetEntryDialOptions(LPCSTR entryName) {
    if (IsLegacyRasPlatform()) return 0;
    RASENTRYA entry;
    ZeroMemory(&entry, sizeof(entry));
    DWORD size = sizeof(entry);
    GetRasEntryProperties(NULL, entryName, &entry, &size, NULL, NULL);
    return RDEOPT_UsePrefixSuffix;
}

namespace {

int StartDial(LPCSTR entryName) {
    DWORD options = GetEntryDialOptions(entryName);
    RASDIALPARAMSA params;
    ZeroMemory(&params, sizeof(params));
    params.dwSize = sizeof(params);
    lstrcpynA(params.szEntryName, entryName, sizeof(params.szEntryName));
    BOOL passwordSaved = FALSE;
    if (RasGetEntryDialParamsA(NULL, &params, &passwordSaved) != 0 || !passwordSaved) return 0;

    RASDIALEXTENSIONS ext;
    ext.dwSize = sizeof(ext);
    ext.dwfOptions = options;
    ext.hwndParent = NULL;
    ext.reserved = 0;
    g_hRasConn = NULL;
    g_hDialWnd = CreateDialogParamA(g_hInstance, "DIALING", NULL, AmRASDialProc, 0);
    // Without its dialog a dial could be neither followed nor cancelled.
    if (!g_hDialWnd) {
        MessageBoxA(GetFocus(), "Error Creating Dialing Window", APP_CAPTION, MB_ICONERROR);
        return 0;
    }
    DWORD result = RasDialA(&ext, NULL, &params, 0, (LPVOID)DialEventCallback, &g_hRasConn);
    if (result == 0) return 1;

    char text[256];
    if (RasGetErrorStringA(result, text, sizeof(text)) != 0) wsprintfA(text, "Undefined RAS Dial Error (%ld).", result);
    MessageBoxA(GetFocus(), text, APP_CAPTION, MB_ICONERROR);
    // A refused dial may still hold a port: only a hang-up releases it.
    if (g_hRasConn) RasHangUpA(g_hRasConn);
    g_hRasConn = NULL;
    if (g_hDialWnd) CloseDialDialog(g_hDialWnd);
    return 1;
}

}  // namespace

int DialPhonebookEntry(LPCSTR entryName) {
    if (g_dialStarting || (g_hDialWnd && IsWindow(g_hDialWnd))) {
        ShowDialInProgress();
        return 0;
    }
    g_dialStarting = TRUE;
    lstrcpynA(g_szDialEntry, entryName, sizeof(g_szDialEntry));
    int result = StartDial(entryName);
    g_dialStarting = FALSE;
    return result;
}

void CancelDialInProgress(void) {
    if (g_hDialWnd && IsWindow(g_hDialWnd)) SendMessageA(g_hDialWnd, WM_COMMAND, IDCANCEL, 0);
}

VOID WINAPI DialEventCallback(UINT, RASCONNSTATE state, DWORD error) {
    HWND dlg = g_hDialWnd;
    if (dlg) PostMessageA(dlg, WM_RASDIALEVENT, state, error);
}

int OnDialEvent(HWND dlg, RASCONNSTATE state, DWORD error) {
    if (error) {
        char text[256];
        if (RasGetErrorStringA(error, text, sizeof(text)) != 0) lstrcpynA(text, "Undefined RAS Dial Error.", sizeof(text));
        MessageBoxA(dlg, text, APP_CAPTION, MB_ICONERROR);
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    } else if (state & RASCS_Connected) {
        CloseDialDialog(dlg);  // the connection stays up; the watchers report it
    }
    return 1;
}

INT_PTR CALLBACK AmRASDialProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Exported: a call for no dialog must not take over the dial in progress.
    if (!IsWindow(dlg)) return 0;
    switch (msg) {
    case WM_INITDIALOG:
        return OnDialInit(dlg);
    case WM_TIMER:
        return OnStatusTick(dlg);
    case WM_COMMAND:
        return LOWORD(wParam) == IDCANCEL ? OnDialCancel(dlg) : 0;
    case WM_RASDIALEVENT:
        return OnDialEvent(dlg, (RASCONNSTATE)wParam, (DWORD)lParam);
    case WM_DESTROY:
        return OnDialDestroy(dlg);
    }
    return 0;
}
