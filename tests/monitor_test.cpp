// The online monitor and its prompts. A fake clock that moves on a fixed
// step at every reading and a shortened pause let an hour's schedule run in
// moments; the prompts are real dialogs, answered from outside as a user
// would (buttons, the close box) or left to time out.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>

#include "app.h"
#include "fixture.h"
#include "rasapi.h"
#include "rassim.h"
#include "resource.h"
#include "settings.h"
#include "testutil.h"

namespace {

// ---- the fake clock -----------------------------------------------------------
// Reading k (0 is the run's start) returns the tick count kStart + k * step
// seconds, wrapping as the real one does; a hook may change the settings at
// a chosen reading, between two passes.
const DWORD kStart = 1000000;
std::atomic<LONG> g_readings;
LONG g_step = 60;
DWORD g_start = kStart;
std::function<void(LONG)> g_atReading;

DWORD FakeClock(void) {
    LONG k = g_readings++;
    if (g_atReading) g_atReading(k);
    return g_start + (DWORD)k * (DWORD)g_step * 1000u;
}

// ---- the prompts as a user meets them ---------------------------------------------
enum Answer { PRESS_1, PRESS_2, CLOSE_BOX, LEAVE };

struct PromptSeen {
    std::string kind;  // "ask" or "remind"
    LONG pass;         // the clock reading of the pass that opened it
    bool operator==(const PromptSeen &o) const { return kind == o.kind && pass == o.pass; }
};

void PrintTo(const PromptSeen &p, std::ostream *os) { *os << p.kind << "@" << p.pass; }

std::string Describe(const std::vector<PromptSeen> &seen) {
    std::string out;
    for (const auto &p : seen) out += "  " + p.kind + "@" + std::to_string(p.pass) + "\n";
    return out.empty() ? "  (no prompts)\n" : out;
}

// An icon static shows as "#id" of the prompt icon it holds (its window text
// says so only without common controls 6).
std::string ControlText(HWND ctl) {
    if ((GetWindowLongA(ctl, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        std::string bits = IconBits((HICON)SendMessageA(ctl, STM_GETICON, 0, 0));
        for (int id : {IDI_REMIND, IDI_ASK}) {
            HICON icon = LoadAppIcon(id);
            bool same = IconBits(icon) == bits;
            DestroyIcon(icon);
            if (same) return "#" + std::to_string(id);
        }
        return "#?";
    }
    char text[256] = "";
    GetWindowTextA(ctl, text, sizeof(text));
    return text;
}

// Finds each prompt as it opens (on the monitor's thread), notes which one
// and at which pass, and answers it.
class PromptUser {
public:
    explicit PromptUser(std::function<Answer(const PromptSeen &)> answer) : answer_(answer) {
        stop_ = CreateEventA(NULL, TRUE, FALSE, NULL);
        thread_ = CreateThread(NULL, 0, Run, this, 0, NULL);
    }
    ~PromptUser() {
        SetEvent(stop_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        CloseHandle(stop_);
    }
    std::vector<PromptSeen> Seen() {
        std::lock_guard<std::mutex> lock(lock_);
        return seen_;
    }
    size_t Count() { return Seen().size(); }
    std::vector<std::string> Layouts() {
        std::lock_guard<std::mutex> lock(lock_);
        return layouts_;
    }

private:
    static DWORD WINAPI Run(LPVOID param) {
        PromptUser *self = (PromptUser *)param;
        HWND last = NULL;
        do {
            for (HWND dlg : VisibleDialogs()) {
                if (!IsPromptDialog(dlg) || dlg == last) continue;
                last = dlg;
                self->Handle(dlg);
            }
        } while (WaitForSingleObject(self->stop_, 2) == WAIT_TIMEOUT);
        return 0;
    }
    void Handle(HWND dlg) {
        std::string layout = DialogLayout(dlg);
        PromptSeen p;
        p.kind = layout.find("Auto Disconnect") != std::string::npos ? "ask" : "remind";
        p.pass = g_readings - 1;
        Answer a = answer_(p);
        {
            std::lock_guard<std::mutex> lock(lock_);
            seen_.push_back(p);
            layouts_.push_back(layout);
        }
        switch (a) {
        case PRESS_1: PostMessageA(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0); break;
        case PRESS_2: PostMessageA(GetDlgItem(dlg, IDCANCEL), BM_CLICK, 0, 0); break;
        case CLOSE_BOX: PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0); break;
        case LEAVE: break;
        }
    }
    std::string DialogLayout(HWND dlg) {
        std::string out = ControlText(dlg) + "\n";
        for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            char cls[32] = "", line[400];
            GetClassNameA(c, cls, sizeof(cls));
            snprintf(line, sizeof(line), "%d %s \"%s\" %08lx\n", (int)(short)GetDlgCtrlID(c), cls,
                     ControlText(c).c_str(), GetWindowLongA(c, GWL_STYLE));
            out += line;
        }
        return out;
    }
    std::function<Answer(const PromptSeen &)> answer_;
    std::mutex lock_;
    std::vector<PromptSeen> seen_;
    std::vector<std::string> layouts_;
    HANDLE stop_, thread_;
};

class Monitor : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        g_readings = 0;
        g_step = 60;
        g_start = kStart;
        g_atReading = nullptr;
        savedClock_ = g_pfnMonitorTicks;
        g_pfnMonitorTicks = FakeClock;
        g_monitorPauseMs = 1;
    }
    void TearDown() override {
        MainWindow::TearDown();
        g_atReading = nullptr;
        g_pfnMonitorTicks = savedClock_;
        g_monitorPauseMs = 1000;
        g_promptTimeoutMs = 30000;
    }
    void StoreSettings(LONG disconnectMinutes, LONG remindMinutes, bool remindOn, bool autoOn) {
        WriteRegistryInt(SETTINGS_KEY, "Disconnect Time", disconnectMinutes);
        WriteRegistryInt(SETTINGS_KEY, "Remind Time", remindMinutes);
        WriteRegistryBool(SETTINGS_KEY, "Remind Online", remindOn);
        WriteRegistryBool(SETTINGS_KEY, "Auto Disconnect", autoOn);
    }
    // Connects Office and starts the program: the run begins at reading 0.
    void GoOnline() {
        RasSimSetState("Office", RASCS_Connected);
        StartAndSettle();
    }
    // Ends the run by dropping the line; waits for the monitor to finish.
    void GoOffline() {
        RasSimDrop(NULL);
        EXPECT_TRUE(WaitFor([] { return monitorRunning == 0; }, 5000)) << "the run did not end";
    }
    MonitorTicksFn savedClock_;
};

