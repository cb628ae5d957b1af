// AnyConnectionUp and HangUpAllConnections against the simulated RAS: each
// row sets up the connection list, then both operations run and what they
// asked RAS is compared with the row.
#include <gtest/gtest.h>

#include "app.h"
#include "rasapi.h"
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

}  // namespace
