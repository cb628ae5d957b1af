// The hidden main window and its tray icon, driven with the messages the
// shell sends; the shell call is recorded, RAS is the simulator.
#include <gtest/gtest.h>

#include <map>

#include "app.h"
#include "rasapi.h"
#include "rassim.h"
#include "resource.h"
#include "testutil.h"

namespace {

// ---- which icon resource a handle shows ----------------------------------------

std::string IconBits(HICON icon) {
    ICONINFO info;
    if (!GetIconInfo(icon, &info)) return "";
    BITMAP bm;
    GetObject(info.hbmColor, sizeof(bm), &bm);
    std::string bits(bm.bmWidthBytes * bm.bmHeight, '\0');
    GetBitmapBits(info.hbmColor, (LONG)bits.size(), &bits[0]);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bits;
}

struct TrayRow {
    DWORD op;
    int icon;  // resource id, or 0 for no icon
    std::string tip;
};

std::string Describe(const std::vector<TrayRow> &rows) {
    std::string out;
    for (const auto &r : rows) {
        char line[160];
        snprintf(line, sizeof(line), "  op=%lu icon=%d tip=\"%s\"\n", r.op, r.icon, r.tip.c_str());
        out += line;
    }
    return out.empty() ? "  (none)\n" : out;
}

bool operator==(const TrayRow &a, const TrayRow &b) { return a.op == b.op && a.icon == b.icon && a.tip == b.tip; }

// Records shell calls with the icon resolved to its resource id, and checks
// the fixed fields of the record on every call.
std::mutex g_rowsLock;
std::vector<TrayRow> g_rows;
std::map<std::string, int> g_iconIds;

BOOL WINAPI RecordTrayRow(DWORD op, PNOTIFYICONDATAA nid) {
    EXPECT_EQ(88u, nid->cbSize);
    char cls[64] = "";
    GetClassNameA(nid->hWnd, cls, sizeof(cls));
    EXPECT_STREQ(MAIN_CLASS_NAME, cls) << "the icon belongs to the main window";
    EXPECT_EQ((UINT)TRAY_ICON_ID, nid->uID);
    EXPECT_EQ((UINT)(NIF_MESSAGE | NIF_ICON | NIF_TIP), nid->uFlags);
    EXPECT_EQ((UINT)MSG_TRAY_CALLBACK, nid->uCallbackMessage);
    TrayRow row;
    row.op = op;
    row.icon = 0;
    if (nid->hIcon) {
        auto it = g_iconIds.find(IconBits(nid->hIcon));
        row.icon = it == g_iconIds.end() ? -1 : it->second;
    }
    row.tip.assign(nid->szTip, strnlen(nid->szTip, 64));
    std::lock_guard<std::mutex> lock(g_rowsLock);
    g_rows.push_back(row);
    return TRUE;
}

// ---- the tray menu as the main window's owner sees it ----------------------------

struct MenuSpy {
    WNDPROC original = NULL;
    std::vector<std::string> items;  // "text|id|flags"
    bool opened = false;
    std::vector<std::pair<UINT, WPARAM>> keys;  // what to press once the menu is up
};
MenuSpy g_spy;

std::vector<std::string> ReadMenu(HMENU menu) {
    std::vector<std::string> out;
    UINT def = GetMenuDefaultItem(menu, FALSE, 0);
    for (int i = 0; i < GetMenuItemCount(menu); i++) {
        char text[300] = "";
        GetMenuStringA(menu, i, text, sizeof(text), MF_BYPOSITION);
        UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        UINT id = GetMenuItemID(menu, i);
        std::string line;
        if (state & MF_SEPARATOR) {
            line = "----";
        } else {
            line = std::string(text) + "|" + std::to_string((int)id);
            if (state & MF_GRAYED) line += "|grayed";
            if (state & MF_DISABLED) line += "|disabled";
            if (id == def) line += "|default";
        }
        out.push_back(line);
    }
    return out;
}

LRESULT CALLBACK SpyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITMENUPOPUP && !g_spy.opened) {
        g_spy.opened = true;
        g_spy.items = ReadMenu((HMENU)wParam);
    }
    if (msg == WM_ENTERIDLE && wParam == MSGF_MENU) {
        HWND menuWnd = (HWND)lParam;
        if (g_spy.keys.empty()) {
            EndMenu();
        } else {
            for (const auto &k : g_spy.keys) PostMessageA(menuWnd, k.first, k.second, 0);
            g_spy.keys.clear();
        }
    }
    return CallWindowProcA(g_spy.original, hwnd, msg, wParam, lParam);
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        SimReset();
        ClearProgramRegistry();
        g_hInstance = GetModuleHandleA(NULL);
        if (g_iconIds.empty())
            for (int id : {IDI_IDLE, IDI_ONLINE, IDI_ONLINE2, IDI_ONLINE3, IDI_ONLINE4}) {
                HICON icon = LoadAppIcon(id);
                g_iconIds[IconBits(icon)] = id;
                DestroyIcon(icon);
            }
        ASSERT_EQ(5u, g_iconIds.size()) << "the five tray icons must differ";
        saved_ = g_pfnShellNotifyIcon;
        g_pfnShellNotifyIcon = RecordTrayRow;
        Rows().clear();
        g_spy = MenuSpy();
        TakeQuit();
    }
    void TearDown() override {
        if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
        UnregisterClassA(MAIN_CLASS_NAME, GetModuleHandleA(NULL));
        PumpPending();
        g_pfnShellNotifyIcon = saved_;
    }
    std::vector<TrayRow> &Rows() { return g_rows; }
    std::vector<TrayRow> RowsNow() {
        std::lock_guard<std::mutex> lock(g_rowsLock);
        return g_rows;
    }
    void Start() {
        hwnd_ = StartWendle(GetModuleHandleA(NULL));
        ASSERT_TRUE(hwnd_ != NULL);
    }
    // Starts and lets the posted first state message through.
    void StartAndSettle() {
        Start();
        ASSERT_TRUE(WaitFor([this] { return RowsNow().size() >= 2; })) << Describe(RowsNow());
    }
    LRESULT OpenMenu(std::vector<std::pair<UINT, WPARAM>> keys = {}) {
        g_spy = MenuSpy();
        g_spy.keys = keys;
        g_spy.original = (WNDPROC)SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, (LONG_PTR)SpyProc);
        LRESULT r = SendMessageA(hwnd_, MSG_TRAY_CALLBACK, TRAY_ICON_ID, WM_RBUTTONDOWN);
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, (LONG_PTR)g_spy.original);
        PumpPending();
        return r;
    }
    HWND hwnd_ = NULL;
    ShellNotifyIconFn saved_;
};