TEST_F(Monitor, DefaultScheduleOverAnHour) {
    PromptUser user([](const PromptSeen &) { return PRESS_2; });
    GoOnline();
    ASSERT_TRUE(WaitFor([&] { return user.Count() >= 4; }, 20000)) << Describe(user.Seen());
    GoOffline();
    // 60-second steps: reminders after 20 and 40 minutes; at 60 both are due
    // in the same pass, the auto-disconnect prompt first.
    std::vector<PromptSeen> expected = {{"remind", 21}, {"remind", 41}, {"ask", 61}, {"remind", 61}};
    EXPECT_EQ(expected, user.Seen()) << Describe(user.Seen());
    EXPECT_TRUE(SimCallsMatching("RasHangUpA").empty()) << "every prompt was answered No or Cancel";
}

// The schedule counts elapsed time: the tick count wrapping mid-run, or a
// run longer than the 49.7 days a 32-bit count of milliseconds holds, brings
// every prompt on time. (The wall clock is not read at all: setting it, or
// the year 2038, cannot move a prompt.)
TEST_F(Monitor, ElapsedTimeAcrossTheTickCountsWrap) {
    struct Row {
        const char *what;
        DWORD start;
        LONG step, disconnect, remind;
        std::vector<PromptSeen> expected;
    } rows[] = {
        {"wrap after ten passes", 0xFFFFFFFFu - 600000u, 60, 60, 20,
         {{"remind", 21}, {"remind", 41}, {"ask", 61}, {"remind", 61}}},
        {"ten days a pass", kStart, 864000, 999999, 999,
         {{"remind", 1}, {"remind", 2}, {"remind", 3}, {"remind", 4}, {"remind", 5}, {"remind", 6}}},
    };
    for (const Row &row : rows) {
        StoreSettings(row.disconnect, row.remind, true, true);
        g_readings = 0;
        g_start = row.start;
        g_step = row.step;
        {
            PromptUser user([](const PromptSeen &) { return PRESS_2; });
            GoOnline();
            size_t n = row.expected.size();
            ASSERT_TRUE(WaitFor([&] { return user.Count() >= n; }, 20000)) << row.what << "\n" << Describe(user.Seen());
            GoOffline();
            std::vector<PromptSeen> seen = user.Seen();
            seen.resize(n);
            EXPECT_EQ(row.expected, seen) << row.what << "\n" << Describe(user.Seen());
        }
        Close();
        SimReset();
        ClearRows();
    }
}

