// The platform rule and the connection watchers. This suite also runs in
// copies of the test program that Wine reports as Windows 95, NT 4 and NT
// 3.51 (tests/CMakeLists.txt), so both watcher kinds run for real.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "app.h"
#include "fixture.h"
#include "rasapi.h"
#include "rassim.h"
#include "resource.h"
#include "settings.h"
#include "testutil.h"

namespace {

struct VersionCase {
    const char *platform;
    DWORD version;  // as GetVersion reports it
    BOOL legacy;
};

const VersionCase kVersions[] = {
    {"Windows 95", 0xC0000004, TRUE},       {"Windows 98", 0xC0000A04, TRUE},
    {"Windows Me", 0xC0005A04, TRUE},       {"NT 3.1", 0x02FF0A03, FALSE},
    {"NT 3.51", 0x04213303, FALSE},         {"NT 4.0", 0x05650004, FALSE},
    {"Windows 2000", 0x08930005, FALSE},    {"Windows XP", 0x0A280105, FALSE},
    {"Windows 7", 0x1DB10106, FALSE},       {"Windows 8.1", 0x25800306, FALSE},
    {"Windows 10 19045", 0x4A65000A, FALSE}, {"Windows 11 22631", 0x5867000A, FALSE},
};

TEST(Platform, LegacyRuleForEveryPlatformsVersionValue) {
    std::string wrong;
    for (const auto &c : kVersions)
        if (IsLegacyVersion(c.version) != c.legacy) wrong += std::string("  ") + c.platform + "\n";
    EXPECT_TRUE(wrong.empty()) << "wrong answer for:\n" << wrong;
}

// The mode this copy of the program was started in, from its file name.
std::string ModeOfThisProgram() {
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, sizeof(path));
    std::string name(path);
    size_t us = name.rfind('_'), dot = name.rfind('.');
    std::string suffix = us == std::string::npos ? "" : name.substr(us + 1, dot - us - 1);
    return suffix == "win95" || suffix == "nt40" || suffix == "nt351" ? suffix : "default";
}

TEST(Platform, RunsInTheVersionModeItsNameAsksFor) {
    std::string mode = ModeOfThisProgram();
    DWORD v = GetVersion();
    DWORD expected = mode == "win95" ? 0xC0000004u : mode == "nt40" ? 0x05650004u : mode == "nt351" ? 0x04213303u : v;
    EXPECT_EQ(expected, v) << mode;
    EXPECT_EQ(mode == "win95", IsLegacyRasPlatform() != FALSE) << mode;
}

class Watchers : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        g_monitorPauseMs = 50;
        // The watchers look at the line every 300 ms here, not every 2 s, so
        // that the Windows 95 family's polling does not slow every test; the
        // first test keeps the real pace.
        g_watcherLookMs = 300;
    }
    void TearDown() override {
        MainWindow::TearDown();
        g_monitorPauseMs = 1000;
    }
    // The main window's own state changes, one letter each: C connected, D
    // not. A report may come from more than one side (a watcher, the end of
    // a monitor run, the main window's second look): one letter a change.
    std::string Reports() {
        std::string out;
        for (const auto &r : MainRows()) {
            if (r.op != NIM_MODIFY) continue;
            char c = r.tip == "Connections Active" ? 'C' : 'D';
            if (out.empty() || out.back() != c) out += c;
        }
        return out;
    }
    DWORD ReportWithin() { return 1500; }
    // Within two seconds of a change: the main window's second look, or a poll.
    DWORD TruthWithin() { return 2000; }
    // What the tray shows now, whichever thread drew it last.
    std::string Shows() {
        std::vector<TrayRow> rows = RowsNow();
        if (rows.empty()) return "nothing";
        const TrayRow &r = rows.back();
        if (r.icon == IDI_IDLE && r.tip == "No Active Connections") return "idle";
        if (r.icon >= IDI_ONLINE && r.icon <= IDI_ONLINE4 && r.tip == "Connections Active") return "online";
        return "icon " + std::to_string(r.icon) + " \"" + r.tip + "\"";
    }
    bool ShowsWithin(const std::string &what, DWORD ms) {
        return WaitFor([&] { return Shows() == what; }, ms);
    }
    // Starts the program and waits until its watchers are at work.
    void StartWatching() {
        size_t registrations = SimCallsMatching("RasConnectionNotificationA").size();
        StartAndSettle();
        if (IsLegacyRasPlatform()) return;
        ASSERT_TRUE(WaitFor([&] { return SimCallsMatching("RasConnectionNotificationA").size() >= registrations + 2; }))
            << Join(SimCalls());
    }
};

