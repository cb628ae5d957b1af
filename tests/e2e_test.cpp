// The real Wendle.exe under Wine with the simulated RAS, driven from outside
// the way the shell and a user drive it: tray messages to its window, keys
// to its menu, rasctl's view of RAS.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <thread>

#include "app.h"
#include "helptopics.h"
#include "rasapi.h"
#include "rassim.h"
#include "testutil.h"

namespace {

#ifndef WM_KEYF1
#define WM_KEYF1 0x004D  // what the system turns F1 into
#endif

// How long the real program gets for what takes it a moment natively: in
// the emulated machine, on a busy host, a Wine process takes half a minute
// to start (a help viewer, say). Only a failure ever waits this long.
const DWORD kSlowMs = 30000;

// Text without its white space, so that line breaks do not count.
std::string Squeezed(const std::string &text) {
    std::string out;
    for (char c : text)
        if (!isspace((unsigned char)c)) out += c;
    return out;
}

BOOL CALLBACK CollectText(HWND hwnd, LPARAM lParam) {
    char text[4096] = "";
    SendMessageA(hwnd, WM_GETTEXT, sizeof(text), (LPARAM)text);
    *(std::string *)lParam += std::string(text) + "\n";
    return TRUE;
}

// Every text of the help viewer's windows.
std::string ViewerText() {
    std::string all;
    HWND viewer = FindWindowA("MS_WINHELP", NULL);
    if (viewer) EnumChildWindows(viewer, CollectText, (LPARAM)&all);
    return all;
}

const char *TopicText(int context) {
    for (const HelpTopic &t : kHelpTopics)
        if (t.number == context) return t.text;
    return "(no topic)";
}

class Wendle : public ::testing::Test {
protected:
    void SetUp() override {
        SimReset();
        ClearProgramRegistry();
    }
    void TearDown() override {
        if (!pi_.hProcess) return;
        if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
            if (hwnd_) PostMessageA(hwnd_, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(pi_.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(pi_.hProcess, 1);
        }
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
    void Launch(const std::string &name = "Wendle.exe") {
        std::string exe = BinDir() + name;
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        ASSERT_TRUE(CreateProcessA(exe.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, BinDir().c_str(), &si, &pi_))
            << exe;
        ASSERT_TRUE(WaitFor([this] { return (hwnd_ = Find(MAIN_CLASS_NAME, false)) != NULL; }, kSlowMs))
            << "the main window never appeared";
    }
    HWND Find(const char *cls, bool visibleOnly) {
        std::vector<HWND> found = WindowsOfProcess(pi_.dwProcessId, cls, visibleOnly);
        return found.empty() ? NULL : found[0];
    }
    // The shell's right-click report; returns the menu window once it shows.
    HWND RightClick() {
        PostMessageA(hwnd_, MSG_TRAY_CALLBACK, TRAY_ICON_ID, WM_RBUTTONDOWN);
        HWND menu = NULL;
        EXPECT_TRUE(WaitFor([&] { return (menu = Find("#32768", true)) != NULL; }, kSlowMs)) << "no menu";
        return menu;
    }
    bool MenuGone() {
        return WaitFor([this] { return Find("#32768", true) == NULL; }, kSlowMs);
    }
    bool Exited(DWORD *code) {
        if (WaitForSingleObject(pi_.hProcess, kSlowMs) != WAIT_OBJECT_0) return false;
        GetExitCodeProcess(pi_.hProcess, code);
        return true;
    }
    // A copy of the EXE named for the mode, which Wine reports to it. Steps
    // that run beside each other share the build's folder: each names its
    // copies its own way.
    void LaunchAs(const std::string &mode, const std::string &stem = "Wendle_") {
        std::string name = stem + mode + ".exe";
        ASSERT_TRUE(CopyFileA((BinDir() + "Wendle.exe").c_str(), (BinDir() + name).c_str(), FALSE));
        std::string key = "Software\\Wine\\AppDefaults\\" + name;
        HKEY k;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL));
        RegSetValueExA(k, "Version", 0, REG_SZ, (const BYTE *)mode.c_str(), (DWORD)mode.size() + 1);
        RegCloseKey(k);
        Launch(name);
    }
    // A dialog of the program (only its prompts, with prompts) that shows
    // within ms, or NULL.
    HWND ShownDialog(DWORD ms = kSlowMs, bool prompts = false) {
        HWND dlg = NULL;
        WaitFor([&] {
            for (HWND d : VisibleDialogs(pi_.dwProcessId))
                if (!prompts || IsPromptDialog(d)) dlg = d;
            return dlg != NULL;
        }, ms);
        return dlg;
    }
    static std::string PromptText(HWND prompt) {
        char text[256] = "";
        GetWindowTextA(GetWindow(GetDlgItem(prompt, 0xFFFF), GW_HWNDNEXT), text, sizeof(text));
        return text;
    }
    HWND OpenProperties() {
        PostMessageA(hwnd_, MSG_TRAY_CALLBACK, TRAY_ICON_ID, WM_LBUTTONDBLCLK);
        HWND dlg = ShownDialog();
        EXPECT_TRUE(dlg != NULL) << "no properties dialog";
        return dlg;
    }
    // F1 on a control of the dialog: the pop-up's text, then whether a key closed it.
    std::string F1Popup(HWND dlg, int id) {
        PostMessageA(GetDlgItem(dlg, id), WM_KEYF1, 0, 0);
        HWND popup = NULL;
        if (!WaitFor([&] { return (popup = Find("WendleHelpPopup", true)) != NULL; }, kSlowMs)) return "(no pop-up)";
        char text[1024] = "";
        GetWindowTextA(popup, text, sizeof(text));
        PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
        return std::string(text) + (WaitFor([&] { return !IsWindow(popup); }, kSlowMs) ? " / closed" : " / stayed");
    }
    void ReminderRoundTrip(size_t registrations = 2);
    PROCESS_INFORMATION pi_ = {};
    HWND hwnd_ = NULL;
};

// RAS takes its time to let the link go: Exit, chosen at once, waits for it.
TEST_F(Wendle, HangUpFromTheTrayMenuHangsUpTheConnectedLinkOnly) {
    RasSimSetState("Office", RASCS_Connected);
    RasSimSetState("Home", RASCS_Authenticate);
    RasSimSetLinger(1500);
    Launch();
    HWND menu = RightClick();
    ASSERT_TRUE(menu != NULL);
    PostMessageA(menu, WM_CHAR, 'h', 0);
    ASSERT_TRUE(WaitFor([] { return !SimCallsMatching("RasHangUpA").empty(); }, kSlowMs)) << Join(SimCalls());
    EXPECT_TRUE(MenuGone());
    EXPECT_EQ(std::vector<std::string>{"RasHangUpA Office"}, SimCallsMatching("RasHangUpA"));
    menu = RightClick();
    ASSERT_TRUE(menu != NULL);
    for (WPARAM key : {VK_UP, VK_UP, VK_RETURN}) PostMessageA(menu, WM_KEYDOWN, key, 0);
    DWORD code = 99;
    ASSERT_TRUE(Exited(&code)) << "Exit did not end the process";
    EXPECT_EQ(std::vector<std::string>{"Home\t5"}, SimConnections()) << "Office let go before the program ended";
}

// With no line up: About and Properties, chosen from the menu, each open
// their window, which closes; Hang Up is greyed; Exit ends the process.
TEST_F(Wendle, WithNoConnectionTheMenusWindowsOpenAndCloseAndExitEndsTheProcess) {
    static const struct {
        char key;
        const char *caption;
        int closer;
    } kCommands[] = {{'a', "About Wendle", IDOK}, {'p', "RAS Notification Properties", IDCANCEL}};
    Launch();
    std::vector<std::string> expected, seen;
    for (const auto &c : kCommands) {
        expected.push_back(std::string(1, c.key) + ": " + c.caption + ", closed");
        std::string line = std::string(1, c.key) + ": ";
        HWND menu = RightClick();
        ASSERT_TRUE(menu != NULL);
        PostMessageA(menu, WM_CHAR, c.key, 0);
        HWND dlg = ShownDialog();
        if (!dlg) {
            seen.push_back(line + "(no window)");
            PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
            MenuGone();
            continue;
        }
        char caption[64] = "";
        GetWindowTextA(dlg, caption, sizeof(caption));
        PostMessageA(GetDlgItem(dlg, c.closer), BM_CLICK, 0, 0);
        seen.push_back(line + caption + (WaitFor([&] { return !IsWindow(dlg); }, kSlowMs) ? ", closed" : ", stayed"));
    }
    EXPECT_EQ(expected, seen) << Join(seen);

    HWND menu = RightClick();
    ASSERT_TRUE(menu != NULL);
    PostMessageA(menu, WM_CHAR, 'h', 0);  // a greyed item neither acts nor closes the menu
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(MenuGone());
    EXPECT_TRUE(SimCallsMatching("RasHangUpA").empty()) << Join(SimCalls());

    menu = RightClick();
    ASSERT_TRUE(menu != NULL);
    for (WPARAM key : {VK_UP, VK_UP, VK_RETURN}) PostMessageA(menu, WM_KEYDOWN, key, 0);
    DWORD code = 99;
    ASSERT_TRUE(Exited(&code)) << "Exit did not end the process";
    EXPECT_EQ(0u, code);
}

TEST_F(Wendle, SixConnectionsAreAllHungUp) {
    for (const char *name : {"A", "B", "C", "D", "E", "F"}) RasSimSetState(name, RASCS_Connected);
    Launch();
    HWND menu = RightClick();
    ASSERT_TRUE(menu != NULL);
    PostMessageA(menu, WM_CHAR, 'h', 0);
    ASSERT_TRUE(WaitFor([] { return SimConnections().empty(); }, kSlowMs)) << Join(SimConnections());
    EXPECT_EQ(6u, SimCallsMatching("RasHangUpA").size()) << Join(SimCalls());
    EXPECT_TRUE(Find("#32770", true) == NULL) << "no warning box expected";
}

TEST_F(Wendle, DialFromTheTrayMenuWithItsProgressDialog) {
    RasSimAddEntry("Office", TRUE);
    RasSimSetDialScript("Office", "0:600,2:600,5:600,8192");
    Launch();
    ASSERT_TRUE(WaitFor([] { return SimCallsMatching("RasConnectionNotificationA").size() == 2; }, kSlowMs));
    HWND menu = RightClick();
    ASSERT_TRUE(menu != NULL);
    PostMessageA(menu, WM_CHAR, 'd', 0);  // opens "&Dial", its first entry selected
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    HWND dlg = ShownDialog();
    ASSERT_TRUE(dlg != NULL) << "no progress dialog\n" << Join(SimCalls());
    char caption[300];
    GetWindowTextA(dlg, caption, sizeof(caption));
    EXPECT_STREQ("Connecting: Office...", caption);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dlg); }, 8000)) << "the dialog did not end";
    EXPECT_EQ(std::vector<std::string>{"Office\t8192"}, SimConnections());
    // The watchers saw the connection: the online monitor now asks RAS every second.
    size_t before = SimCallsMatching("RasGetConnectStatusA Office").size();
    EXPECT_TRUE(WaitFor([&] { return SimCallsMatching("RasGetConnectStatusA Office").size() >= before + 2; }, kSlowMs));
}