TEST_F(Monitor, ReminderFollowsTheHangUpInTheSamePass) {
    PromptUser user([](const PromptSeen &p) { return p.kind == "ask" ? PRESS_1 : PRESS_2; });
    GoOnline();
    ASSERT_TRUE(WaitFor([&] { return user.Count() >= 4; }, 20000)) << Describe(user.Seen());
    EXPECT_TRUE(WaitFor([] { return monitorRunning == 0; }, 5000)) << "the hang-up ends the run";
    std::vector<PromptSeen> expected = {{"remind", 21}, {"remind", 41}, {"ask", 61}, {"remind", 61}};
    EXPECT_EQ(expected, user.Seen()) << Describe(user.Seen());
    EXPECT_EQ(std::vector<std::string>{"RasHangUpA Office"}, SimCallsMatching("RasHangUpA"));
}

// RAS failing to answer for a few passes is not a dropped line: the run,
// and with it the reminders, goes on.
TEST_F(Monitor, ABriefRasErrorDoesNotEndTheRun) {
    StoreSettings(999, 20, true, false);
    g_atReading = [](LONG k) {
        if (k == 2) RasSimSetFaultTimes("enum", 711, 5);
        if (k == 25) RasSimSetFaultTimes("status", 711, 5);
    };
    PromptUser user([](const PromptSeen &) { return PRESS_2; });
    GoOnline();
    ASSERT_TRUE(WaitFor([&] { return user.Count() >= 2; }, 10000)) << Describe(user.Seen()) << Join(SimCalls());
    GoOffline();
    std::vector<PromptSeen> expected = {{"remind", 21}, {"remind", 41}};
    EXPECT_EQ(expected, user.Seen()) << Describe(user.Seen());
}

TEST_F(Monitor, LoweredSettingCatchesUpOnePeriodAPass) {
    StoreSettings(999, 20, true, false);
    g_step = 10;
    g_atReading = [](LONG k) {
        if (k == 30) AppSettings.remindMinutes = 1;
    };
    PromptUser user([](const PromptSeen &) { return PRESS_2; });
    GoOnline();
    ASSERT_TRUE(WaitFor([&] { return user.Count() >= 7; }, 20000)) << Describe(user.Seen());
    GoOffline();
    std::vector<PromptSeen> seen = user.Seen();
    seen.resize(7);
    // Changed as pass 30 reads the clock: periods 1 to 5 (60 s each) have all
    // ended by then and come due one a pass; then the schedule is caught up.
    std::vector<PromptSeen> expected = {{"remind", 30}, {"remind", 31}, {"remind", 32}, {"remind", 33},
                                        {"remind", 34}, {"remind", 37}, {"remind", 43}};
    EXPECT_EQ(expected, seen) << Describe(user.Seen());
}

TEST_F(Monitor, DisabledPromptStillCountsSoEnablingItBringsNoBacklog) {
    StoreSettings(999, 1, false, false);
    g_step = 10;
    g_atReading = [](LONG k) {
        if (k == 100) AppSettings.remindOnline = 1;
    };
    PromptUser user([](const PromptSeen &) { return PRESS_2; });
    GoOnline();
    ASSERT_TRUE(WaitFor([&] { return user.Count() >= 2; }, 20000)) << Describe(user.Seen());
    GoOffline();
    std::vector<PromptSeen> seen = user.Seen();
    seen.resize(2);
    std::vector<PromptSeen> expected = {{"remind", 103}, {"remind", 109}};
    EXPECT_EQ(expected, seen) << Describe(user.Seen());
}

