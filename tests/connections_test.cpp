// AnyConnectionUp and HangUpAllConnections against the simulated RAS: each
// row sets up the connection list, then both operations run and what they
// asked RAS is compared with the row.
#include <gtest/gtest.h>

#include <functional>

#include "app.h"
#include "dial.h"
#include "fixture.h"
#include "rasapi.h"
#include "resource.h"
#include "rassim.h"
#include "testutil.h"

namespace {

struct Conn {
    const char *name;
    DWORD state;
};

struct Case {
    const char *what;
    std::vector<Conn> conns;
    const char *faultOp;
    DWORD faultError;
    BOOL up;
    size_t statusQueriesForUp;  // how far AnyConnectionUp had to look
    std::vector<std::string> hungUp;
    std::vector<std::string> left;  // rasctl list afterwards
};

const DWORD C = RASCS_Connected;

const Case kCases[] = {
    {"no connection", {}, NULL, 0, FALSE, 0, {}, {}},
    {"still authenticating", {{"Office", RASCS_Authenticate}}, NULL, 0, FALSE, 1, {}, {"Office\t5"}},
    {"only the second connected", {{"Office", RASCS_ConnectDevice}, {"Home", C}}, NULL, 0, TRUE, 2,
     {"RasHangUpA Home"}, {"Office\t2"}},
    {"first connected ends the search", {{"Office", C}, {"Home", C}}, NULL, 0, TRUE, 1,
     {"RasHangUpA Office", "RasHangUpA Home"}, {}},
    {"exactly four", {{"A", C}, {"B", C}, {"C", 5}, {"D", C}}, NULL, 0, TRUE, 1,
     {"RasHangUpA A", "RasHangUpA B", "RasHangUpA D"}, {"C\t5"}},
    {"six, the connected one last", {{"A", 0}, {"B", 1}, {"C", 2}, {"D", 3}, {"E", 4}, {"F", C}}, NULL, 0, TRUE, 6,
     {"RasHangUpA F"}, {"A\t0", "B\t1", "C\t2", "D\t3", "E\t4"}},
    {"six connected", {{"A", C}, {"B", C}, {"C", C}, {"D", C}, {"E", C}, {"F", C}}, NULL, 0, TRUE, 1,
     {"RasHangUpA A", "RasHangUpA B", "RasHangUpA C", "RasHangUpA D", "RasHangUpA E", "RasHangUpA F"}, {}},
    {"enumeration fails", {{"Office", C}}, "enum", 610, FALSE, 0, {}, {"Office\t8192"}},
    {"status queries fail", {{"Office", C}, {"Home", C}}, "status", 6, FALSE, 2, {},
     {"Office\t8192", "Home\t8192"}},
    {"hang-up fails, the rest still tried", {{"Office", C}, {"Home", C}}, "hangup", 668, TRUE, 1,
     {"RasHangUpA Office", "RasHangUpA Home"}, {"Office\t8192", "Home\t8192"}},
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.what; }

class ConnectionQueries : public ::testing::TestWithParam<Case> {};

TEST_P(ConnectionQueries, AnswerAndHangUp) {
    const Case &c = GetParam();
    SimReset();
    for (const Conn &conn : c.conns) ASSERT_EQ(0u, RasSimSetState(conn.name, conn.state));
    if (c.faultOp) RasSimSetFault(c.faultOp, c.faultError);

    BoxWatcher boxes;
    EXPECT_EQ(c.up, AnyConnectionUp(NULL)) << c.what;
    EXPECT_EQ(c.statusQueriesForUp, SimCallsMatching("RasGetConnectStatusA").size()) << c.what << "\n"
                                                                                     << Join(SimCalls());
    EXPECT_EQ(1, HangUpAllConnections(NULL));
    EXPECT_EQ(c.hungUp, SimCallsMatching("RasHangUpA")) << c.what << "\n" << Join(SimCalls());
    EXPECT_EQ(c.left, SimConnections()) << c.what;
    EXPECT_TRUE(boxes.Boxes().empty()) << c.what << "\n" << Describe(boxes.Boxes());
}

INSTANTIATE_TEST_SUITE_P(Table, ConnectionQueries, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case> &info) {
                             std::string name = info.param.what;
                             for (char &ch : name)
                                 if (!isalnum((unsigned char)ch)) ch = '_';
                             return name;
                         });