TEST_F(Wendle, DoubleClickOpensPropertiesAndOKStoresThem) {
    Launch();
    HWND dlg = OpenProperties();
    ASSERT_TRUE(dlg != NULL);
    char caption[64];
    GetWindowTextA(dlg, caption, sizeof(caption));
    EXPECT_STREQ("RAS Notification Properties", caption);
    SetDlgItemTextA(dlg, 1001, "45");
    SetDlgItemTextA(dlg, 1003, "7");
    SendMessageA(GetDlgItem(dlg, 1002), BM_CLICK, 0, 0);  // reminder off
    PostMessageA(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dlg); }, kSlowMs));
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Ferrow Apps\\Wendle", 0, KEY_READ, &key));
    DWORD number = 0, size = 4, type = 0;
    RegQueryValueExA(key, "Disconnect Time", NULL, &type, (BYTE *)&number, &size);
    EXPECT_EQ((DWORD)REG_DWORD, type);
    EXPECT_EQ(45u, number);
    size = 4;
    RegQueryValueExA(key, "Remind Time", NULL, &type, (BYTE *)&number, &size);
    EXPECT_EQ(7u, number);
    char text[8] = "";
    size = sizeof(text);
    RegQueryValueExA(key, "Remind Online", NULL, &type, (BYTE *)text, &size);
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_STREQ("No", text);
    size = sizeof(text);
    RegQueryValueExA(key, "Auto Disconnect", NULL, &type, (BYTE *)text, &size);
    EXPECT_STREQ("Yes", text);
    RegCloseKey(key);
}