TEST_F(Monitor, ZeroAndNegativeMinutesAreDueAtEveryPass) {
    struct Row {
        LONG disconnect, remind;
        bool remindOn, askOn;
        std::vector<PromptSeen> expected;
    } rows[] = {
        {0, 999, false, true, {{"ask", 1}, {"ask", 2}, {"ask", 3}}},
        {999, -5, true, false, {{"remind", 1}, {"remind", 2}, {"remind", 3}}},
        {0, -5, false, false, {}},
    };
    for (const Row &row : rows) {
        StoreSettings(row.disconnect, row.remind, row.remindOn, row.askOn);
        g_readings = 0;
        {
            PromptUser user([](const PromptSeen &) { return PRESS_2; });
            GoOnline();
            if (row.expected.empty())
                WaitFor([] { return g_readings > 20; }, 5000);
            else
                ASSERT_TRUE(WaitFor([&] { return user.Count() >= 3; }, 10000)) << Describe(user.Seen());
            GoOffline();
            std::vector<PromptSeen> seen = user.Seen();
            if (seen.size() > 3) seen.resize(3);
            EXPECT_EQ(row.expected, seen) << row.disconnect << "/" << row.remind << "\n" << Describe(user.Seen());
        }
        Close();
        SimReset();
        ClearRows();
    }
}

struct PromptCase {
    const char *what;
    bool ask;  // the auto-disconnect prompt, else the reminder
    Answer answer;
    bool hangsUp;
};

const PromptCase kPromptCases[] = {
    {"ask: Hangup Now", true, PRESS_1, true},     {"ask: Cancel", true, PRESS_2, false},
    {"ask: close box", true, CLOSE_BOX, false},   {"ask: no answer", true, LEAVE, true},
    {"remind: Yes", false, PRESS_1, true},        {"remind: No", false, PRESS_2, false},
    {"remind: close box", false, CLOSE_BOX, true}, {"remind: no answer", false, LEAVE, false},
};