TEST_F(Watchers, KindAndThreadsFollowThePlatform) {
    g_watcherLookMs = 2000;  // the program's own pace
    size_t before = ThreadCount();
    size_t registrations = SimCallsMatching("RasConnectionNotificationA").size();
    StartAndSettle();
    size_t watchers = ThreadCount() - before;
    if (IsLegacyRasPlatform()) {
        EXPECT_EQ(1u, watchers) << "one polling thread";
        EXPECT_TRUE(SimCallsMatching("RasConnectionNotificationA").size() == registrations);
        size_t polls = SimCallsMatching("RasEnumConnectionsA").size();
        EXPECT_TRUE(WaitFor([&] { return SimCallsMatching("RasEnumConnectionsA").size() >= polls + 2; }, 4600))
            << "the poll asks RAS every two seconds\n" << Join(SimCalls());
    } else {
        EXPECT_EQ(2u, watchers) << "two notification threads";
        EXPECT_TRUE(WaitFor([&] { return SimCallsMatching("RasConnectionNotificationA").size() == registrations + 2; },
                            2000))
            << Join(SimCalls());
    }
    DWORD closed = GetTickCount();
    Close();
    // Within the wait period, with a margin for a loaded machine.
    EXPECT_LT(GetTickCount() - closed, IsLegacyRasPlatform() ? 3000u : 2000u) << "threads end within their wait";
}

TEST_F(Watchers, ReportConnectionsMadeAndDroppedOutside) {
    StartWatching();
    ASSERT_EQ("D", Reports());
    RasSimSetState("Office", RASCS_Authenticate);
    RasSimSetState("Office", RASCS_Connected);
    EXPECT_TRUE(WaitFor([this] { return Reports() == "DC"; }, ReportWithin())) << Reports();
    RasSimDrop("Office");
    EXPECT_TRUE(WaitFor([this] { return Reports() == "DCD"; }, ReportWithin())) << Reports();
    // Idle, the looks go on and draw nothing.
    WaitFor([] { return monitorRunning == 0; }, 3000);  // its last frame
    WaitFor([] { return false; }, 600);                  // the main window's second look
    size_t drawn = MainRows().size(), looks = SimCallsMatching("RasEnumConnectionsA").size();
    WaitFor([] { return false; }, 900);  // three looks
    EXPECT_EQ(drawn, MainRows().size()) << Describe(MainRows());
    EXPECT_GE(SimCallsMatching("RasEnumConnectionsA").size(), looks + 2);
    RasSimSetState("Home", RASCS_Connected);
    EXPECT_TRUE(WaitFor([this] { return Reports() == "DCDC"; }, ReportWithin())) << Reports();
    // Nothing changes for a while: the tray stays as it is.
    WaitFor([] { return false; }, 1200);  // four looks
    EXPECT_EQ("DCDC", Reports());
}

TEST_F(Watchers, TwoConnectionsOneAfterTheOtherOnNT) {
    if (IsLegacyRasPlatform()) GTEST_SKIP() << "the polling watcher reports the line, not each connection";
    StartWatching();
    auto connectedReports = [this] {
        size_t n = 0;
        for (const auto &r : MainRows()) n += r.tip == "Connections Active";
        return n;
    };
    RasSimSetState("Office", RASCS_Connected);
    ASSERT_TRUE(WaitFor([&] { return connectedReports() == 1; }, ReportWithin())) << Describe(MainRows());
    RasSimSetState("Home", RASCS_Connected);
    EXPECT_TRUE(WaitFor([&] { return connectedReports() == 2; }, ReportWithin())) << Describe(MainRows());
}

