// The Dial submenu and the dial with its progress dialog, against the
// simulated phonebook and its dial scripts.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "dial.h"
#include "fixture.h"
#include "rassim.h"
#include "resource.h"
#include "testutil.h"

namespace {

class Dialing : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        StartAndSettle();
    }
    void TearDown() override {
        if (g_hDialWnd && IsWindow(g_hDialWnd)) DestroyWindow(g_hDialWnd);
        MainWindow::TearDown();
    }
    // The Dial submenu as the tray menu shows it: its item in the tray menu,
    // then one line per entry, as drawn: "&&" is an "&", a lone "&" underlines
    // the next letter (written here as "_").
    std::vector<std::string> DialMenu() {
        HMENU tray = CreatePopupMenu();
        AppendMenuA(tray, MF_STRING, IDM_HANGUP, "&Hang Up");
        HMENU sub = BuildDialSubmenu(hwnd_, tray);
        std::vector<std::string> lines = {std::string("item ") +
                                          (GetMenuState(tray, 0, MF_BYPOSITION) & MF_GRAYED ? "grayed" : "enabled")};
        EXPECT_EQ(sub, GetSubMenu(tray, 0));
        for (int i = 0; i < GetMenuItemCount(sub); i++) {
            char text[300] = "";
            GetMenuStringA(sub, i, text, sizeof(text), MF_BYPOSITION);
            std::string shown;
            for (const char *c = text; *c; c++) shown += *c != '&' ? *c : *++c == '&' ? '&' : (c--, '_');
            lines.push_back(std::to_string(GetMenuItemID(sub, i)) + " " + shown);
        }
        DestroyMenu(tray);
        return lines;
    }
    std::string StatusLine() {
        char text[100] = "";
        GetDlgItemTextA(g_hDialWnd, IDC_DIAL_STATUS, text, sizeof(text));
        return text;
    }
};

TEST_F(Dialing, SubmenuListsThePhonebookInOrder) {
    BoxWatcher boxes;
    std::vector<std::string> empty = {"item grayed"};
    EXPECT_EQ(empty, DialMenu());
    EXPECT_EQ(1u, SimCallsMatching("RasEnumEntriesA").size());

    RasSimAddEntry("Office", TRUE);
    SimReset();
    RasSimAddEntry("Office", TRUE);
    std::vector<std::string> one = {"item enabled", "32872 Office"};
    EXPECT_EQ(one, DialMenu());
    EXPECT_EQ(1u, SimCallsMatching("RasEnumEntriesA").size()) << "one entry, one call";

    RasSimAddEntry("Home & Away", TRUE);
    RasSimAddEntry("Dial-in", FALSE);
    RasSimAddEntry("R&D", TRUE);
    RasSimAddEntry("&&&", TRUE);
    std::vector<std::string> five = {"item enabled", "32872 Office", "32873 Home & Away", "32874 Dial-in",
                                     "32875 R&D", "32876 &&&"};
    EXPECT_EQ(five, DialMenu());
    EXPECT_EQ(3u, SimCallsMatching("RasEnumEntriesA").size()) << "several entries, two calls";
    EXPECT_TRUE(boxes.Boxes().empty()) << Describe(boxes.Boxes());
}

TEST_F(Dialing, EnumerationErrorShowsItsBoxAndLeavesAnEmptyEnabledItem) {
    RasSimAddEntry("Office", TRUE);
    RasSimSetFault("entries", 621);
    BoxWatcher boxes;
    std::vector<std::string> failed = {"item enabled"};
    EXPECT_EQ(failed, DialMenu());
    RasSimSetFault("entries", 4321);
    EXPECT_EQ(failed, DialMenu());
    std::vector<BoxRecord> expected = {{"Wendle", "The phonebook file cannot be opened.", NULL, "error"},
                                       {"Wendle", "Undefined RasEnumEntries Error (4321).", NULL, "error"}};
    EXPECT_EQ(expected, boxes.Boxes()) << Describe(boxes.Boxes());
    RasSimSetFault("entries", 0);
}