const std::vector<std::string> MenuWith(bool hangUpEnabled) {
    return {std::string("&Hang Up|40006") + (hangUpEnabled ? "" : "|grayed|disabled"),
            "----",
            "&About|40001",
            "Exit|40004",
            "----",
            "&Properties|40003|default"};
}

TEST_F(MainWindow, StartsHiddenWithTheIdleIconThenReportsNoConnection) {
    Start();
    char title[64];
    GetWindowTextA(hwnd_, title, sizeof(title));
    EXPECT_STREQ("ZKRASNotification", title);
    EXPECT_FALSE(IsWindowVisible(hwnd_));
    std::vector<TrayRow> created = {{NIM_ADD, IDI_IDLE, ""}};
    EXPECT_EQ(created, RowsNow()) << "before the message loop runs:\n" << Describe(RowsNow());
    ASSERT_TRUE(WaitFor([this] { return RowsNow().size() >= 2; }));
    std::vector<TrayRow> expected = {{NIM_ADD, IDI_IDLE, ""}, {NIM_MODIFY, IDI_IDLE, "No Active Connections"}};
    EXPECT_EQ(expected, RowsNow()) << Describe(RowsNow());
}

TEST_F(MainWindow, StartsOnlineWhenAConnectionIsAlreadyUp) {
    RasSimSetState("Office", RASCS_Connected);
    StartAndSettle();
    std::vector<TrayRow> expected = {{NIM_ADD, IDI_IDLE, ""}, {NIM_MODIFY, IDI_ONLINE, "Connections Active"}};
    EXPECT_EQ(expected, RowsNow()) << Describe(RowsNow());
}