// The four settings as the properties dialog stores them.
void StoreSettings(DWORD disconnectMinutes, const char *autoDisconnect, DWORD remindMinutes, const char *remind) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Ferrow Apps\\Wendle", 0, NULL, 0,
                                             KEY_ALL_ACCESS, NULL, &key, NULL));
    RegSetValueExA(key, "Disconnect Time", 0, REG_DWORD, (const BYTE *)&disconnectMinutes, 4);
    RegSetValueExA(key, "Auto Disconnect", 0, REG_SZ, (const BYTE *)autoDisconnect, (DWORD)strlen(autoDisconnect) + 1);
    RegSetValueExA(key, "Remind Time", 0, REG_DWORD, (const BYTE *)&remindMinutes, 4);
    RegSetValueExA(key, "Remind Online", 0, REG_SZ, (const BYTE *)remind, (DWORD)strlen(remind) + 1);
    RegCloseKey(key);
}

// Remind Time 0, no auto-disconnect: a reminder at every pass while online.
void StoreRemindEveryPass() { StoreSettings(60, "No", 0, "Yes"); }

// A connection made outside brings the reminder; its Yes hangs up.
void Wendle::ReminderRoundTrip(size_t registrations) {
    ASSERT_TRUE(WaitFor([&] { return SimCallsMatching("RasConnectionNotificationA").size() == registrations; }, kSlowMs))
        << "the watchers never registered\n" << Join(SimCalls());
    if (registrations == 0) WaitFor([] { return !SimCallsMatching("RasEnumConnectionsA").empty(); }, kSlowMs);
    RasSimSetState("Office", RASCS_Connected);
    HWND prompt = ShownDialog(kSlowMs, true);
    ASSERT_TRUE(prompt != NULL) << "no reminder appeared";
    char caption[64];
    GetWindowTextA(prompt, caption, sizeof(caption));
    EXPECT_STREQ("Wendle", caption);
    EXPECT_EQ("Your dialup connection is still active\n\nHangup Now?", PromptText(prompt));
    PostMessageA(GetDlgItem(prompt, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([] { return SimConnections().empty(); }, kSlowMs)) << Join(SimConnections());
    EXPECT_EQ(std::vector<std::string>{"RasHangUpA Office"}, SimCallsMatching("RasHangUpA"));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(prompt); }, kSlowMs)) << "the prompt stayed";
}