TEST_F(Dialing, ChoosingAnItemDialsTheEntryNowAtItsPosition) {
    for (int i = 0; i < 150; i++) RasSimAddEntry(("Entry " + std::to_string(i)).c_str(), TRUE);
    EXPECT_EQ(151u, DialMenu().size()) << "every entry is listed";
    for (int i = 0; i < 150; i++) RasSimSetDialScript(("Entry " + std::to_string(i)).c_str(), "0:5000");
    SendMessageA(hwnd_, WM_COMMAND, IDM_DIAL_FIRST + 100, 0);  // the 101st: not routed
    EXPECT_TRUE(SimCallsMatching("RasDialA").empty());
    SendMessageA(hwnd_, WM_COMMAND, IDM_DIAL_FIRST + 1, 0);
    EXPECT_EQ(std::vector<std::string>{"RasDialA Entry 1"}, SimCallsMatching("RasDialA"));
    SendMessageA(g_hDialWnd, WM_COMMAND, IDCANCEL, 0);

    SimReset();
    RasSimAddEntry("Only", TRUE);
    BoxWatcher boxes;
    SendMessageA(hwnd_, WM_COMMAND, IDM_DIAL_FIRST + 1, 0);  // the list has become shorter
    EXPECT_TRUE(SimCallsMatching("RasDialA").empty());
    EXPECT_TRUE(g_hDialWnd == NULL);
    EXPECT_TRUE(boxes.Boxes().empty()) << Describe(boxes.Boxes());
}

// The phonebook changes while the tray menu is open: the entry whose name
// the user chose is dialled wherever it now stands, and nothing when it has
// gone, never the entry that has moved into its place.
TEST_F(Dialing, TheChosenItemIsDialledByItsName) {
    struct Case {
        const char *removed;
        std::vector<std::string> dials;
    } cases[] = {{"Br&vo", {}}, {"Alpha", {"RasDialA Br&vo"}}, {"Charlie", {"RasDialA Br&vo"}}};
    for (const Case &c : cases) {
        SimReset();
        for (const char *name : {"Alpha", "Br&vo", "Charlie"}) {
            RasSimAddEntry(name, TRUE);
            RasSimSetDialScript(name, "0:10000");
        }
        BoxWatcher boxes;
        OpenMenu({{WM_CHAR, 'd'}, {WM_KEYDOWN, VK_DOWN}, {WM_KEYDOWN, VK_RETURN}},
                 [&] { RasSimRemoveEntry(c.removed); });
        WaitFor([] { return false; }, 200);
        EXPECT_EQ(c.dials, SimCallsMatching("RasDialA")) << c.removed << " removed\n" << Join(SimCalls());
        EXPECT_TRUE(boxes.Boxes().empty()) << Describe(boxes.Boxes());
        if (g_hDialWnd && IsWindow(g_hDialWnd)) SendMessageA(g_hDialWnd, WM_COMMAND, IDCANCEL, 0);
    }
}

