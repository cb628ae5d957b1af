// The platform rule and the connection watchers. This suite also runs in
// copies of the test program that Wine reports as Windows 95, NT 4 and NT
// 3.51 (tests/CMakeLists.txt), so both watcher kinds run for real.
#include <gtest/gtest.h>

#include "app.h"
#include "fixture.h"
#include "rasapi.h"
#include "rassim.h"
#include "resource.h"
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
    }
    void TearDown() override {
        MainWindow::TearDown();
        g_monitorPauseMs = 1000;
    }
    // The main window's own state changes, one letter each: C connected, D not.
    std::string Reports() {
        std::string out;
        for (const auto &r : MainRows())
            if (r.op == NIM_MODIFY) out += r.tip == "Connections Active" ? "C" : "D";
        return out;
    }
    DWORD ReportWithin() { return IsLegacyRasPlatform() ? 3000 : 1500; }
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
    RasSimSetState("Home", RASCS_Connected);
    EXPECT_TRUE(WaitFor([this] { return Reports() == "DCDC"; }, ReportWithin())) << Reports();
    // Nothing changes for a while: no report may repeat the last one.
    WaitFor([] { return false; }, IsLegacyRasPlatform() ? 4500 : 1200);
    EXPECT_EQ("DCDC", Reports());
}

TEST_F(Watchers, TwoConnectionsOneAfterTheOtherOnNT) {
    if (IsLegacyRasPlatform()) GTEST_SKIP() << "the polling watcher reports the line, not each connection";
    StartWatching();
    RasSimSetState("Office", RASCS_Connected);
    ASSERT_TRUE(WaitFor([this] { return Reports() == "DC"; }, ReportWithin())) << Reports();
    RasSimSetState("Home", RASCS_Connected);
    EXPECT_TRUE(WaitFor([this] { return Reports() == "DCC"; }, ReportWithin())) << Reports();
}

TEST_F(Watchers, MissingNotificationFunctionWarnsOncePerWatcher) {
    RasSimSetMissing("RasConnectionNotificationA");
    BoxWatcher boxes;
    StartAndSettle();
    std::vector<BoxRecord> expected;
    if (!IsLegacyRasPlatform())
        expected.assign(2, BoxRecord{"Wendle", "Error Finding Function - RasConnectionNotification", NULL});
    WaitFor([&] { return boxes.Count() >= expected.size(); }, 3000);
    WaitFor([] { return false; }, 300);  // and no more than that
    EXPECT_EQ(expected, boxes.Boxes()) << Describe(boxes.Boxes());
    RasSimSetMissing("off");
}

}  // namespace