TEST_F(Wendle, ReminderComesWhileOnlineAndYesHangsUp) {
    StoreRemindEveryPass();
    Launch();
    ReminderRoundTrip();
}

// However RAS signals its connections, and with hang-ups that take RAS a
// while, each online period gets its reminder: the first line, hung up from
// its reminder, and a second line that is created first and connects later
// (a dial, as RAS that signals early sees it). Each comes once the program
// has settled (its look at the line after each change taken), so that only
// its watchers can notice it.
TEST_F(Wendle, EveryOnlinePeriodGetsItsReminderWhateverRasSignals) {
    StoreRemindEveryPass();
    auto reminder = [this] { return ShownDialog(6000, true); };
    std::vector<std::string> expected, seen;
    // "every" is what every other test here plays; the in-process watcher
    // tests play "once" too.
    for (const char *mode : {"silent", "early"}) {
        SimReset();
        RasSimSetNotifyMode(mode);
        RasSimSetLinger(2500);
        Launch();
        ASSERT_TRUE(WaitFor([] { return SimCallsMatching("RasConnectionNotificationA").size() == 2; }, kSlowMs)) << mode;
        // The start-up check and the second look half a second later.
        ASSERT_TRUE(WaitFor([] { return SimCallsMatching("RasEnumConnectionsA").size() >= 2; }, kSlowMs)) << mode;
        expected.push_back(std::string(mode) + ": Office reminded, hung up; Home reminded");
        std::string line = std::string(mode) + ": Office ";
        RasSimSetState("Office", RASCS_Connected);
        HWND prompt = reminder();
        line += prompt ? "reminded" : "not reminded";
        if (prompt) PostMessageA(GetDlgItem(prompt, IDOK), BM_CLICK, 0, 0);
        line += WaitFor([] { return SimCallsMatching("RasHangUpA").size() == 1; }, kSlowMs) ? ", hung up" : ", not hung up";
        WaitFor([&] { return !IsWindow(prompt); }, kSlowMs);
        WaitFor([] { return SimConnections().empty(); }, kSlowMs);  // RAS has let Office go
        RasSimSetState("Home", RASCS_Authenticate);
        RasSimSetState("Home", RASCS_Connected);
        prompt = reminder();
        line += prompt ? "; Home reminded" : "; Home not reminded";
        seen.push_back(line);
        PostMessageA(hwnd_, WM_CLOSE, 0, 0);
        DWORD code = 99;
        EXPECT_TRUE(Exited(&code)) << mode;
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
        pi_ = {};
    }
    EXPECT_EQ(expected, seen) << Join(seen);
}