// One warning, and the looks go on while it stands.
TEST_F(Watchers, WithoutNotificationsTheyWarnOnceAndLook) {
    RasSimSetMissing("RasConnectionNotificationA");
    BoxWatcher boxes(0);  // left standing
    StartAndSettle();
    std::vector<BoxRecord> expected;
    if (!IsLegacyRasPlatform())
        expected.assign(1, BoxRecord{"Wendle", "Error Finding Function - RasConnectionNotification", NULL, "warning"});
    // A loaded machine may take long to show it.
    WaitFor([&] { return boxes.Count() >= expected.size(); }, 20000);
    WaitFor([] { return false; }, 300);  // and no more than that
    EXPECT_EQ(expected, boxes.Boxes()) << Describe(boxes.Boxes());
    // A look every 300 ms here, whatever else reports the line.
    size_t looks = SimCallsMatching("RasEnumConnectionsA").size();
    EXPECT_TRUE(WaitFor([&] { return SimCallsMatching("RasEnumConnectionsA").size() >= looks + 3; }, 3000))
        << "the looks go on\n" << Join(SimCalls());
    RasSimSetState("Office", RASCS_Connected);
    EXPECT_TRUE(ShowsWithin("online", 3000)) << Describe(RowsNow());
    RasSimDrop("Office");
    EXPECT_TRUE(ShowsWithin("idle", 3000)) << Describe(RowsNow());
    HWND box = FindWindowA("#32770", "Wendle");
    EXPECT_EQ(!IsLegacyRasPlatform(), box != NULL) << "the warning still stands";
    if (box) PostMessageA(box, WM_COMMAND, IDOK, 0);
    RasSimSetMissing("off");
}

// At log-on RAS answers 711 until its service is up, and some RAS versions
// take only the documented INVALID_HANDLE_VALUE: the watchers try again,
// silently, until their registrations hold, and the tray follows the line.
TEST_F(Watchers, RegistrationIsTriedUntilItHolds) {
    if (IsLegacyRasPlatform()) GTEST_SKIP() << "the Windows 95 family has no notifications";
    struct Case {
        const char *what;
        std::function<void()> arrange;
        size_t count;                    // registration calls until both hold
        std::vector<std::string> calls;  // among them, sorted
    } cases[] = {
        {"only the documented handle", [] { RasSimSetNotifyHandle("invalid"); }, 4,
         {"RasConnectionNotificationA invalid", "RasConnectionNotificationA invalid", "RasConnectionNotificationA null",
          "RasConnectionNotificationA null"}},
        // Each attempt asks with both handles; six refusals, then one call per watcher.
        {"service not started for six calls", [] { RasSimSetFaultTimes("notify", 711, 6); }, 8,
         {"RasConnectionNotificationA invalid", "RasConnectionNotificationA invalid", "RasConnectionNotificationA invalid",
          "RasConnectionNotificationA null", "RasConnectionNotificationA null", "RasConnectionNotificationA null"}},
    };
    BoxWatcher boxes;
    baseThreads_ = ThreadCount();  // its thread outlives each window
    for (const Case &c : cases) {
        SimReset();
        c.arrange();
        ClearRows();
        StartAndSettle();
        auto registrations = [] { return SimCallsMatching("RasConnectionNotificationA"); };
        EXPECT_TRUE(WaitFor([&] { return registrations().size() >= c.count; }, 5000)) << c.what;
        WaitFor([] { return false; }, 1200);  // held: no more attempts
        std::vector<std::string> calls = registrations();
        RasSimSetState("Office", RASCS_Connected);
        EXPECT_TRUE(ShowsWithin("online", 2000)) << c.what << "\n" << Describe(RowsNow());
        RasSimDrop("Office");
        EXPECT_TRUE(ShowsWithin("idle", 2000)) << c.what << "\n" << Describe(RowsNow());
        EXPECT_EQ(calls, registrations()) << c.what;
        EXPECT_EQ(c.count, calls.size()) << c.what << "\n" << Join(calls);
        std::sort(calls.begin(), calls.end());
        EXPECT_TRUE(std::includes(calls.begin(), calls.end(), c.calls.begin(), c.calls.end()))
            << c.what << "\n" << Join(calls);
        EXPECT_TRUE(boxes.Boxes().empty()) << c.what << "\n" << Describe(boxes.Boxes());
        Close();
        RasSimSetNotifyHandle("any");
    }
    // Refused for good (RAS's service disabled): tried again less and less
    // often. Every 150 ms would be some 60 calls in these 2.5 s.
    SimReset();
    RasSimSetFault("notify", 711);
    StartAndSettle();
    WaitFor([] { return false; }, 2500);
    size_t calls = SimCallsMatching("RasConnectionNotificationA").size();
    EXPECT_TRUE(calls >= 8 && calls <= 24) << calls << "\n" << Join(SimCallsMatching("RasConnectionNotificationA"));
    EXPECT_TRUE(boxes.Boxes().empty()) << Describe(boxes.Boxes());
    Close();
    RasSimSetFault("notify", 0);
}