// A prompt is about the line that was up when it opened. That line drops and
// another comes up before the answer: the new line stays up whatever the
// answer, and gets a run of its own (its first prompt one full period after
// the run that found it starts). With the line still up, the answer hangs up
// as before. A status query that fails as the prompt opens is RAS not
// answering, not a line gone: the answer still hangs up, and while RAS stays
// silent the run goes on and the tray stays online.
TEST_F(Monitor, APromptActsOnlyOnTheLineItWasAbout) {
    struct Row {
        const char *what;
        bool ask;
        Answer answer;
        bool replaced;
        DWORD statusFaults;  // status queries that fail from the prompt's pass on
        bool faultsFromTheAnswer;  // or only from the answer on
        std::vector<PromptSeen> expected;
        std::vector<std::string> hangUps, left;
    } rows[] = {
        {"ask, Hangup Now, line replaced", true, PRESS_1, true, 0, false, {{"ask", 2}, {"ask", 5}}, {}, {"Home\t8192"}},
        {"ask, no answer, line replaced", true, LEAVE, true, 0, false, {{"ask", 2}, {"ask", 5}}, {}, {"Home\t8192"}},
        {"remind, Yes, line replaced", false, PRESS_1, true, 0, false, {{"remind", 2}, {"remind", 5}}, {}, {"Home\t8192"}},
        {"ask, Hangup Now, line still up", true, PRESS_1, false, 0, false, {{"ask", 2}}, {"RasHangUpA Office"}, {}},
        {"remind, Yes, line still up", false, PRESS_1, false, 0, false, {{"remind", 2}}, {"RasHangUpA Office"}, {}},
        {"ask, Hangup Now, RAS blinks", true, PRESS_1, false, 1, false, {{"ask", 2}}, {"RasHangUpA Office"}, {}},
        {"ask, no answer, RAS blinks", true, LEAVE, false, 1, false, {{"ask", 2}}, {"RasHangUpA Office"}, {}},
        {"remind, Yes, RAS blinks", false, PRESS_1, false, 1, false, {{"remind", 2}}, {"RasHangUpA Office"}, {}},
        {"ask, Cancel, RAS silent", true, PRESS_2, false, 100000, false, {{"ask", 2}, {"ask", 3}}, {}, {"Office\t8192"}},
        {"ask, Cancel, line replaced, RAS silent", true, PRESS_2, true, 100000, true, {{"ask", 2}, {"ask", 5}}, {},
         {"Home\t8192"}},
    };
    g_promptTimeoutMs = 300;
    for (const Row &row : rows) {
        StoreSettings(row.ask ? 1 : 999, row.ask ? 999 : 1, !row.ask, row.ask);  // due at the second pass
        g_readings = 0;
        g_atReading = [&](LONG k) {
            if (k == 2 && row.statusFaults && !row.faultsFromTheAnswer)
                RasSimSetFaultTimes("status", 711, row.statusFaults);
        };
        {
            bool first = true, reportsIn = true;
            DWORD mainThread = GetCurrentThreadId();
            PromptUser user([&](const PromptSeen &) {
                if (!first) return PRESS_2;
                first = false;
                size_t before = RowsNow().size();
                if (row.replaced) {
                    RasSimDrop("Office");
                    RasSimSetState("Home", RASCS_Connected);
                }
                if (row.faultsFromTheAnswer) {
                    // The watchers' report of the new line is handled first
                    // (the tray shows it): then only the monitor can give Home
                    // a run.
                    reportsIn = WaitFor(
                        [&] {
                            std::vector<TrayRow> rows = RowsNow();
                            int last = 0;
                            for (size_t i = before; i < rows.size(); i++)
                                if (rows[i].thread == mainThread) last = rows[i].icon;
                            return last == IDI_ONLINE;
                        },
                        5000);
                    RasSimSetFaultTimes("status", 711, row.statusFaults);
                }
                return row.answer;
            });
            GoOnline();
            size_t n = row.expected.size();
            ASSERT_TRUE(WaitFor([&] { return user.Count() >= n; }, 10000)) << row.what << "\n" << Describe(user.Seen());
            EXPECT_TRUE(reportsIn) << row.what << ": the main window did not show the drop and Home\n"
                                   << Describe(RowsNow());
            if (!row.replaced) WaitFor([] { return monitorRunning == 0; }, 5000);
            std::vector<PromptSeen> seen = user.Seen();
            seen.resize(n);
            EXPECT_EQ(row.expected, seen) << row.what << "\n" << Describe(user.Seen());
            EXPECT_EQ(row.hangUps, SimCallsMatching("RasHangUpA")) << row.what << "\n" << Join(SimCalls());
            RasSimSetFault("status", 0);
            EXPECT_EQ(row.left, SimConnections()) << row.what;
            if (!row.replaced && !row.left.empty()) {  // the line never went
                std::vector<TrayRow> rows = RowsNow();
                for (const TrayRow &r : rows)
                    EXPECT_FALSE(r.op == NIM_MODIFY && r.icon == IDI_IDLE) << row.what << "\n" << Describe(rows);
            }
            GoOffline();
        }
        Close();
        SimReset();
        ClearRows();
    }
}

TEST_F(Monitor, PromptAnswersAsAUserGivesThem) {
    g_promptTimeoutMs = 300;
    for (const PromptCase &c : kPromptCases) {
        // One prompt, due at the first pass, the other one out of the way.
        StoreSettings(c.ask ? 0 : 999, c.ask ? 999 : 0, !c.ask, c.ask);
        g_readings = 0;
        bool answered = false;
        {
            PromptUser user([&](const PromptSeen &) {
                if (answered) return PRESS_2;  // a prompt after the first: leave the schedule be
                answered = true;
                return c.answer;
            });
            GoOnline();
            ASSERT_TRUE(WaitFor([&] { return user.Count() >= 1; }, 5000)) << c.what;
            if (c.hangsUp)
                EXPECT_TRUE(WaitFor([] { return !SimCallsMatching("RasHangUpA").empty(); }, 3000)) << c.what;
            else
                EXPECT_TRUE(WaitFor([&] { return user.Count() >= 2; }, 3000)) << c.what << ": the line stayed up";
            EXPECT_EQ(c.hangsUp ? std::vector<std::string>{"RasHangUpA Office"} : std::vector<std::string>{},
                      SimCallsMatching("RasHangUpA"))
                << c.what;
            GoOffline();
        }
        Close();
        SimReset();
        ClearRows();
    }
}

