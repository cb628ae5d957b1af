// The simulated RAS is the ground every other test stands on: check that it
// answers as the real service does for the calls the program makes.
#include <gtest/gtest.h>

#include <functional>

#include "rasapi.h"
#include "rassim.h"
#include "testutil.h"

namespace {

std::vector<std::string> Transitions;

VOID WINAPI RecordDialEvent(UINT msg, RASCONNSTATE state, DWORD error) {
    char line[64];
    snprintf(line, sizeof(line), "%u %lu %lu", msg, state, error);
    Transitions.push_back(line);  // only ever touched by the one dial thread
}

class SimTest : public ::testing::Test {
protected:
    void SetUp() override { SimReset(); }
};

TEST_F(SimTest, EnumConnectionsChecksSizeAndReportsNeededBytes) {
    RasSimSetState("Office", RASCS_Connected);
    RasSimSetState("Home", RASCS_Authenticate);
    RASCONNA conns[2];
    DWORD bytes = sizeof(conns), count = 0;
    conns[0].dwSize = 704;
    EXPECT_EQ(632u, RasEnumConnectionsA(conns, &bytes, &count));

    conns[0].dwSize = sizeof(RASCONNA);
    bytes = sizeof(RASCONNA);
    EXPECT_EQ(603u, RasEnumConnectionsA(conns, &bytes, &count));
    EXPECT_EQ(2 * sizeof(RASCONNA), bytes);

    bytes = sizeof(conns);
    ASSERT_EQ(0u, RasEnumConnectionsA(conns, &bytes, &count));
    ASSERT_EQ(2u, count);
    EXPECT_STREQ("Office", conns[0].szEntryName);
    EXPECT_STREQ("Home", conns[1].szEntryName);

    RASCONNSTATUSA status;
    status.dwSize = 288;
    EXPECT_EQ(632u, RasGetConnectStatusA(conns[1].hrasconn, &status));
    status.dwSize = sizeof(status);
    ASSERT_EQ(0u, RasGetConnectStatusA(conns[1].hrasconn, &status));
    EXPECT_EQ((DWORD)RASCS_Authenticate, status.rasconnstate);
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, RasGetConnectStatusA((HRASCONN)12345, &status));
}

TEST_F(SimTest, EnumEntriesKeepsInsertionOrderAndAsksForRoom) {
    RasSimAddEntry("Zeta", TRUE);
    RasSimAddEntry("Alpha", TRUE);
    RasSimAddEntry("Mid", FALSE);
    RasSimRemoveEntry("Alpha");
    RASENTRYNAMEA names[3];
    names[0].dwSize = sizeof(RASENTRYNAMEA);
    DWORD bytes = sizeof(RASENTRYNAMEA), count = 0;
    EXPECT_EQ(603u, RasEnumEntriesA(NULL, NULL, names, &bytes, &count));
    EXPECT_EQ(2 * sizeof(RASENTRYNAMEA), bytes);
    bytes = sizeof(names);
    ASSERT_EQ(0u, RasEnumEntriesA(NULL, NULL, names, &bytes, &count));
    ASSERT_EQ(2u, count);
    EXPECT_STREQ("Zeta", names[0].szEntryName);
    EXPECT_STREQ("Mid", names[1].szEntryName);
}

TEST_F(SimTest, DialRunsItsScriptOnAThreadOfItsOwn) {
    RasSimAddEntry("Office", TRUE);
    ASSERT_EQ(0u, RasSimSetDialScript("Office", "0:20,2:20,5:20,8192"));
    RASDIALPARAMSA params = {};
    params.dwSize = sizeof(params);
    strcpy(params.szEntryName, "Office");
    RASDIALEXTENSIONS ext = {sizeof(ext), 0x10, NULL, 0};
    HRASCONN conn = NULL;
    Transitions.clear();
    ASSERT_EQ(0u, RasDialA(&ext, NULL, &params, 0, (LPVOID)RecordDialEvent, &conn));
    EXPECT_NE((HRASCONN)NULL, conn);
    EXPECT_EQ(0x10u, RasSimLastDialOptions());
    // Ignore set, Set clear: compression off whatever the entry says.
    EXPECT_EQ(std::vector<std::string>{"Office speaker=on compression=off prefixsuffix=no"}, SimDials());
    ASSERT_TRUE(WaitFor([] { return Transitions.size() >= 4; }));
    std::vector<std::string> expected = {"52429 0 0", "52429 2 0", "52429 5 0", "52429 8192 0"};
    EXPECT_EQ(expected, Transitions) << Join(Transitions);
    EXPECT_EQ(std::vector<std::string>{"Office\t8192"}, SimConnections());
}

