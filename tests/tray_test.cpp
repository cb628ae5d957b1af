// The hidden main window and its tray icon, driven with the messages the
// shell sends; the shell call is recorded, RAS is the simulator.
#include <gtest/gtest.h>

#include "app.h"
#include "rasapi.h"
#include "rassim.h"
#include "resource.h"
#include "fixture.h"
#include "testutil.h"

namespace {

const std::vector<std::string> MenuWith(bool hangUpEnabled) {
    return {"&Dial|-1|grayed|disabled",  // the phonebook is empty in these tests
            std::string("&Hang Up|40006") + (hangUpEnabled ? "" : "|grayed|disabled"),
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
    EXPECT_EQ(created, MainRows()) << "before the message loop runs:\n" << Describe(MainRows());
    ASSERT_TRUE(WaitFor([this] { return MainRows().size() >= 2; }));
    std::vector<TrayRow> expected = {{NIM_ADD, IDI_IDLE, ""}, {NIM_MODIFY, IDI_IDLE, "No Active Connections"}};
    EXPECT_EQ(expected, MainRows()) << Describe(MainRows());
}

// A RAS that answers nothing (its service stopped): the second look after a
// report backs off instead of asking twice a second for ever, and a line
// that comes up once RAS answers again shows at once.
TEST_F(MainWindow, ARasThatDoesNotAnswerIsAskedLessAndLessOften) {
    // A tenth of the program's paces: the main window looks 50 ms after a
    // report, the connection watcher every 200 ms.
    g_traySettleMs = 50;
    g_watcherLookMs = 200;
    RasSimSetFault("enum", 711);
    StartAndSettle();
    size_t before = SimCallsMatching("RasEnumConnectionsA").size();
    // A measuring window: the main window looks at 0.05, 0.1, 0.2 and 0.4 s,
    // on NT the connection watcher at 0.2 and 0.6 s.
    WaitFor([] { return false; }, 800);
    size_t asked = SimCallsMatching("RasEnumConnectionsA").size() - before;
    EXPECT_LE(asked, 7u) << "calls in 0.8 s while RAS did not answer\n" << Join(SimCalls());
    EXPECT_GE(asked, 3u) << "it still looks\n" << Join(SimCalls());
    RasSimSetFault("enum", 0);
    RasSimSetState("Office", RASCS_Connected);
    EXPECT_TRUE(WaitFor([this] {
        std::vector<TrayRow> rows = MainRows();
        return !rows.empty() && rows.back().icon == IDI_ONLINE;
    }, 3000)) << Describe(MainRows());
}

TEST_F(MainWindow, StartsOnlineWhenAConnectionIsAlreadyUp) {
    RasSimSetState("Office", RASCS_Connected);
    StartAndSettle();
    std::vector<TrayRow> expected = {{NIM_ADD, IDI_IDLE, ""}, {NIM_MODIFY, IDI_ONLINE, "Connections Active"}};
    EXPECT_EQ(expected, MainRows()) << Describe(MainRows());
}

TEST_F(MainWindow, AConnectionStillAuthenticatingIsNotUp) {
    RasSimSetState("Office", RASCS_Authenticate);
    StartAndSettle();
    std::vector<TrayRow> expected = {{NIM_ADD, IDI_IDLE, ""}, {NIM_MODIFY, IDI_IDLE, "No Active Connections"}};
    EXPECT_EQ(expected, MainRows()) << Describe(MainRows());
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

// Whatever reaches the main window, seen before it handles it.
std::vector<std::string> g_requests;
WNDPROC g_beforeRecorder;
LRESULT CALLBACK RecordRequests(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) g_requests.push_back("WM_COMMAND " + std::to_string(LOWORD(wParam)));
    if (msg == MSG_HANGUP_ALL) g_requests.push_back("MSG_HANGUP_ALL");
    return CallWindowProcA(g_beforeRecorder, hwnd, msg, wParam, lParam);
}

// The link that is still authenticating would survive any hang-up: what is
// checked is that no request to hang up reaches the main window at all.
TEST_F(MainWindow, GreyedHangUpDoesNothingWhenChosen) {
    RasSimSetState("Home", RASCS_Authenticate);
    StartAndSettle();
    g_requests.clear();
    g_beforeRecorder = (WNDPROC)SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, (LONG_PTR)RecordRequests);
    OpenMenu({{WM_CHAR, 'h'}, {WM_KEYDOWN, VK_ESCAPE}});
    PumpPending();
    SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, (LONG_PTR)g_beforeRecorder);
    EXPECT_TRUE(g_spy.opened);
    EXPECT_TRUE(g_requests.empty()) << Join(g_requests);
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
    ClearRows();
    OpenMenu({{WM_KEYDOWN, VK_UP}, {WM_KEYDOWN, VK_UP}, {WM_KEYDOWN, VK_RETURN}});
    EXPECT_FALSE(IsWindow(hwnd_));
    std::vector<TrayRow> expected = {{NIM_DELETE, 0, ""}};
    EXPECT_EQ(expected, MainRows()) << Describe(MainRows());
    WPARAM code = 99;
    EXPECT_TRUE(TakeQuit(&code)) << "the message loop must end";
    EXPECT_EQ(0u, code);
}