// Reports that arrive out of order, or a monitor frame drawn just after the
// switch to idle, are put right: within two seconds of the last change the
// tray shows whether a line is up.
TEST_F(Watchers, TheTrayEndsOnTheTruth) {
    StartWatching();
    struct Late {
        bool up;
        UINT message;
        const char *shows;
    } late[] = {{false, MSG_CONNECTED, "idle"}, {true, MSG_DISCONNECTED, "online"}, {false, MSG_DISCONNECTED, "idle"}};
    for (const Late &l : late) {
        if (l.up) RasSimSetState("Office", RASCS_Connected);
        if (!l.up) RasSimDrop(NULL);
        ASSERT_TRUE(ShowsWithin(l.up ? "online" : "idle", 3000)) << Describe(RowsNow());
        SendMessageA(hwnd_, l.message, 0, 0);  // a report about an earlier state
        EXPECT_TRUE(ShowsWithin(l.shows, TruthWithin())) << l.message << "\n" << Describe(RowsNow());
    }
    // A line that keeps dropping, at the monitor's real pace.
    g_monitorPauseMs = 1000;
    for (int trial = 0; trial < 3; trial++) {
        for (int i = 0; i < 50; i++) {
            RasSimSetState("Office", RASCS_Connected);
            RasSimDrop("Office");
        }
        EXPECT_TRUE(ShowsWithin("idle", TruthWithin())) << "trial " << trial << "\n" << Describe(RowsNow());
        ASSERT_TRUE(WaitFor([] { return monitorRunning == 0; }, 3000));
        EXPECT_TRUE(ShowsWithin("idle", 1000)) << "after the run, trial " << trial << "\n" << Describe(RowsNow());
        RasSimSetState("Office", RASCS_Connected);
        EXPECT_TRUE(ShowsWithin("online", TruthWithin())) << "trial " << trial << "\n" << Describe(RowsNow());
        RasSimDrop("Office");
        EXPECT_TRUE(ShowsWithin("idle", TruthWithin())) << "trial " << trial << "\n" << Describe(RowsNow());
    }
}