// Another program holds objects of the watchers' event names: Wendle still
// waits (no busy loop) and still follows the line.
TEST_F(Wendle, EventNamesTakenByAnotherProgram) {
    HANDLE on = CreateMutexA(NULL, FALSE, "ZKRASNotifyEventOn");
    HANDLE off = CreateMutexA(NULL, FALSE, "ZKRASNotifyEventOff");
    ASSERT_TRUE(on && off);
    StoreRemindEveryPass();
    Launch();
    ASSERT_TRUE(WaitFor([] { return SimCallsMatching("RasConnectionNotificationA").size() == 2; }, kSlowMs));
    FILETIME created, exited, kernel0, user0, kernel1, user1;
    GetProcessTimes(pi_.hProcess, &created, &exited, &kernel0, &user0);
    WaitFor([] { return false; }, 2000);
    GetProcessTimes(pi_.hProcess, &created, &exited, &kernel1, &user1);
    auto ms = [](const FILETIME &f) { return (((ULONGLONG)f.dwHighDateTime << 32) | f.dwLowDateTime) / 10000; };
    // A busy loop would take all of it; an emulated machine is slow even idle.
    EXPECT_LT(ms(kernel1) + ms(user1) - ms(kernel0) - ms(user0), 1000u) << "milliseconds of CPU in two idle seconds";
    ReminderRoundTrip();
    CloseHandle(on);
    CloseHandle(off);
}