// However the dial would be left without its dialog or doubled, it is not
// started: a dialog that cannot be made, a second choice made while the
// first dial's warning box is open, the program ending mid-dial.
TEST_F(Dialing, NoDialWithoutItsDialogAndOneAtATime) {
    RasSimAddEntry("Office", TRUE);
    RasSimAddEntry("Home", TRUE);
    RasSimSetDialScript("Office", "0:10000");
    {
        BoxWatcher boxes;
        g_hInstance = GetModuleHandleA("kernel32.dll");  // no dialog template there
        EXPECT_EQ(0, DialPhonebookEntry("Office"));
        g_hInstance = GetModuleHandleA(NULL);
        std::vector<BoxRecord> expected = {{"Wendle", "Error Creating Dialing Window", NULL, "error"}};
        EXPECT_EQ(expected, boxes.Boxes()) << Describe(boxes.Boxes());
        EXPECT_TRUE(SimCallsMatching("RasDialA").empty()) << Join(SimCalls());
    }
    if (!IsLegacyRasPlatform()) {
        RasSimSetMissing("RasGetEntryPropertiesA");
        BoxWatcher boxes;
        PostMessageA(hwnd_, WM_COMMAND, IDM_DIAL_FIRST + 1, 0);  // chosen while the warning is up
        DialPhonebookEntry("Office");
        RasSimSetMissing("off");
        // The second box stands on the first: the two may be found in either order.
        std::vector<std::string> expected = {"Already dialing Office.\nCancel that dial before starting another.",
                                             "Error Finding Function - RasGetEntryProperties"};
        std::vector<std::string> texts;
        for (const BoxRecord &b : boxes.Boxes()) texts.push_back(b.text);
        std::sort(texts.begin(), texts.end());
        EXPECT_EQ(expected, texts) << Describe(boxes.Boxes());
        EXPECT_EQ(std::vector<std::string>{"RasDialA Office"}, SimCallsMatching("RasDialA"));
    }
    if (!g_hDialWnd) DialPhonebookEntry("Office");
    ASSERT_TRUE(g_hDialWnd && IsWindow(g_hDialWnd));
    SendMessageA(hwnd_, WM_ENDSESSION, FALSE, 0);  // another program refused the log-off
    EXPECT_TRUE(g_hDialWnd && IsWindow(g_hDialWnd)) << "the dial goes on";
    if (g_hDialWnd) SendMessageA(g_hDialWnd, WM_COMMAND, IDCANCEL, 0);
    // The program ends mid-dial: the dial is hung up, and the program waits
    // until RAS has let the link go, at log-off within Windows' 5 s.
    struct End {
        const char *how;
        UINT msg;
        WPARAM wParam;
        DWORD lingerMs, atLeast, below;
        bool gone;
    } ends[] = {
        {"Exit", WM_COMMAND, IDM_EXIT, 1000, 900, 5000, true},
        {"log-off", WM_ENDSESSION, TRUE, 1000, 900, 5000, true},
        {"log-off, RAS slower than Windows waits", WM_ENDSESSION, TRUE, 8000, 3900, 4900, false},
    };
    for (const End &e : ends) {
        SimReset();
        RasSimAddEntry("Office", TRUE);
        RasSimSetDialScript("Office", "0:10000");
        if (!IsWindow(hwnd_)) StartAndSettle();
        DialPhonebookEntry("Office");
        HWND dlg = g_hDialWnd;
        ASSERT_TRUE(dlg && IsWindow(dlg)) << e.how;
        RasSimSetLinger(e.lingerMs);
        DWORD start = GetTickCount();
        SendMessageA(hwnd_, e.msg, e.wParam, 0);
        DWORD took = GetTickCount() - start;
        EXPECT_FALSE(IsWindow(dlg)) << e.how;
        EXPECT_EQ(std::vector<std::string>{"RasHangUpA Office"}, SimCallsMatching("RasHangUpA")) << e.how;
        EXPECT_EQ(e.gone, SimConnections().empty()) << e.how << ": " << Join(SimConnections());
        EXPECT_GE(took, e.atLeast) << e.how;
        EXPECT_LT(took, e.below) << e.how;
        EXPECT_EQ(0, DialPhonebookEntry("Office")) << e.how << ": no dial once the program ends";
        Close();
    }
    RasSimSetLinger(0);
}