// Every link the program hangs up, by whatever road, is hung up for good
// and followed until RAS lets it go; Exit waits for all of them, within
// 5 s. A connected entry dialled again holds one more reference, which one
// more hang-up ends; RAS may report a hung-up link's last state for a
// moment, and let go slowly.
class LettingGo : public MainWindow {};

TEST_F(LettingGo, ExitWaitsUntilRasHasLetGoOfEveryLinkHungUp) {
    auto hangUp = [](HWND main) { SendMessageA(main, WM_COMMAND, IDM_HANGUP, 0); };
    auto dialAgain = [](HWND) {
        RasSimSetMode("referenced", "on");
        for (int i = 0; i < 2; i++) {
            DialPhonebookEntry("Office");
            HWND dlg = g_hDialWnd;
            EXPECT_TRUE(WaitFor([&] { return !IsWindow(dlg); }, 3000)) << "the dial finds it connected";
        }
    };
    struct Row {
        const char *what;
        DWORD lingerMs, staleMs;
        std::function<void(HWND)> act;
        size_t hangUps, orUpTo;  // of Office: a second may find the last state still reported
        DWORD atLeast, below;  // from the first hang-up to the end of Exit
        bool gone;             // no link listed when Exit returns
    } rows[] = {
        {"RAS lets go slowly", 1500, 0, hangUp, 1, 1, 1400, 5000, true},
        {"the last state for a moment", 1000, 400, hangUp, 1, 2, 900, 5000, true},
        {"dialled twice more while connected", 0, 0, [&](HWND main) { dialAgain(main); hangUp(main); }, 3, 3, 0, 5000,
         true},
        {"a dial cancelled, then Hang Up", 2500, 0,
         [&](HWND main) {
             DialPhonebookEntry("Away");
             SendMessageA(g_hDialWnd, WM_COMMAND, IDCANCEL, 0);
             RasSimSetLinger(300);  // Office and Home go sooner than Away
             hangUp(main);
         },
         1, 1, 2400, 5000, true},
        {"RAS slower than the program waits", 8000, 0, hangUp, 1, 1, 4900, 5600, false},
    };
    BoxWatcher boxes;
    baseThreads_ = ThreadCount();  // RAS's notification thread outlives each window
    for (const Row &row : rows) {
        SimReset();
        for (const char *name : {"Office", "Home", "Away"}) RasSimAddEntry(name, TRUE);
        RasSimSetDialScript("Away", "0:10000");
        RasSimSetState("Office", RASCS_Connected);
        RasSimSetState("Home", RASCS_Connected);
        RasSimSetLinger(row.lingerMs);
        RasSimSetStale(row.staleMs);
        StartAndSettle();
        DWORD start = GetTickCount();
        row.act(hwnd_);
        SendMessageA(hwnd_, WM_COMMAND, IDM_EXIT, 0);
        DWORD took = GetTickCount() - start;
        bool gone = SimConnections().empty();
        EXPECT_EQ(row.gone, gone) << row.what << ": " << Join(SimConnections());
        EXPECT_GE(took, row.atLeast) << row.what;
        EXPECT_LT(took, row.below) << row.what;
        size_t office = SimCallsMatching("RasHangUpA Office").size();
        EXPECT_TRUE(office >= row.hangUps && office <= row.orUpTo) << row.what << "\n" << Join(SimCalls());
        size_t home = SimCallsMatching("RasHangUpA Home").size();
        EXPECT_TRUE(home >= 1 && home <= (row.staleMs ? 2u : 1u)) << row.what << "\n" << Join(SimCalls());
        Close();
    }
    EXPECT_TRUE(boxes.Boxes().empty()) << Describe(boxes.Boxes());
}

}  // namespace