// Copies of Wendle running at once all follow the line: each waits on an
// event of its own, so none takes another's signal. The test plays copies
// that were there first: threads waiting on an event of the watchers' name
// (an auto-reset event wakes one waiter, the first in line, so they would
// take every signal); two real copies follow. A copy whose icon shows the
// line up runs the online monitor, which asks RAS after the line every
// second; once the line drops, the runs end.
TEST_F(Wendle, TwoCopiesBothFollowTheLine) {
    HANDLE first = CreateEventA(NULL, FALSE, FALSE, "ZKRASNotifyEventOn");
    HANDLE stop = CreateEventA(NULL, TRUE, FALSE, NULL);
    ASSERT_TRUE(first && stop);
    std::vector<std::thread> earlier;
    for (int i = 0; i < 8; i++)
        earlier.emplace_back([=] {
            HANDLE both[2] = {stop, first};
            while (WaitForMultipleObjects(2, both, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
            }
        });
    struct Done {
        HANDLE stop, first;
        std::vector<std::thread> &threads;
        ~Done() {
            SetEvent(stop);
            for (auto &t : threads) t.join();
            CloseHandle(stop);
            CloseHandle(first);
        }
    } done = {stop, first, earlier};
    Launch();
    struct Copy {
        PROCESS_INFORMATION pi = {};
        ~Copy() {
            if (!pi.hProcess) return;
            for (HWND w : WindowsOfProcess(pi.dwProcessId, MAIN_CLASS_NAME, false)) PostMessageA(w, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(pi.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    } second;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    std::string exe = BinDir() + "Wendle.exe";
    ASSERT_TRUE(CreateProcessA(exe.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, BinDir().c_str(), &si, &second.pi));
    const DWORD pids[2] = {pi_.dwProcessId, second.pi.dwProcessId};
    auto calls = [&](const char *prefix) {
        return std::to_string(SimCallsMatching(prefix, pids[0]).size()) + " and " +
               std::to_string(SimCallsMatching(prefix, pids[1]).size()) + " " + prefix;
    };
    ASSERT_TRUE(WaitFor([&] { return calls("RasConnectionNotificationA") == "2 and 2 RasConnectionNotificationA"; },
                        10000)) << calls("RasConnectionNotificationA");
    RasSimSetState("Office", RASCS_Connected);
    auto asking = [&](DWORD pid) { return SimCallsMatching("RasGetConnectStatusA Office", pid).size() >= 2; };
    EXPECT_TRUE(WaitFor([&] { return asking(pids[0]) && asking(pids[1]); }, kSlowMs))
        << "both icons should be online: " << calls("RasGetConnectStatusA Office");
    RasSimDrop(NULL);
    // Idle again: neither copy asks after the line any more.
    std::string last = calls("RasGetConnectStatusA");
    DWORD quietSince = GetTickCount();
    EXPECT_TRUE(WaitFor([&] {
        std::string now = calls("RasGetConnectStatusA");
        if (now != last) last = now, quietSince = GetTickCount();
        return GetTickCount() - quietSince > 2500;
    }, 15000)) << "still asking after the drop: " << last;
}

// What ships, at its own pace: nothing in the real program is sped up
// here. The prompts come at their shortest setting, one minute, of the real
// clock; the auto-disconnect prompt, left unanswered, hangs up after its 30
// seconds; and RAS is asked no more than the paces say: while idle, one look
// every 2 s (the Windows 95 family's poll likewise), online one more query a
// second. These take minutes: scripts/test.sh runs them beside the lanes,
// not in them. Counts, not timings, with a margin a busy machine keeps.
class Paced : public Wendle {
protected:
    // Calls of the program to RAS in the next ms milliseconds.
    size_t CallsIn(DWORD ms, const char *prefix = "Ras") {
        size_t before = SimCallsMatching(prefix, pi_.dwProcessId).size();
        WaitFor([] { return false; }, ms);
        return SimCallsMatching(prefix, pi_.dwProcessId).size() - before;
    }
    // "what: lo..hi" when n is within, else also what it was.
    static std::string Within(const std::string &what, size_t n, size_t lo, size_t hi) {
        std::string range = std::to_string(lo) + ".." + std::to_string(hi);
        return what + ": " + (n >= lo && n <= hi ? range : std::to_string(n) + ", not " + range);
    }
    // The first prompt the program shows within ms, and its text.
    HWND NextPrompt(DWORD ms, std::string *text) {
        HWND prompt = ShownDialog(ms, true);
        *text = prompt ? PromptText(prompt) : "(no prompt)";
        return prompt;
    }
};

const char kAskText[] = "Your Dialup Connection is still active,\n\nAuto Disconnect will happen in 30 sec.";
const char kRemindText[] = "Your dialup connection is still active\n\nHangup Now?";

TEST_F(Paced, PromptsComeAtTheirMinuteAndTheUnansweredOneHangsUpAfterThirtySeconds) {
    StoreSettings(1, "Yes", 1, "Yes");
    Launch();
    ASSERT_TRUE(WaitFor([] { return SimCallsMatching("RasConnectionNotificationA").size() == 2; }, kSlowMs));
    WaitFor([] { return false; }, 1000);  // start-up's own looks
    std::vector<std::string> expected = {
        "idle, RAS calls in 16 s: 5..9",
        "online, status queries in 40 s: 48..72",
        "first prompt: " + std::string(kAskText),
        "milliseconds from the line to it: 61000..66000",
        "milliseconds it stood unanswered until the hang-up: 29000..34000",
        "then, in the same pass: " + std::string(kRemindText),
        "idle again, RAS calls in 16 s: 5..9",
    };
    std::vector<std::string> seen;
    seen.push_back(Within("idle, RAS calls in 16 s", CallsIn(16000), 5, 9));
    // Taken first: the program's minute starts once it has seen the line.
    DWORD up = GetTickCount();
    RasSimSetState("Office", RASCS_Connected);
    WaitFor([] { return false; }, 5000);
    seen.push_back(Within("online, status queries in 40 s", CallsIn(40000, "RasGetConnectStatusA Office"), 48, 72));
    std::string text;
    LONG left = (LONG)(up + 75000 - GetTickCount());
    HWND ask = NextPrompt(left > 0 ? (DWORD)left : 0, &text);
    DWORD shown = GetTickCount();
    seen.push_back("first prompt: " + text);
    seen.push_back(Within("milliseconds from the line to it", shown - up, 61000, 66000));
    if (ask) {
        WaitFor([] { return !SimCallsMatching("RasHangUpA").empty(); }, 40000);
        size_t ms = SimCallsMatching("RasHangUpA").empty() ? 0 : GetTickCount() - shown;
        seen.push_back(Within("milliseconds it stood unanswered until the hang-up", ms, 29000, 34000));
        WaitFor([&] { return !IsWindow(ask); }, kSlowMs);
        HWND reminder = NextPrompt(5000, &text);
        seen.push_back("then, in the same pass: " + text);
        if (reminder) PostMessageA(GetDlgItem(reminder, IDCANCEL), BM_CLICK, 0, 0);
        WaitFor([&] { return !IsWindow(reminder); }, kSlowMs);
    }
    WaitFor([] { return SimConnections().empty(); }, kSlowMs);
    WaitFor([] { return false; }, 2000);  // the main window's second look
    seen.push_back(Within("idle again, RAS calls in 16 s", CallsIn(16000), 5, 9));
    EXPECT_EQ(expected, seen) << Join(seen) << Join(SimCallsMatching("RasHangUpA"));
}

TEST_F(Paced, TheWindows95PollAsksEveryTwoSecondsAndNoMoreOnceTheLineDrops) {
    StoreSettings(60, "No", 60, "No");
    LaunchAs("win95", "WendlePaced_");
    ASSERT_TRUE(WaitFor([] { return !SimCallsMatching("RasEnumConnectionsA").empty(); }, kSlowMs));
    WaitFor([] { return false; }, 1000);
    std::vector<std::string> expected = {"idle, RAS calls in 16 s: 5..9", "notification registrations: 0",
                                         "online, status queries in 10 s: 11..19", "idle again, RAS calls in 16 s: 5..9"};
    std::vector<std::string> seen;
    seen.push_back(Within("idle, RAS calls in 16 s", CallsIn(16000), 5, 9));
    // The NT path would count the same: this is the poll's count only if it polls.
    seen.push_back("notification registrations: " +
                   std::to_string(SimCallsMatching("RasConnectionNotificationA", pi_.dwProcessId).size()));
    RasSimSetState("Office", RASCS_Connected);
    WaitFor([] { return false; }, 3000);
    seen.push_back(Within("online, status queries in 10 s", CallsIn(10000, "RasGetConnectStatusA Office"), 11, 19));
    RasSimDrop(NULL);
    WaitFor([] { return false; }, 3000);  // the monitor's last pass, the poll's report, the second look
    seen.push_back(Within("idle again, RAS calls in 16 s", CallsIn(16000), 5, 9));
    EXPECT_EQ(expected, seen) << Join(seen);
}

// The one EXE in every Windows version Wine can report: a copy of it per
// version, named for it, with Wine told to report that version to it.
class EveryWindows : public Wendle, public ::testing::WithParamInterface<const char *> {};

TEST_P(EveryWindows, StartsRemindsHangsUpAndExits) {
    std::string mode = GetParam();
    StoreRemindEveryPass();
    LaunchAs(mode);
    bool legacy = mode == "win95" || mode == "win98" || mode == "winme";
    ReminderRoundTrip(legacy ? 0 : 2);  // the Windows 95 family polls
    EXPECT_EQ(legacy ? 0u : 2u, SimCallsMatching("RasConnectionNotificationA").size()) << mode;
    HWND dlg = OpenProperties();  // help answers in every version, with or without a viewer
    ASSERT_TRUE(dlg != NULL);
    EXPECT_EQ(std::string(TopicText(7)) + " / closed", F1Popup(dlg, 1003)) << mode;
    PostMessageA(GetDlgItem(dlg, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dlg); }, kSlowMs));
    HWND menu = RightClick();
    ASSERT_TRUE(menu != NULL);
    for (WPARAM key : {VK_UP, VK_UP, VK_RETURN}) PostMessageA(menu, WM_KEYDOWN, key, 0);
    DWORD code = 99;
    ASSERT_TRUE(Exited(&code)) << "Exit did not end the process";
    EXPECT_EQ(0u, code);
}

// F1 on each control of the properties dialog's help table shows that
// control's topic, whether a WinHelp viewer exists (Windows XP: Wine's
// answers FALSE, so the dialog shows the text itself and closes the viewer)
// or not (Windows 10); a key closes it.
class HelpModes : public Wendle, public ::testing::WithParamInterface<const char *> {};

TEST_P(HelpModes, F1ShowsTheControlsTopic) {
    static const int kTable[][2] = {{1000, 4}, {1001, 5}, {1007, 5}, {1006, 5}, {1002, 6},
                                    {1003, 7}, {1004, 7}, {1005, 7}, {IDOK, 8}, {IDCANCEL, 9}};
    LaunchAs(GetParam());
    HWND dlg = OpenProperties();
    ASSERT_TRUE(dlg != NULL);
    std::vector<std::string> expected, shown;
    for (const auto &row : kTable) {
        expected.push_back(std::to_string(row[0]) + ": " + TopicText(row[1]) + " / closed");
        shown.push_back(std::to_string(row[0]) + ": " + F1Popup(dlg, row[0]));
    }
    EXPECT_EQ(expected, shown) << Join(shown);
    EXPECT_TRUE(WaitFor([] { return FindWindowA("MS_WINHELP", NULL) == NULL; }, kSlowMs)) << "a help viewer stayed";
    PostMessageA(GetDlgItem(dlg, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dlg); }, kSlowMs));
}