// However RAS signals (every change, once per registration, never, or a
// connection as it is created), and however long a hang-up takes, the tray
// shows each connection within 3 s of its reaching Connected, with a run of
// the online monitor of its own, and idle within 3 s of the last link's
// going. The looks between signals are shortened here; the last row keeps
// their real pace.
TEST_F(Watchers, FollowEveryConnectionWhateverRasSignals) {
    if (IsLegacyRasPlatform()) GTEST_SKIP() << "the Windows 95 family has no notifications";
    struct Step {
        const char *what;
        std::function<void()> act;
        const char *shows;  // within 3 s; "still idle": for 400 ms
    };
    // Once the last hang-up's link is gone: RAS refuses the entry until then.
    auto settled = [] { EXPECT_TRUE(WaitFor([] { return SimConnections().empty(); }, 5000)) << Join(SimConnections()); };
    auto connect = [] { EXPECT_EQ(0u, RasSimSetState("Office", RASCS_Connected)); };
    auto drop = [] { RasSimDrop("Office"); };
    auto connectAnew = [&] {
        settled();
        connect();
    };
    std::vector<Step> upAndDown = {{"connect", connectAnew, "online"}, {"drop", drop, "idle"}};
    std::vector<Step> all = upAndDown;
    for (int i = 0; i < 2; i++) all.insert(all.end(), upAndDown.begin(), upAndDown.end());
    all.push_back({"create", [&] {
                       settled();
                       EXPECT_EQ(0u, RasSimSetState("Office", RASCS_Authenticate));
                   }, "still idle"});
    all.push_back({"connect it", connect, "online"});
    all.push_back({"drop", drop, "idle"});
    all.push_back({"dial", [&] {
                       settled();
                       SendMessageA(hwnd_, WM_COMMAND, IDM_DIAL_FIRST, 0);
                   }, "online"});
    all.push_back({"hang up", [this] { SendMessageA(hwnd_, WM_COMMAND, IDM_HANGUP, 0); }, "idle"});
    struct Row {
        const char *mode;
        DWORD lingerMs, lookMs;
        const std::vector<Step> &steps;
    } rows[] = {
        {"every", 0, 300, all}, {"once", 0, 300, all}, {"silent", 800, 300, all}, {"early", 800, 300, all},
        {"silent", 1500, 2000, upAndDown},
    };
    BoxWatcher boxes;
    baseThreads_ = ThreadCount();  // its thread outlives each window
    for (const Row &row : rows) {
        SimReset();
        RasSimSetNotifyMode(row.mode);
        RasSimSetLinger(row.lingerMs);
        RasSimAddEntry("Office", TRUE);
        RasSimSetDialScript("Office", "0:100,5:100,8192");
        g_watcherLookMs = row.lookMs;
        ClearRows();
        StartWatching();
        std::vector<std::string> expected, seen;
        for (const Step &step : row.steps) {
            size_t from = RowsNow().size();
            step.act();
            expected.push_back(std::string(step.what) + ": " + step.shows);
            bool ok;
            if (std::string(step.shows) == "still idle") {
                ok = !WaitFor([&] { return Shows() != "idle"; }, 400);
            } else {
                // Online means a run of the monitor too: a frame of another thread.
                ok = WaitFor([&] {
                    std::vector<TrayRow> rows = RowsNow();
                    bool frame = false;
                    for (size_t i = from; i < rows.size(); i++) frame = frame || rows[i].thread != GetCurrentThreadId();
                    return Shows() == step.shows && (std::string(step.shows) != "online" || frame);
                }, 3000);
            }
            seen.push_back(std::string(step.what) + ": " + (ok ? step.shows : "shows " + Shows()));
            // The main window's second look after a report would catch a change
            // that follows within half a second: only the watchers (and the
            // monitor, while online) may tell of the next one.
            KillTimer(hwnd_, IDT_TRAY_SETTLE);
        }
        EXPECT_EQ(expected, seen) << row.mode << ", linger " << row.lingerMs << ", looks every " << row.lookMs << " ms\n"
                                  << Join(seen) << Describe(MainRows());
        Close();
    }
    EXPECT_TRUE(boxes.Boxes().empty()) << Describe(boxes.Boxes());
}

// Signals the line contradicts (a dial starting every 100 ms, as RAS that
// signals early reports each) put off no look: with the monitor held by a
// reminder, only a look can show that the line went while RAS takes its
// time to let it go.
TEST_F(Watchers, SignalsThatTheLineContradictsPutOffNoLook) {
    if (IsLegacyRasPlatform()) GTEST_SKIP() << "the Windows 95 family has no notifications";
    RasSimSetNotifyMode("early");
    RasSimSetLinger(5000);
    RasSimSetState("Office", RASCS_Connected);
    StartWatching();
    AppSettings.autoDisconnect = 0;
    AppSettings.remindOnline = 1;
    AppSettings.remindMinutes = 0;  // the reminder is due at once, and holds the monitor
    ASSERT_TRUE(ShowsWithin("online", 3000)) << Describe(RowsNow());
    HWND prompt = WaitForDialog("Wendle", 5000);
    ASSERT_TRUE(prompt != NULL);
    // The main window's second look after its first report is still due:
    // only the watchers may tell of the drop.
    KillTimer(hwnd_, IDT_TRAY_SETTLE);
    RasSimDrop("Office");
    DWORD dropped = GetTickCount();
    bool idle = false;
    for (int i = 0; GetTickCount() - dropped < 1500 && !idle; i++) {
        RasSimSetState(("Retry " + std::to_string(i)).c_str(), RASCS_OpenPort);
        idle = WaitFor([this] { return Shows() == "idle"; }, 100);
    }
    // Before the link's handle goes, and its disconnection with it.
    EXPECT_TRUE(idle && GetTickCount() - dropped < 5000)
        << "idle within 1.5 s, looks every 300 ms\n" << Describe(MainRows());
    PostMessageA(prompt, WM_COMMAND, IDCANCEL, 0);
    AppSettings.remindOnline = 0;
    RasSimSetLinger(0);
    RasSimDrop(NULL);
    WaitFor([] { return monitorRunning == 0; }, 5000);
}

}  // namespace