TEST_F(Dialing, ADialFromStartToConnected) {
    RasSimAddEntry("Office", TRUE);
    RasSimSetDialScript("Office", "0:700,5:600,18:600,8192");
    BoxWatcher boxes;
    EXPECT_EQ(1, DialPhonebookEntry("Office"));
    ASSERT_TRUE(g_hDialWnd != NULL);
    HWND dlg = g_hDialWnd;
    char caption[300];
    GetWindowTextA(dlg, caption, sizeof(caption));
    EXPECT_STREQ("Connecting: Office...", caption);
    EXPECT_TRUE(IsWindowVisible(dlg));
    EXPECT_EQ("", StatusLine()) << "nothing before the first tick";
    // Taken before any message is pumped: on a slow machine the first tick
    // is already due when the wait pumps its first message.
    std::vector<std::string> seen = {StatusLine()};
    WaitFor([&] {
        if (!IsWindow(dlg)) return true;
        std::string s = StatusLine();
        if (seen.empty() || seen.back() != s) seen.push_back(s);
        return false;
    }, 8000);
    EXPECT_FALSE(IsWindow(dlg)) << "the dialog goes when connected";
    std::vector<std::string> expected = {"", "Opening Port", "Starting Authentication", ""};
    EXPECT_EQ(expected, seen) << Join(seen);
    EXPECT_TRUE(boxes.Boxes().empty()) << Describe(boxes.Boxes());
    EXPECT_EQ(std::vector<std::string>{"Office\t8192"}, SimConnections());
    EXPECT_TRUE(WaitFor([this] { return !MainRows().empty() && MainRows().back().tip == "Connections Active"; }, 3000))
        << "the watchers notice the new connection";
}

// Its error in one box owned by the dialog, RAS's text or, where RAS has
// none, Windows' or a fallback, with the number; then the hang-up.
TEST_F(Dialing, FailingDialShowsOneBoxThenHangsUp) {
    RasSimSetMode("errortexts", "long");
    char longText[512] = "";
    ASSERT_EQ(0u, RasGetErrorStringA(809, longText, sizeof(longText)));
    struct Row {
        const char *script;
        std::string text;
    } rows[] = {{"0:100,2:300!678", "There is no answer."},
                {"0:100!809", longText},
                {"0:100!4242", "Undefined RAS Dial Error (4242)."}};
    RasSimAddEntry("Home", TRUE);
    for (const Row &row : rows) {
        RasSimSetDialScript("Home", row.script);
        SimCallsMatching("");
        BoxWatcher boxes;
        DialPhonebookEntry("Home");
        HWND dlg = g_hDialWnd;
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(dlg); }, 5000)) << row.script;
        std::vector<BoxRecord> expected = {{"Wendle", row.text, NULL, "error"}};
        ASSERT_EQ(expected, boxes.Boxes()) << Describe(boxes.Boxes());
        EXPECT_EQ(dlg, boxes.Boxes()[0].owner);
        EXPECT_TRUE(WaitFor([] { return SimConnections().empty(); }, 2000)) << row.script;
    }
    EXPECT_EQ(3u, SimCallsMatching("RasHangUpA").size()) << Join(SimCalls());
}

TEST_F(Dialing, CancelAndTheCloseBoxHangUpAtOnce) {
    RasSimAddEntry("Office", TRUE);
    RasSimSetDialScript("Office", "0:200,5:10000");
    for (UINT how : {0u, 1u}) {
        SimCallsMatching("");
        DialPhonebookEntry("Office");
        HWND dlg = g_hDialWnd;
        ASSERT_TRUE(dlg != NULL);
        if (how == 0)
            SendMessageA(GetDlgItem(dlg, IDCANCEL), BM_CLICK, 0, 0);
        else
            SendMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(dlg); }, 2000)) << how;
        EXPECT_TRUE(SimConnections().empty()) << how;
    }
    EXPECT_EQ(2u, SimCallsMatching("RasHangUpA").size()) << Join(SimCalls());
}