TEST_F(MainWindow, AConnectionStillAuthenticatingIsNotUp) {
    RasSimSetState("Office", RASCS_Authenticate);
    StartAndSettle();
    std::vector<TrayRow> expected = {{NIM_ADD, IDI_IDLE, ""}, {NIM_MODIFY, IDI_IDLE, "No Active Connections"}};
    EXPECT_EQ(expected, RowsNow()) << Describe(RowsNow());
    EXPECT_EQ(1, OpenMenu());
    EXPECT_EQ(MenuWith(false), g_spy.items) << Join(g_spy.items);
}

TEST_F(MainWindow, FirstStartCreatesTheSoundSchemeKey) {
    StartAndSettle();
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\.Default\\MailBeep\\.Current",
                                           0, KEY_READ, &key));
    DWORD values = 99;
    RegQueryInfoKeyA(key, NULL, NULL, NULL, NULL, NULL, NULL, &values, NULL, NULL, NULL, NULL);
    EXPECT_EQ(0u, values) << "the key is only read, never written";
    RegCloseKey(key);
}

TEST_F(MainWindow, MenuEnablesHangUpExactlyWhenConnected) {
    StartAndSettle();
    EXPECT_EQ(1, OpenMenu());
    EXPECT_TRUE(g_spy.opened);
    EXPECT_EQ(MenuWith(false), g_spy.items) << Join(g_spy.items);

    RasSimSetState("Office", RASCS_Connected);
    EXPECT_EQ(1, OpenMenu());
    EXPECT_EQ(MenuWith(true), g_spy.items) << Join(g_spy.items);
}

TEST_F(MainWindow, HangUpFromTheMenuHangsUpExactlyTheConnectedLinks) {
    RasSimSetState("Office", RASCS_Connected);
    RasSimSetState("Home", RASCS_Authenticate);
    RasSimSetState("Work", RASCS_Connected);
    StartAndSettle();
    BoxWatcher boxes;
    OpenMenu({{WM_CHAR, 'h'}});
    std::vector<std::string> expected = {"RasHangUpA Office", "RasHangUpA Work"};
    EXPECT_EQ(expected, SimCallsMatching("RasHangUpA")) << Join(SimCalls());
    EXPECT_EQ(std::vector<std::string>{"Home\t5"}, SimConnections());
    EXPECT_TRUE(boxes.Boxes().empty()) << Describe(boxes.Boxes());
}

TEST_F(MainWindow, GreyedHangUpDoesNothingWhenChosen) {
    RasSimSetState("Home", RASCS_Authenticate);
    StartAndSettle();
    OpenMenu({{WM_CHAR, 'h'}, {WM_KEYDOWN, VK_ESCAPE}});
    EXPECT_TRUE(SimCallsMatching("RasHangUpA").empty()) << Join(SimCalls());
}

TEST_F(MainWindow, HangUpWithSixConnectionsHangsUpAllWithoutWarning) {
    for (const char *name : {"A", "B", "C", "D", "E", "F"}) RasSimSetState(name, RASCS_Connected);
    StartAndSettle();
    EXPECT_EQ(MenuWith(true), (OpenMenu(), g_spy.items)) << Join(g_spy.items);
    BoxWatcher boxes;
    SendMessageA(hwnd_, WM_COMMAND, IDM_HANGUP, 0);
    EXPECT_EQ(6u, SimCallsMatching("RasHangUpA").size()) << Join(SimCalls());
    EXPECT_TRUE(SimConnections().empty());
    EXPECT_TRUE(boxes.Boxes().empty()) << Describe(boxes.Boxes());
}

TEST_F(MainWindow, ExitRemovesTheIconThenEndsTheLoop) {
    StartAndSettle();
    Rows().clear();
    OpenMenu({{WM_KEYDOWN, VK_UP}, {WM_KEYDOWN, VK_UP}, {WM_KEYDOWN, VK_RETURN}});
    EXPECT_FALSE(IsWindow(hwnd_));
    std::vector<TrayRow> expected = {{NIM_DELETE, 0, ""}};
    EXPECT_EQ(expected, RowsNow()) << Describe(RowsNow());
    WPARAM code = 99;
    EXPECT_TRUE(TakeQuit(&code)) << "the message loop must end";
    EXPECT_EQ(0u, code);
}

