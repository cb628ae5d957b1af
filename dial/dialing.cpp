// One dial with its modeless progress dialog. RAS reports each state change
// on a thread of its own, naming the link; the notifier passes on only the
// dial's own, and only posts them to the dialog, so all the work happens on
// the main thread. An event that ends the dial ends it; the status poll
// catches an end that sends no event (another program hangs the link up).
// RAS may give a freed handle to another entry's link: the dial's link is
// its handle and its entry.
#include "dial.h"
#include "../platform/platform.h"
#include "../res/resource.h"
#include "../uilib/libstate.h"
#include "../uilib/uilib.h"

HWND g_hDialWnd;
HRASCONN g_hRasConn;
char g_szDialEntry[256];

namespace {

enum DialPhase {
    DIAL_IDLE,
    // Being set up: its warning boxes run message loops of their own, in
    // which the user may choose another entry before the dialog exists.
    DIAL_STARTING,
    // Inside RasDialA: RAS may report before it has handed over the handle.
    DIAL_CALLING,
    DIAL_DIALING,
    // Its end is being shown (its error box is open): the box's message loop
    // still runs the status poll and the events, which must not end it twice.
    DIAL_ENDING,
    // The program is ending: no dial may start, not even one whose warning
    // box was open when the user chose Exit.
    DIAL_SHUT
};
volatile DialPhase g_dialPhase;

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

void ShowDialState(HWND dlg, DWORD state) {
    char text[80] = "";
    UINT id = DialStateStringId(state);
    if (id) LoadStringA(g_hInstance, id, text, sizeof(text));
    SetDlgItemTextA(dlg, IDC_DIAL_STATUS, text);
}

void ShowDialError(HWND owner, DWORD error) {
    char text[kRasErrorTextSize];
    RasErrorText(error, "Undefined RAS Dial Error (%ld).", text);
    MessageBoxA(owner, text, APP_CAPTION, MB_ICONERROR);
}

// A failed dial: its error in a box owned by the dialog, then the Cancel
// handling hangs the link up, which RAS asks for after a failed dial too.
// A dial that ended in Disconnected without an error was hung up somewhere:
// nothing to tell, but the handle is released.
void FailDial(HWND dlg, DWORD error) {
    g_dialPhase = DIAL_ENDING;
    if (error) ShowDialError(dlg, error);
    PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
}

// RAS's word on the dial's own link: gone (hung up by another program, with
// no event, or its handle now another entry's), connected, failed, or still
// dialing. A query that fails keeps the last state shown: RAS did not
// answer, and the next tick asks again.
void FollowDial(HWND dlg, BOOL showState) {
    if (g_dialPhase != DIAL_DIALING) return;
    RASCONNSTATUSA status;
    switch (LookAtLink(g_hRasConn, g_szDialEntry, &status)) {
    case LINK_GONE:
        g_hRasConn = NULL;
        CloseDialDialog(dlg);
        return;
    case LINK_UNKNOWN:
        return;
    case LINK_HERE:
        break;
    }
    if (showState) ShowDialState(dlg, status.rasconnstate);
    if (status.dwError || status.rasconnstate == RASCS_Disconnected)
        FailDial(dlg, status.dwError);
    else if (status.rasconnstate == RASCS_Connected)
        CloseDialDialog(dlg);  // the connection stays up; the watchers report it
}

INT_PTR OnStatusTick(HWND dlg) {
    FollowDial(dlg, TRUE);
    return 0;
}

INT_PTR OnDialCancel(HWND dlg) {
    HangUpLink(g_hRasConn, g_szDialEntry);
    g_hRasConn = NULL;
    CloseDialDialog(dlg);
    return 0;
}

INT_PTR OnDialDestroy(HWND dlg) {
    KillTimer(dlg, IDT_DIAL_STATUS);
    if (g_hDialWnd != dlg) return 0;
    g_hDialWnd = NULL;  // later events find no dialog and are dropped
    if (g_dialPhase != DIAL_SHUT) g_dialPhase = DIAL_IDLE;
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
    if (g_dialPhase == DIAL_SHUT) return 0;  // Exit was chosen while its warning box stood
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
    // The second kind of notifier names the link of each event: every RAS
    // from Windows 95 and NT on takes it.
    g_dialPhase = DIAL_CALLING;
    DWORD result = RasDialA(&ext, NULL, &params, 1, (LPVOID)DialEventCallback, &g_hRasConn);
    if (result == 0) {
        g_dialPhase = DIAL_DIALING;
        return 1;
    }
    g_dialPhase = DIAL_ENDING;  // the dialog stands behind the box; its poll must not end it
    ShowDialError(GetFocus(), result);
    // A refused dial may still hold a port: only a hang-up releases it.
    HangUpLink(g_hRasConn, g_szDialEntry);
    g_hRasConn = NULL;
    if (g_hDialWnd) CloseDialDialog(g_hDialWnd);
    return 1;
}

}  // namespace

int DialPhonebookEntry(LPCSTR entryName) {
    if (g_dialPhase == DIAL_SHUT) return 0;
    if (g_dialPhase != DIAL_IDLE || (g_hDialWnd && IsWindow(g_hDialWnd))) {
        ShowDialInProgress();
        return 0;
    }
    g_dialPhase = DIAL_STARTING;
    lstrcpynA(g_szDialEntry, entryName, sizeof(g_szDialEntry));
    int result = StartDial(entryName);
    // Set up no further: no dialog, or one that ended inside the start.
    if (g_dialPhase != DIAL_SHUT && !(g_hDialWnd && IsWindow(g_hDialWnd))) g_dialPhase = DIAL_IDLE;
    return result;
}

void AllowDialing(void) { g_dialPhase = DIAL_IDLE; }

void EndDialing(void) {
    g_dialPhase = DIAL_SHUT;
    if (g_hDialWnd && IsWindow(g_hDialWnd)) SendMessageA(g_hDialWnd, WM_COMMAND, IDCANCEL, 0);
}

// Runs on RAS's thread: it passes on the dial's own events only. Those of a
// dial hung up a moment ago may still be on their way.
VOID WINAPI DialEventCallback(HRASCONN conn, UINT, RASCONNSTATE state, DWORD error, DWORD) {
    HRASCONN mine = g_hRasConn;
    if (conn != mine && !(mine == NULL && g_dialPhase == DIAL_CALLING)) return;
    HWND dlg = g_hDialWnd;
    if (dlg) PostMessageA(dlg, WM_RASDIALEVENT, state, error);
}

// An event of the dial's own: its error ends it with that error, whatever
// RAS's status query would say; so does its last state: Connected, or
// Disconnected without an error (hung up elsewhere; the handle is still to
// be released).
int OnDialEvent(HWND dlg, RASCONNSTATE state, DWORD error) {
    if (g_dialPhase != DIAL_DIALING) return 1;
    if (error)
        FailDial(dlg, error);
    else if (state == RASCS_Connected)
        CloseDialDialog(dlg);
    else if (state == RASCS_Disconnected)
        FailDial(dlg, 0);
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