TEST_F(MainWindow, ClickAndOtherMouseMessagesDoNothing) {
    StartAndSettle();
    ClearRows();
    for (LPARAM mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP, WM_MOUSEMOVE}) {
        g_spy = MenuSpy();
        g_spy.original = (WNDPROC)SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, (LONG_PTR)SpyProc);
        LRESULT r = SendMessageA(hwnd_, MSG_TRAY_CALLBACK, TRAY_ICON_ID, mouse);
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, (LONG_PTR)g_spy.original);
        EXPECT_EQ(1, r) << mouse;
        EXPECT_FALSE(g_spy.opened) << mouse;
    }
    EXPECT_TRUE(MainRows().empty()) << Describe(MainRows());
    EXPECT_TRUE(SimCallsMatching("RasHangUpA").empty());
}

TEST_F(MainWindow, StrayDialEventShowsItsBox) {
    StartAndSettle();
    BoxWatcher boxes;
    EXPECT_EQ(0, SendMessageA(hwnd_, WM_RASDIALEVENT, RASCS_Connected, 0));
    std::vector<BoxRecord> expected = {{"Wendle", "RASDIALEVENT Recieved", NULL, "none"}};
    ASSERT_EQ(expected, boxes.Boxes()) << Describe(boxes.Boxes());
    EXPECT_EQ(hwnd_, boxes.Boxes()[0].owner);
}

TEST_F(MainWindow, RestartedShellGetsTheIconBackInItsState) {
    UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    StartAndSettle();
    ClearRows();
    SendMessageA(hwnd_, taskbarCreated, 0, 0);
    std::vector<TrayRow> idle = {{NIM_ADD, IDI_IDLE, "No Active Connections"}};
    EXPECT_EQ(idle, MainRows()) << Describe(MainRows());

    SendMessageA(hwnd_, MSG_CONNECTED, 0, 0);
    ClearRows();
    SendMessageA(hwnd_, taskbarCreated, 0, 0);
    std::vector<TrayRow> online = {{NIM_ADD, IDI_ONLINE, "Connections Active"}};
    EXPECT_EQ(online, MainRows()) << Describe(MainRows());
}

TEST_F(MainWindow, StartFailsQuietlyWhenTheClassExists) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = MAIN_CLASS_NAME;
    ASSERT_TRUE(RegisterClassA(&wc));
    BoxWatcher boxes;
    EXPECT_TRUE(StartWendle(GetModuleHandleA(NULL)) == NULL);
    EXPECT_TRUE(MainRows().empty());
    EXPECT_TRUE(boxes.Boxes().empty()) << Describe(boxes.Boxes());
}

TEST_F(MainWindow, SetTrayIconCutsTheTipAt63AndDestroysTheIcon) {
    std::string longTip(70, 'x');
    longTip[62] = 'y';
    HICON icon = LoadAppIcon(IDI_IDLE);
    ASSERT_TRUE(icon != NULL);
    SetTrayIcon(NULL, NIM_MODIFY, icon, longTip.c_str());
    ICONINFO info;
    EXPECT_FALSE(GetIconInfo(icon, &info)) << "the icon handed over must be destroyed";
    SetTrayIcon(NULL, NIM_MODIFY, NULL, NULL);
    SetTrayIcon(NULL, NIM_DELETE, NULL, std::string(63, 'z').c_str());
    std::vector<TrayRow> expected = {{NIM_MODIFY, IDI_IDLE, std::string(62, 'x') + "y"},
                                     {NIM_MODIFY, 0, ""},
                                     {NIM_DELETE, 0, std::string(63, 'z')}};
    EXPECT_EQ(expected, RowsNow()) << Describe(RowsNow());
}

}  // namespace