// A dial that RAS ends without the event the dialog waits for, or an event
// that belongs to an earlier dial: what the user sees, what is hung up, and
// what the next dial of the entry does. The dial under way is Office's.
TEST_F(Dialing, ADialThatRasEndsOtherwise) {
    struct Row {
        const char *what;
        const char *script;
        DWORD lingerMs;
        std::function<void(HWND main, std::thread &user, BoxWatcher &boxes)> before;  // answers the boxes itself
        std::function<void(HWND main)> during;
        std::vector<std::string> expected;
    } rows[] = {
        {"(a) another program hangs it up", "0:50,5:10000", 0, nullptr, [](HWND) { RasSimDrop("Office"); },
         {"dialog: closed", "boxes: none", "hang-ups: none", "next dial: dials"}},
        {"(a) another program hangs it up, and RAS takes its time", "0:50,5:10000", 1000, nullptr,
         [](HWND) { RasSimDrop("Office"); },
         {"dialog: closed", "boxes: none", "hang-ups: RasHangUpA Office",
          "next dial: refused: The port is already open."}},
        {"(b) it ends in Disconnected", "0:50,8193", 0, nullptr, nullptr,
         {"dialog: closed", "boxes: none", "hang-ups: RasHangUpA Office", "next dial: dials"}},
        {"(d) events of an earlier dial arrive", "0:50,5:10000", 0, nullptr,
         [](HWND) {
             // As RAS's thread for a cancelled dial would deliver them.
             std::thread late([] {
                 HRASCONN earlier = (HRASCONN)(DWORD_PTR)0x0FF0;
                 DialEventCallback(earlier, WM_RASDIALEVENT, RASCS_ConnectDevice, 678, 0);
                 DialEventCallback(earlier, WM_RASDIALEVENT, RASCS_Connected, 0, 0);
                 DialEventCallback(earlier, WM_RASDIALEVENT, RASCS_Disconnected, 0, 0);
             });
             late.join();
         },
         {"dialog: open", "boxes: none", "hang-ups: none", "next dial: refused: Already dialing Office."}},
        {"(e) its error comes while RAS answers no status query", "0:50,5:300!678", 0, nullptr,
         [](HWND) { RasSimSetFault("status", 711); },
         {"dialog: closed", "boxes: There is no answer.", "hang-ups: RasHangUpA Office", "next dial: dials"}},
        {"(f) it is hung up outside, and its handle goes to Home's new link", "0:50,5:10000", 0, nullptr,
         [](HWND) {
             RasSimSetMode("handles", "reuse");
             RasSimDrop("Office");
             RasSimSetState("Home", RASCS_Authenticate);
         },
         {"dialog: closed", "boxes: none", "hang-ups: none", "next dial: dials"}},
        {"Cancel, then Dial again at once", "0:50,5:10000", 1000, nullptr,
         [](HWND) { SendMessageA(GetDlgItem(g_hDialWnd, IDCANCEL), BM_CLICK, 0, 0); },
         {"dialog: closed", "boxes: none", "hang-ups: RasHangUpA Office",
          "next dial: refused: The port is already open."}},
        {"(c) Exit while the warning box before the dial stands", "0:50,5:10000", 0,
         [](HWND main, std::thread &user, BoxWatcher &boxes) {
             RasSimSetMissing("RasGetEntryPropertiesA");
             // The user reads the warning, chooses Exit from the tray, then
             // closes the box if it still stands.
             user = std::thread([main, &boxes] {
                 HWND box = WaitForDialog("Wendle", 5000);
                 for (DWORD start = GetTickCount(); !boxes.Count() && GetTickCount() - start < 5000;) Sleep(10);
                 PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
                 for (DWORD start = GetTickCount(); IsWindow(main) && GetTickCount() - start < 5000;) Sleep(10);
                 if (box && IsWindow(box)) PostMessageA(box, WM_COMMAND, IDOK, 0);
             });
         },
         nullptr, {"dialog: none", "boxes: Error Finding Function - RasGetEntryProperties", "hang-ups: none",
                   "next dial: none"}},
    };
    auto lines = [](const std::vector<std::string> &v) {
        std::string out;
        for (const auto &l : v) out += (out.empty() ? "" : ", ") + l;
        return out.empty() ? std::string("none") : out;
    };
    for (const Row &row : rows) {
        SimReset();
        RasSimAddEntry("Office", TRUE);
        RasSimSetDialScript("Office", row.script);
        RasSimSetLinger(row.lingerMs);
        std::vector<std::string> seen;
        {
            std::thread user;
            BoxWatcher boxes(row.before ? 0 : IDOK);  // 0: no button, the row's user answers
            if (row.before) row.before(hwnd_, user, boxes);
            DialPhonebookEntry("Office");
            if (user.joinable()) user.join();
            RasSimSetMissing("off");
            HWND dlg = g_hDialWnd;
            if (!dlg) {
                seen.push_back("dialog: none");
            } else {
                // Under way: past its first state.
                WaitFor([] {
                    std::vector<std::string> links = SimConnections();
                    return links.empty() || links[0] != "Office\t0";
                }, 2000);
                if (row.during) row.during(hwnd_);
                // Within a second, two ticks of its status poll.
                seen.push_back(WaitFor([&] { return !IsWindow(dlg); }, 1000) ? "dialog: closed" : "dialog: open");
            }
            std::vector<std::string> texts;
            for (const BoxRecord &b : boxes.Boxes()) texts.push_back(b.text);
            seen.push_back("boxes: " + lines(texts));
            seen.push_back("hang-ups: " + lines(SimCallsMatching("RasHangUpA")));
        }
        if (!IsWindow(hwnd_)) {
            seen.push_back(SimCallsMatching("RasDialA").empty() ? "next dial: none" : "next dial: dialled after Exit");
        } else {
            BoxWatcher boxes;
            size_t dials = SimCallsMatching("RasDialA").size();
            DialPhonebookEntry("Office");
            std::string next = "next dial: dials";
            if (!boxes.Boxes().empty()) {
                std::string text = boxes.Boxes()[0].text;
                next = "next dial: refused: " + text.substr(0, text.find('\n'));
            } else if (SimCallsMatching("RasDialA").size() != dials + 1 || !g_hDialWnd) {
                next = "next dial: nothing";
            }
            seen.push_back(next);
            if (g_hDialWnd) SendMessageA(g_hDialWnd, WM_COMMAND, IDCANCEL, 0);
        }
        EXPECT_EQ(row.expected, seen) << row.what << "\n" << Join(seen) << Join(SimCalls());
        Close();
        RasSimSetLinger(0);
        StartAndSettle();
    }
}