TEST_F(MainWindow, ClickAndOtherMouseMessagesDoNothing) {
    StartAndSettle();
    Rows().clear();
    for (LPARAM mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP, WM_MOUSEMOVE, WM_LBUTTONDBLCLK}) {
        g_spy = MenuSpy();
        g_spy.original = (WNDPROC)SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, (LONG_PTR)SpyProc);
        LRESULT r = SendMessageA(hwnd_, MSG_TRAY_CALLBACK, TRAY_ICON_ID, mouse);
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, (LONG_PTR)g_spy.original);
        EXPECT_EQ(mouse == WM_LBUTTONDBLCLK ? 0 : 1, r) << mouse;
        EXPECT_FALSE(g_spy.opened) << mouse;
    }
    EXPECT_TRUE(RowsNow().empty()) << Describe(RowsNow());
    EXPECT_TRUE(SimCallsMatching("RasHangUpA").empty());
}

TEST_F(MainWindow, StrayDialEventShowsItsBox) {
    StartAndSettle();
    BoxWatcher boxes;
    EXPECT_EQ(0, SendMessageA(hwnd_, WM_RASDIALEVENT, RASCS_Connected, 0));
    std::vector<BoxRecord> expected = {{"Wendle", "RASDIALEVENT Recieved", NULL, 0}};
    ASSERT_EQ(expected, boxes.Boxes()) << Describe(boxes.Boxes());
    EXPECT_EQ(hwnd_, boxes.Boxes()[0].owner);
}

TEST_F(MainWindow, RestartedShellGetsTheIconBackInItsState) {
    UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    StartAndSettle();
    Rows().clear();
    SendMessageA(hwnd_, taskbarCreated, 0, 0);
    RasSimSetState("Office", RASCS_Connected);
    SendMessageA(hwnd_, MSG_CONNECTED, 0, 0);
    SendMessageA(hwnd_, taskbarCreated, 0, 0);
    std::vector<TrayRow> expected = {{NIM_ADD, IDI_IDLE, "No Active Connections"},
                                     {NIM_MODIFY, IDI_ONLINE, "Connections Active"},
                                     {NIM_ADD, IDI_ONLINE, "Connections Active"}};
    EXPECT_EQ(expected, RowsNow()) << Describe(RowsNow());
}

TEST_F(MainWindow, StartFailsQuietlyWhenTheClassExists) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = MAIN_CLASS_NAME;
    ASSERT_TRUE(RegisterClassA(&wc));
    BoxWatcher boxes;
    EXPECT_TRUE(StartWendle(GetModuleHandleA(NULL)) == NULL);
    EXPECT_TRUE(RowsNow().empty());
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(SetTrayIcon, CutsTheTipAt63AndDestroysTheIcon) {
    TrayRecorder tray;
    g_hInstance = GetModuleHandleA(NULL);
    std::string longTip(70, 'x');
    longTip[62] = 'y';
    HICON icon = LoadAppIcon(IDI_IDLE);
    ASSERT_TRUE(icon != NULL);
    SetTrayIcon(NULL, NIM_MODIFY, icon, longTip.c_str());
    ICONINFO info;
    EXPECT_FALSE(GetIconInfo(icon, &info)) << "the icon handed over must be destroyed";
    SetTrayIcon(NULL, NIM_MODIFY, NULL, NULL);
    SetTrayIcon(NULL, NIM_DELETE, NULL, std::string(63, 'z').c_str());
    auto calls = tray.Calls();
    ASSERT_EQ(3u, calls.size()) << Describe(calls);
    EXPECT_EQ(std::string(62, 'x') + "y", calls[0].tip);
    EXPECT_TRUE(calls[0].hasIcon);
    EXPECT_EQ("", calls[1].tip);
    EXPECT_FALSE(calls[1].hasIcon);
    EXPECT_EQ(std::string(63, 'z'), calls[2].tip);
    EXPECT_EQ((DWORD)NIM_DELETE, calls[2].op);
}

}  // namespace