TEST_F(Monitor, PromptsAreLaidOutAsDesigned) {
    g_promptTimeoutMs = 30000;
    StoreSettings(0, 0, true, true);
    PromptUser user([](const PromptSeen &) { return PRESS_2; });
    GoOnline();
    ASSERT_TRUE(WaitFor([&] { return user.Count() >= 2; }, 5000));
    GoOffline();
    std::vector<std::string> layouts = user.Layouts();
    const std::string ask =
        "Wendle\n"
        "1 Button \"Hangup Now\" 50010001\n"
        "2 Button \"Cancel\" 50010000\n"
        "-1 Button \"Reminder\" 50000007\n"
        "-1 Static \"Your Dialup Connection is still active,\n\nAuto Disconnect will happen in 30 sec.\" 50020000\n"
        "-1 Static \"#126\" 50000003\n";
    const std::string remind =
        "Wendle\n"
        "1 Button \"Yes\" 50010000\n"
        "2 Button \"No\" 50010001\n"
        "-1 Button \"Reminder\" 50000007\n"
        "-1 Static \"Your dialup connection is still active\n\nHangup Now?\" 50020000\n"
        "-1 Static \"#116\" 50000003\n";
    ASSERT_GE(layouts.size(), 2u);
    EXPECT_EQ(ask, layouts[0]);
    EXPECT_EQ(remind, layouts[1]);
}

TEST_F(Monitor, OneRunAtATimeThroughABurstOfReports) {
    StoreSettings(999, 999, false, false);
    GoOnline();
    for (int i = 0; i < 20; i++) SendMessageA(hwnd_, MSG_CONNECTED, 0, 0);
    ASSERT_TRUE(WaitFor([this] { return RowsNow().size() > 60; }, 10000));
    // Every frame the monitor shows comes from one thread, in order.
    std::set<DWORD> monitors;
    std::vector<int> frames;
    for (const auto &r : RowsNow())
        if (r.thread != GetCurrentThreadId()) {
            monitors.insert(r.thread);
            frames.push_back(r.icon);
        }
    ASSERT_EQ(1u, monitors.size()) << Describe(RowsNow());
    for (size_t i = 0; i < frames.size(); i++) ASSERT_EQ(IDI_ONLINE + (int)(i % 4), frames[i]) << "frame " << i;
    // Windows may give an ended thread's id to a new one, unless a handle
    // still holds the old thread.
    HANDLE first = OpenThread(SYNCHRONIZE, FALSE, *monitors.begin());
    ASSERT_TRUE(first != NULL) << "the run's thread is still running";
    GoOffline();
    // Pumping: the run's last report is sent to this thread.
    EXPECT_TRUE(WaitFor([&] { return WaitForSingleObject(first, 0) == WAIT_OBJECT_0; }, 5000))
        << "the first run's thread ended";
    // A new run starts only now, with a thread of its own.
    ClearRows();
    RasSimSetState("Office", RASCS_Connected);
    SendMessageA(hwnd_, MSG_CONNECTED, 0, 0);
    ASSERT_TRUE(WaitFor([this] { return RowsNow().size() > 5; }, 5000));
    DWORD second = 0;
    for (const auto &r : RowsNow())
        if (r.thread != GetCurrentThreadId()) second = r.thread;
    EXPECT_NE(0u, second);
    EXPECT_EQ(0u, monitors.count(second));
    CloseHandle(first);
}

TEST_F(Monitor, AThousandPassesLeaveNoObjectBehind) {
    StoreSettings(999, 999, false, false);
    // Warm up once so that lazily made objects are not counted as leaks.
    GoOnline();
    ASSERT_TRUE(WaitFor([] { return g_readings > 10; }, 5000));
    GoOffline();
    size_t gdiBefore = GdiHeadroom(), userBefore = UserHeadroom();
    g_readings = 0;
    RasSimSetState("Office", RASCS_Connected);
    SendMessageA(hwnd_, MSG_CONNECTED, 0, 0);
    ASSERT_TRUE(WaitFor([] { return g_readings > 1000; }, 60000)) << g_readings;
    GoOffline();
    size_t gdiAfter = GdiHeadroom(), userAfter = UserHeadroom();
    EXPECT_GE(gdiAfter + 8, gdiBefore) << "GDI objects leaked";
    EXPECT_GE(userAfter + 8, userBefore) << "icons or other USER objects leaked";
}

}  // namespace