TEST_F(SimTest, FailingDialEndsWithTheErrorAndKeepsThePortUntilHangUp) {
    RasSimAddEntry("Home", TRUE);
    ASSERT_EQ(0u, RasSimSetDialScript("Home", "0:10,2:10!678"));
    RASDIALPARAMSA params = {};
    params.dwSize = sizeof(params);
    strcpy(params.szEntryName, "Home");
    HRASCONN conn = NULL;
    Transitions.clear();
    ASSERT_EQ(0u, RasDialA(NULL, NULL, &params, 0, (LPVOID)RecordDialEvent, &conn));
    ASSERT_TRUE(WaitFor([] { return Transitions.size() >= 3; }));
    std::vector<std::string> expected = {"52429 0 0", "52429 2 0", "52429 2 678"};
    EXPECT_EQ(expected, Transitions) << Join(Transitions);
    EXPECT_EQ(std::vector<std::string>{"Home\t2"}, SimConnections());
    EXPECT_EQ(0u, RasHangUpA(conn));
    EXPECT_TRUE(SimConnections().empty());
}

TEST_F(SimTest, RefusedDialStillWritesAHandleToRelease) {
    RasSimAddEntry("Office", TRUE);
    RasSimSetFault("dial", 676);
    RASDIALPARAMSA params = {};
    params.dwSize = sizeof(params);
    strcpy(params.szEntryName, "Office");
    HRASCONN conn = NULL;
    EXPECT_EQ(676u, RasDialA(NULL, NULL, &params, 0, (LPVOID)RecordDialEvent, &conn));
    ASSERT_NE((HRASCONN)NULL, conn);
    EXPECT_EQ(0u, RasHangUpA(conn));
    EXPECT_TRUE(SimConnections().empty());
}

TEST_F(SimTest, ErrorStringsForWhatItReturnsAndNoneForUnknownNumbers) {
    char text[256];
    for (UINT e : {6u, 87u, 603u, 623u, 632u, 676u, 678u, 691u}) {
        EXPECT_EQ(0u, RasGetErrorStringA(e, text, sizeof(text))) << e;
        EXPECT_GT(strlen(text), 5u) << e;
    }
    EXPECT_NE(0u, RasGetErrorStringA(12345, text, sizeof(text)));
}

TEST_F(SimTest, FaultsAndCallLog) {
    RasSimSetState("Office", RASCS_Connected);
    RasSimSetFault("enum", 610);
    RASCONNA conns[4];
    conns[0].dwSize = sizeof(RASCONNA);
    DWORD bytes = sizeof(conns), count;
    EXPECT_EQ(610u, RasEnumConnectionsA(conns, &bytes, &count));
    RasSimSetFault("enum", 0);
    EXPECT_EQ(0u, RasEnumConnectionsA(conns, &bytes, &count));
    EXPECT_EQ(0u, RasHangUpA(conns[0].hrasconn));
    std::vector<std::string> expected = {"RasEnumConnectionsA", "RasEnumConnectionsA", "RasHangUpA Office"};
    EXPECT_EQ(expected, SimCalls()) << Join(SimCalls());
    EXPECT_NE(0u, RasSimSetFault("bogus", 5));
}

TEST_F(SimTest, NotificationSignalsRegisteredEvents) {
    HANDLE on = CreateEventA(NULL, FALSE, FALSE, NULL);
    HANDLE off = CreateEventA(NULL, FALSE, FALSE, NULL);
    typedef DWORD(WINAPI * Fn)(HRASCONN, HANDLE, DWORD);
    Fn notify = (Fn)(void *)GetProcAddress(GetModuleHandleA("rasapi32.dll"), "RasConnectionNotificationA");
    ASSERT_TRUE(notify != NULL);
    ASSERT_EQ(0u, notify(NULL, on, RASCN_Connection));
    ASSERT_EQ(0u, notify(NULL, off, RASCN_Disconnection));
    RasSimSetState("Office", RASCS_Authenticate);
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(on, 200)) << "not connected yet";
    RasSimSetState("Office", RASCS_Connected);
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(on, 2000));
    RasSimDrop("Office");
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(off, 2000));
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(on, 0));
    CloseHandle(on);
    CloseHandle(off);
}