TEST_F(Dialing, NoSavedPasswordDialsNothing) {
    RasSimAddEntry("Guest", FALSE);
    BoxWatcher boxes;
    EXPECT_EQ(0, DialPhonebookEntry("Guest"));
    EXPECT_TRUE(g_hDialWnd == NULL);
    EXPECT_TRUE(SimCallsMatching("RasDialA").empty());
    EXPECT_TRUE(boxes.Boxes().empty()) << Describe(boxes.Boxes());
}

TEST_F(Dialing, RefusedStartShowsItsBoxAndLeavesNothingHeld) {
    RasSimAddEntry("Office", TRUE);
    // A code RAS has no text for and Windows has (as for IKEv2's 13801 on
    // Windows; Wine has no text for that one).
    char windows[512] = "";
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, 1231, 0, windows,
                             sizeof(windows), NULL);
    while (n && isspace((unsigned char)windows[n - 1])) windows[--n] = 0;
    ASSERT_NE(0u, n) << "Windows has a text for 1231";
    struct Row {
        DWORD fault;
        std::string text;
    } rows[] = {{676, "The line is busy."},
                {1231, "Error 1231: " + std::string(windows)},
                {4242, "Undefined RAS Dial Error (4242)."}};
    for (const Row &row : rows) {
        RasSimSetFault("dial", row.fault);
        BoxWatcher boxes;
        EXPECT_EQ(1, DialPhonebookEntry("Office"));
        std::vector<BoxRecord> expected = {{"Wendle", row.text, NULL, "error"}};
        EXPECT_EQ(expected, boxes.Boxes()) << Describe(boxes.Boxes());
        EXPECT_TRUE(g_hDialWnd == NULL);
        EXPECT_TRUE(SimConnections().empty()) << "the port the refused dial held is released";
    }
    RasSimSetFault("dial", 0);
}