INSTANTIATE_TEST_SUITE_P(Help, HelpModes, ::testing::Values("winxp", "win10"),
                         [](const ::testing::TestParamInfo<const char *> &info) { return std::string(info.param); });

// The help file the build makes, opened by a reader nobody here wrote: Wine's
// help viewer shows each context number's topic, and goes when told to.
TEST(HelpFile, TheViewerShowsEachTopic) {
    HWND owner = CreateWindowA("STATIC", "help owner", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    ASSERT_TRUE(owner != NULL);
    std::string path = BinDir() + "Wendle.hlp";
    std::vector<std::string> expected, shown;
    for (const HelpTopic &t : kHelpTopics) {
        expected.push_back(std::to_string(t.number) + ": " + t.title);
        std::string line = std::to_string(t.number) + ": ";
        ASSERT_TRUE(WinHelpA(owner, path.c_str(), HELP_CONTEXT, t.number)) << path;
        std::string seen;
        // The viewer's text pane answers with the topic's title and text.
        bool found = WaitFor([&] {
            seen = ViewerText();
            return Squeezed(seen).find(Squeezed(std::string(t.title) + t.text)) != std::string::npos;
        }, kSlowMs);
        shown.push_back(line + (found ? t.title : "(not shown) " + seen));
    }
    EXPECT_EQ(expected, shown) << Join(shown);
    WinHelpA(owner, path.c_str(), HELP_QUIT, 0);
    EXPECT_TRUE(WaitFor([] { return FindWindowA("MS_WINHELP", NULL) == NULL; }, kSlowMs)) << "the viewer stayed";
    DestroyWindow(owner);
}

INSTANTIATE_TEST_SUITE_P(Modes, EveryWindows,
                         ::testing::Values("win95", "win98", "winme", "nt351", "nt40", "win2k", "winxp", "win2k3",
                                           "vista", "win2008", "win7", "win8", "win81", "win10"),
                         [](const ::testing::TestParamInfo<const char *> &info) { return std::string(info.param); });

}  // namespace