// The RAS users have signals less than the reference promises: each mode
// plays one way, step by step. "+" the event was signalled, "-" it was not.
TEST_F(SimTest, NotifyModesSignalAsRealRasVersionsDo) {
    typedef DWORD(WINAPI * Fn)(HRASCONN, HANDLE, DWORD);
    Fn notify = (Fn)(void *)GetProcAddress(GetModuleHandleA("rasapi32.dll"), "RasConnectionNotificationA");
    ASSERT_TRUE(notify != NULL);
    struct Step {
        const char *what;
        std::function<void()> act;
    } steps[] = {
        {"created", [] { RasSimSetState("Office", RASCS_Authenticate); }},
        {"connected", [] { RasSimSetState("Office", RASCS_Connected); }},
        {"dropped", [] { RasSimDrop("Office"); }},
        {"connected again", [] { RasSimSetState("Office", RASCS_Connected); }},
        {"dropped again", [] { RasSimDrop("Office"); }},
    };
    struct Mode {
        const char *mode;
        std::string on, off;  // one sign per step
    } modes[] = {
        {"every", "-+-+-", "--+-+"},
        {"once", "-+---", "--+--"},
        {"silent", "-----", "-----"},
        {"early", "+--+-", "--+-+"},
    };
    for (const Mode &m : modes) {
        SimReset();
        ASSERT_EQ(0u, RasSimSetNotifyMode(m.mode));
        HANDLE on = CreateEventA(NULL, FALSE, FALSE, NULL), off = CreateEventA(NULL, FALSE, FALSE, NULL);
        ASSERT_EQ(0u, notify(NULL, on, RASCN_Connection));
        ASSERT_EQ(0u, notify(NULL, off, RASCN_Disconnection));
        std::string seenOn, seenOff;
        for (const Step &step : steps) {
            step.act();
            // The listener runs in this process: a signal comes in moments.
            seenOn += WaitForSingleObject(on, 150) == WAIT_OBJECT_0 ? '+' : '-';
            seenOff += WaitForSingleObject(off, 0) == WAIT_OBJECT_0 ? '+' : '-';
        }
        EXPECT_EQ(m.on, seenOn) << m.mode << ": connection";
        EXPECT_EQ(m.off, seenOff) << m.mode << ": disconnection";
        RasSimForgetRegistrations();
        CloseHandle(on);
        CloseHandle(off);
    }
    EXPECT_NE(0u, RasSimSetNotifyMode("sometimes"));
}