TEST_F(Dialing, SecondDialWhileOneRunsIsRefusedVisibly) {
    RasSimAddEntry("Office", TRUE);
    RasSimAddEntry("Home", TRUE);
    RasSimSetDialScript("Office", "0:10000");
    DialPhonebookEntry("Office");
    HWND first = g_hDialWnd;
    BoxWatcher boxes;
    DialPhonebookEntry("Home");
    EXPECT_EQ(first, g_hDialWnd);
    EXPECT_EQ(std::vector<std::string>{"RasDialA Office"}, SimCallsMatching("RasDialA"));
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ("Already dialing Office.\nCancel that dial before starting another.", boxes.Boxes()[0].text);
    SendMessageA(first, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(Dialing, LongEntryNamesAreCutSafely) {
    std::string name(256, 'n');
    RasSimAddEntry(name.c_str(), TRUE);
    RasSimSetDialScript(name.c_str(), "0:10000");
    DialPhonebookEntry(name.c_str());
    ASSERT_TRUE(g_hDialWnd != NULL);
    char caption[400];
    GetWindowTextA(g_hDialWnd, caption, sizeof(caption));
    EXPECT_EQ("Connecting: " + std::string(244, 'n') + "...", caption);
    EXPECT_EQ(255u, strlen(g_szDialEntry));
    SendMessageA(g_hDialWnd, WM_COMMAND, IDCANCEL, 0);
}

TEST_F(Dialing, StateTextsAndTheEntrysOwnDialSettings) {
    struct Row {
        DWORD state;
        const char *text;
    } rows[] = {{0, "Opening Port"}, {13, "Reauthenticatation Started"}, {17, "Waiting For Callback"},
                {18, ""},            {0x1003, "Password Expired"},       {0x2001, "Disconnected"}, {99, ""}};
    for (const Row &r : rows) {
        char text[80] = "";
        if (UINT id = DialStateStringId(r.state)) LoadStringA(g_hInstance, id, text, sizeof(text));
        EXPECT_STREQ(r.text, text) << r.state;
    }
    // A tray dial does what the system's dialler does with each entry: its
    // own speaker and compression, its prefix/suffix where it has one (the
    // Windows 95 family's RAS takes no dial options: no prefix/suffix).
    struct Setting {
        const char *name;
        BOOL speaker, compression, prefixSuffix;
    } settings[] = {{"Loud", TRUE, TRUE, FALSE}, {"Quiet", FALSE, FALSE, TRUE}, {"Mixed", TRUE, FALSE, FALSE}};
    BoxWatcher boxes;
    for (const Setting &e : settings) {
        RasSimAddEntry(e.name, TRUE);
        RasSimSetEntryOptions(e.name, e.speaker, e.compression, e.prefixSuffix);
        RasSimSetDialScript(e.name, "0:10000");
        DialPhonebookEntry(e.name);
        SendMessageA(g_hDialWnd, WM_COMMAND, IDCANCEL, 0);
    }
    bool legacy = IsLegacyRasPlatform();
    std::vector<std::string> expected = {
        "Loud speaker=on compression=on prefixsuffix=no",
        std::string("Quiet speaker=off compression=off prefixsuffix=") + (legacy ? "no" : "yes"),
        "Mixed speaker=on compression=off prefixsuffix=no"};
    EXPECT_EQ(expected, SimDials()) << Join(SimDials());
    EXPECT_EQ(legacy ? 0u : 3u, SimCallsMatching("RasGetEntryPropertiesA").size()) << Join(SimCalls());
    EXPECT_TRUE(boxes.Boxes().empty()) << Describe(boxes.Boxes());
}

TEST_F(Dialing, MissingEntryPropertiesWarnsThenDialsOnNT) {
    RasSimAddEntry("Office", TRUE);
    RasSimSetDialScript("Office", "0:10000");
    RasSimSetMissing("RasGetEntryPropertiesA");
    BoxWatcher boxes;
    DialPhonebookEntry("Office");
    std::vector<BoxRecord> expected;
    if (!IsLegacyRasPlatform()) expected = {{"Wendle", "Error Finding Function - RasGetEntryProperties", NULL, "warning"}};
    EXPECT_EQ(expected, boxes.Boxes()) << Describe(boxes.Boxes());
    EXPECT_EQ(std::vector<std::string>{"RasDialA Office"}, SimCallsMatching("RasDialA"));
    RasSimSetMissing("off");
    SendMessageA(g_hDialWnd, WM_COMMAND, IDCANCEL, 0);
}

}  // namespace