// A hang-up takes time: the link stays listed as Disconnected, its port
// held (a new dial of the entry gets 602), until its handle goes; only then
// is the disconnection signalled. A dial hung up meanwhile reports nothing
// more; a script may also end a dial in Disconnected, without an error.
TEST_F(SimTest, LingerKeepsAHungUpLinkUntilItsHandleGoes) {
    typedef DWORD(WINAPI * Fn)(HRASCONN, HANDLE, DWORD);
    Fn notify = (Fn)(void *)GetProcAddress(GetModuleHandleA("rasapi32.dll"), "RasConnectionNotificationA");
    HANDLE off = CreateEventA(NULL, FALSE, FALSE, NULL);
    ASSERT_EQ(0u, notify(NULL, off, RASCN_Disconnection));
    RasSimAddEntry("Office", TRUE);
    ASSERT_EQ(0u, RasSimSetDialScript("Office", "0:20,5:60000"));
    ASSERT_EQ(0u, RasSimSetLinger(400));
    RASDIALPARAMSA params = {};
    params.dwSize = sizeof(params);
    strcpy(params.szEntryName, "Office");
    HRASCONN conn = NULL, again = NULL;
    Transitions.clear();
    ASSERT_EQ(0u, RasDialA(NULL, NULL, &params, 0, (LPVOID)RecordDialEvent, &conn));
    ASSERT_TRUE(WaitFor([] { return Transitions.size() >= 2; }));
    DWORD hungUp = GetTickCount();
    ASSERT_EQ(0u, RasHangUpA(conn));
    // Another program's hang-up lingers as long; Home, connected, is the one
    // whose end is signalled, and it goes last.
    RasSimSetState("Home", RASCS_Connected);
    RasSimDrop("Home");
    RASCONNSTATUSA status;
    status.dwSize = sizeof(status);
    ASSERT_EQ(0u, RasGetConnectStatusA(conn, &status));
    EXPECT_EQ((DWORD)RASCS_Disconnected, status.rasconnstate);
    std::vector<std::string> lingering = {"Office\t8193", "Home\t8193"};
    EXPECT_EQ(lingering, SimConnections());
    EXPECT_EQ(602u, RasDialA(NULL, NULL, &params, 0, (LPVOID)RecordDialEvent, &again));
    EXPECT_EQ(602u, RasSimSetState("Office", RASCS_Connected)) << "nor another program's dial";
    EXPECT_EQ(0u, RasHangUpA(conn)) << "a second hang-up of a link on its way";
    EXPECT_EQ((DWORD)WAIT_TIMEOUT, WaitForSingleObject(off, 200)) << "no disconnection while it lingers";
    ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(off, 2000));
    EXPECT_GE(GetTickCount() - hungUp, 380u);
    EXPECT_EQ((DWORD)ERROR_INVALID_HANDLE, RasGetConnectStatusA(conn, &status));
    EXPECT_TRUE(SimConnections().empty()) << Join(SimConnections());
    std::vector<std::string> expected = {"52429 0 0", "52429 5 0"};
    EXPECT_EQ(expected, Transitions) << "nothing after the hang-up\n" << Join(Transitions);

    RasSimSetLinger(0);
    ASSERT_EQ(0u, RasSimSetDialScript("Office", "0:20,8193"));
    Transitions.clear();
    ASSERT_EQ(0u, RasDialA(NULL, NULL, &params, 0, (LPVOID)RecordDialEvent, &conn));
    ASSERT_TRUE(WaitFor([] { return Transitions.size() >= 2; }));
    EXPECT_EQ((std::vector<std::string>{"52429 0 0", "52429 8193 0"}), Transitions);
    EXPECT_EQ(std::vector<std::string>{"Office\t8193"}, SimConnections()) << "its port until the hang-up";
    EXPECT_EQ(0u, RasHangUpA(conn));
    RasSimForgetRegistrations();
    CloseHandle(off);

    // rasctl's flap plays a line that keeps dropping: up again each time
    // once RAS has let the last link go.
    RasSimSetLinger(150);
    char cmd[MAX_PATH + 32];
    DWORD n = GetModuleFileNameA(NULL, cmd, MAX_PATH);
    while (n && cmd[n - 1] != '\\') n--;
    lstrcpyA(cmd + n, "rasctl.exe flap Office 3");
    STARTUPINFOA si = {sizeof(si)};
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(CreateProcessA(NULL, cmd, NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, NULL, &si, &pi)) << cmd;
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 20000));
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(0u, code) << "flap beside a lingering link";
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    RasSimSetLinger(0);
}

TEST_F(SimTest, MissingFunctionsVanishFromGetProcAddressOnly) {
    HMODULE ras = LoadLibraryA("RASAPI32.DLL");
    ASSERT_TRUE(ras != NULL);
    RasSimSetMissing("RasGetEntryPropertiesA");
    EXPECT_TRUE(GetProcAddress(ras, "RasGetEntryPropertiesA") == NULL);
    EXPECT_TRUE(GetProcAddress(ras, "RasConnectionNotificationA") != NULL);
    RasSimSetMissing("RasConnectionNotificationA");
    EXPECT_TRUE(GetProcAddress(ras, "RasConnectionNotificationA") == NULL);
    RasSimSetMissing("off");
    EXPECT_TRUE(GetProcAddress(ras, "RasGetEntryPropertiesA") != NULL);
    FreeLibrary(ras);
}

TEST(SimScripts, RejectsMalformedSpecs) {
    SimReset();
    RasSimAddEntry("Office", TRUE);
    for (const char *good : {"0:200,2:500,5:300,8192", "0:200,2:500!678", "8192", "!678"})
        EXPECT_EQ(0u, RasSimSetDialScript("Office", good)) << good;
    for (const char *bad : {"", "x", "0:", "0:200,", "0:200!", "0:200!0", "0;200", "0:200,2:500!678,3"})
        EXPECT_NE(0u, RasSimSetDialScript("Office", bad)) << bad;
}

}  // namespace
