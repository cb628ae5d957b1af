// The properties dialog through its real controls, and the INI helpers
// against real files in the Wine prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <thread>

#include "app.h"
#include "fixture.h"
#include "rasapi.h"
#include "rassim.h"
#include "resource.h"
#include "settings.h"
#include "testutil.h"
#include "uilib.h"

namespace {

const char kCaption[] = "RAS Notification Properties";

// Opens the dialog on this thread, as the tray does, while `drive` works it
// from another thread the way a user would; returns what DialogBoxParam did.
INT_PTR RunProperties(const std::function<void(HWND)> &drive, LPARAM mouseOrCommand = 0, HWND mainWnd = NULL) {
    std::thread user([&] {
        HWND dlg = WaitForDialog(kCaption);
        if (dlg) drive(dlg);
    });
    INT_PTR result = 1;
    if (mainWnd)
        SendMessageA(mainWnd, MSG_TRAY_CALLBACK, TRAY_ICON_ID, mouseOrCommand);
    else
        result = DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_PROPERTIES), NULL, PropertiesProc, 0);
    user.join();
    return result;
}

std::string Text(HWND dlg, int id) {
    char text[64] = "";
    GetDlgItemTextA(dlg, id, text, sizeof(text));
    return text;
}

void Click(HWND dlg, int id) { SendMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }

struct Stored {
    DWORD type;
    std::string data;
};

Stored Value(const char *name) {
    HKEY key;
    Stored s = {0, ""};
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return s;
    char data[64];
    DWORD size = sizeof(data);
    if (RegQueryValueExA(key, name, NULL, &s.type, (BYTE *)data, &size) == ERROR_SUCCESS) s.data.assign(data, size);
    RegCloseKey(key);
    return s;
}

LONG StoredNumber(const char *name) {
    Stored s = Value(name);
    return s.type == REG_DWORD && s.data.size() == 4 ? *(const LONG *)s.data.data() : -12345;
}

class Properties : public ::testing::Test {
protected:
    void SetUp() override {
        ClearProgramRegistry();
        g_hInstance = GetModuleHandleA(NULL);
        LoadSettings();
    }
};

TEST_F(Properties, ShowsTheSettingsAndEnablesEverything) {
    AppSettings.disconnectMinutes = 45;
    AppSettings.remindMinutes = 5000;
    AppSettings.autoDisconnect = 0;
    AppSettings.remindOnline = 1;
    std::vector<std::string> seen;
    RunProperties([&](HWND dlg) {
        seen.push_back(Text(dlg, IDC_DISCONNECT_MINUTES));
        seen.push_back(Text(dlg, IDC_REMIND_MINUTES));
        seen.push_back(std::to_string(IsDlgButtonChecked(dlg, IDC_AUTODISCONNECT)));
        seen.push_back(std::to_string(IsDlgButtonChecked(dlg, IDC_REMIND)));
        std::string enabled;
        for (int id : {IDC_DISCONNECT_MINUTES, IDC_DISCONNECT_LABEL, IDC_DISCONNECT_UNIT, IDC_REMIND_MINUTES,
                       IDC_REMIND_LABEL, IDC_REMIND_UNIT})
            enabled += IsWindowEnabled(GetDlgItem(dlg, id)) ? "1" : "0";
        seen.push_back(enabled);
        GUITHREADINFO gui;
        ZeroMemory(&gui, sizeof(gui));
        gui.cbSize = sizeof(gui);
        GetGUIThreadInfo(GetWindowThreadProcessId(dlg, NULL), &gui);
        seen.push_back(std::to_string(GetDlgCtrlID(gui.hwndFocus)));
        // Checking enables its three controls, unchecking disables exactly its three.
        Click(dlg, IDC_AUTODISCONNECT);  // now checked
        Click(dlg, IDC_REMIND);          // now unchecked
        enabled.clear();
        for (int id : {IDC_DISCONNECT_MINUTES, IDC_DISCONNECT_LABEL, IDC_DISCONNECT_UNIT, IDC_REMIND_MINUTES,
                       IDC_REMIND_LABEL, IDC_REMIND_UNIT})
            enabled += IsWindowEnabled(GetDlgItem(dlg, id)) ? "1" : "0";
        seen.push_back(enabled);
        Click(dlg, IDCANCEL);
    });
    std::vector<std::string> expected = {"45", "5000", "0", "1", "111111", "1", "111000"};
    EXPECT_EQ(expected, seen) << Join(seen);
}

TEST_F(Properties, MinutesAsTypedAreReadLikeAtoiAndKeptTo999) {
    struct Row {
        const char *typed;
        LONG stored;
        bool keys;  // typed key by key; else set whole, which the three-character limit does not stop
    } rows[] = {{"-5", 999, false}, {"abc", 0, false}, {"12a", 12, false}, {" 7", 7, false}, {"", 0, false},
                {"999", 999, false}, {"0", 0, false}, {"+42", 42, false}, {"12345", 123, true}};
    for (const Row &r : rows) {
        RunProperties([&](HWND dlg) {
            for (int field : {IDC_DISCONNECT_MINUTES, IDC_REMIND_MINUTES}) {
                SetDlgItemTextA(dlg, field, r.keys ? "" : r.typed);
                for (const char *c = r.typed; r.keys && *c; c++) SendDlgItemMessageA(dlg, field, WM_CHAR, *c, 0);
            }
            Click(dlg, IDOK);
        });
        EXPECT_EQ(r.stored, AppSettings.disconnectMinutes) << "\"" << r.typed << "\"";
        EXPECT_EQ(r.stored, AppSettings.remindMinutes) << "\"" << r.typed << "\"";
        EXPECT_EQ(r.stored, StoredNumber("Disconnect Time")) << "\"" << r.typed << "\"";
        EXPECT_EQ(r.stored, StoredNumber("Remind Time")) << "\"" << r.typed << "\"";
    }
}

TEST_F(Properties, AValueStoredByOtherMeansShowsWholeAndOKClampsIt) {
    WriteRegistryInt(SETTINGS_KEY, "Disconnect Time", 5000);
    LoadSettings();
    std::string shown;
    RunProperties([&](HWND dlg) {
        shown = Text(dlg, IDC_DISCONNECT_MINUTES);
        Click(dlg, IDOK);
    });
    EXPECT_EQ("5000", shown);
    EXPECT_EQ(999, StoredNumber("Disconnect Time"));
    EXPECT_EQ(999, AppSettings.disconnectMinutes);
}

TEST_F(Properties, OKWritesAllFourWithTheirTypes) {
    EXPECT_EQ(1, RunProperties([](HWND dlg) {
                  Click(dlg, IDC_REMIND);  // off
                  Click(dlg, IDOK);
              }));
    EXPECT_EQ(60, StoredNumber("Disconnect Time"));
    EXPECT_EQ(20, StoredNumber("Remind Time"));
    Stored remind = Value("Remind Online"), autoOff = Value("Auto Disconnect");
    EXPECT_EQ((DWORD)REG_SZ, remind.type);
    EXPECT_EQ(std::string("No\0", 3), remind.data);
    EXPECT_EQ((DWORD)REG_SZ, autoOff.type);
    EXPECT_EQ(std::string("Yes\0", 4), autoOff.data);
    EXPECT_EQ(0, AppSettings.remindOnline);
    EXPECT_EQ(1, AppSettings.autoDisconnect);
}

TEST_F(Properties, CancelAfterEditsChangesNothing) {
    for (int how : {0, 1}) {
        EXPECT_EQ(1, RunProperties([&](HWND dlg) {
                      SetDlgItemTextA(dlg, IDC_DISCONNECT_MINUTES, "5");
                      SetDlgItemTextA(dlg, IDC_REMIND_MINUTES, "6");
                      Click(dlg, IDC_REMIND);
                      Click(dlg, IDC_AUTODISCONNECT);
                      if (how == 0)
                          Click(dlg, IDCANCEL);
                      else
                          SendMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
                  }));
        EXPECT_EQ(60, AppSettings.disconnectMinutes);
        EXPECT_EQ(20, AppSettings.remindMinutes);
        EXPECT_EQ(1, AppSettings.remindOnline);
        EXPECT_EQ(1, AppSettings.autoDisconnect);
        EXPECT_EQ(0u, Value("Disconnect Time").type) << "nothing written";
        EXPECT_EQ(0u, Value("Remind Online").type);
    }
}

std::vector<std::string> g_helpCalls;
BOOL g_helpAnswer;
BOOL WINAPI RecordHelp(HWND hwnd, LPCSTR file, UINT command, ULONG_PTR data) {
    // The context the help system would show: the table's entry for the control.
    DWORD context = 0;
    for (const DWORD *table = (const DWORD *)data; table && table[0]; table += 2)
        if (table[0] == (DWORD)GetDlgCtrlID(hwnd)) context = table[1];
    std::string name = file;
    if (name == BinDir() + "Wendle.hlp") name = "<beside the EXE>";
    g_helpCalls.push_back(name + " " + std::to_string(command) + " " + std::to_string(context));
    return g_helpAnswer;
}

// Where a WinHelp viewer exists (this runs again in the Windows 95, NT 4 and
// NT 3.51 copies) it is asked for the control's context in the file beside
// the EXE; where it answers FALSE, or on Windows Vista and later, the dialog
// shows the topic's text itself.
TEST_F(Properties, HelpAsksForTheControlsContext) {
    WinHelpFn saved = g_pfnWinHelp;
    g_pfnWinHelp = RecordHelp;
    bool viewer = LOBYTE(LOWORD(GetVersion())) < 6;
    for (BOOL answer : {TRUE, FALSE}) {
        g_helpAnswer = answer;
        g_helpCalls.clear();
        std::vector<std::string> popups;
        RunProperties([&](HWND dlg) {
            for (int id : {IDC_DISCONNECT_MINUTES, IDCANCEL, IDC_REMIND_LABEL, IDC_AUTODISCONNECT}) {
                HELPINFO info = {sizeof(info), HELPINFO_WINDOW, id, GetDlgItem(dlg, id), 0, {0, 0}};
                SendMessageA(dlg, WM_HELP, 0, (LPARAM)&info);
                HWND popup = FindWindowA("WendleHelpPopup", NULL);
                char text[1024] = "";
                if (popup) GetWindowTextA(popup, text, sizeof(text));
                popups.push_back(std::string(text).substr(0, 20));
            }
            Click(dlg, IDCANCEL);
        });
        std::vector<std::string> calls, shown;
        if (viewer)
            for (const char *c : {"12 5", "12 9", "12 7", "12 4"}) {
                calls.push_back(std::string("<beside the EXE> ") + c);
                if (!answer) calls.push_back("<beside the EXE> 2 0");  // HELP_QUIT
            }
        if (!viewer || !answer)
            shown = {"How many minutes a c", "Closes the dialog an", "How many minutes pas", "When this box is che"};
        else
            shown = {"", "", "", ""};
        EXPECT_EQ(calls, g_helpCalls) << "viewer answers " << answer << "\n" << Join(g_helpCalls);
        EXPECT_EQ(shown, popups) << "viewer answers " << answer << "\n" << Join(popups);
    }
    // Looked for in a module without the texts, the help shows nothing.
    g_helpAnswer = FALSE;
    HWND without = NULL;
    RunProperties([&](HWND dlg) {
        g_hInstance = GetModuleHandleA("kernel32.dll");
        HELPINFO info = {sizeof(info), HELPINFO_WINDOW, IDCANCEL, GetDlgItem(dlg, IDCANCEL), 0, {0, 0}};
        SendMessageA(dlg, WM_HELP, 0, (LPARAM)&info);
        g_hInstance = GetModuleHandleA(NULL);
        without = FindWindowA("WendleHelpPopup", NULL);
        Click(dlg, IDCANCEL);
    });
    EXPECT_TRUE(without == NULL) << "a pop-up without its text";
    g_pfnWinHelp = saved;
}

// The pop-up sits below its field, or above it where the work area ends
// below, and never over it; it stays inside the work area (not under the
// taskbar), however close to an edge the field is.
TEST_F(Properties, HelpPopupStaysBesideItsField) {
    struct Row {
        const char *what;
        int left, top, right, bottom;  // the field, from the work area's corner (negative: from the far edge)
        int atDx, atDy;                // the point asked for, from the field's corner
        const char *side;              // where the pop-up must be
    } rows[] = {
        {"F1, room below", 40, 40, 140, 60, 0, 22, "below"},
        {"click in a tall field", 40, 40, 140, 300, 20, 36, "below"},
        {"F1, at the bottom edge", 40, -30, 140, -8, 0, 24, "above"},
        {"click, at the bottom edge", 40, -30, 140, -8, 30, 26, "above"},
        {"F1, at the right edge", -60, 40, -4, 60, 0, 22, "below"},
        {"F1, at the bottom right corner", -60, -30, -4, -8, 0, 24, "above"},
    };
    std::string log;
    RunProperties([&](HWND dlg) {
        for (const Row &row : rows) {
            RECT work;
            SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
            auto from = [](int v, LONG low, LONG high) { return v < 0 ? high + v : low + v; };
            RECT field = {from(row.left, work.left, work.right), from(row.top, work.top, work.bottom),
                          from(row.right, work.left, work.right), from(row.bottom, work.top, work.bottom)};
            POINT at = {field.left + row.atDx, field.top + row.atDy};
            HWND popup = ShowHelpPopup(dlg, "How many minutes a connection may stay up before Wendle offers to hang it "
                                            "up. A longer text, so that the pop-up has some height to it.",
                                       &field, at);
            ASSERT_TRUE(popup != NULL) << row.what;
            RECT r, overlap;
            GetWindowRect(popup, &r);
            char line[256];
            snprintf(line, sizeof(line), "%s: field %ld,%ld-%ld,%ld pop-up %ld,%ld-%ld,%ld work %ld,%ld-%ld,%ld\n",
                     row.what, field.left, field.top, field.right, field.bottom, r.left, r.top, r.right, r.bottom,
                     work.left, work.top, work.right, work.bottom);
            log += line;
            bool below = r.top >= field.bottom, above = r.bottom <= field.top;
            EXPECT_EQ(std::string(row.side), below ? "below" : above ? "above" : "over") << line;
            EXPECT_FALSE(IntersectRect(&overlap, &r, &field)) << line;
            EXPECT_TRUE(r.left >= work.left && r.top >= work.top && r.right <= work.right && r.bottom <= work.bottom)
                << line;
            if (std::string(row.side) == "below") EXPECT_EQ(std::max(field.bottom + 2, at.y), r.top) << line;
            DestroyWindow(popup);
        }
        // F1 from the keyboard, the pointer far from the field: under the field all the same.
        WinHelpFn saved = g_pfnWinHelp;
        g_pfnWinHelp = RecordHelp;
        g_helpAnswer = FALSE;
        HWND control = GetDlgItem(dlg, IDC_DISCONNECT_MINUTES);
        RECT field, r = {0, 0, 0, 0};
        GetWindowRect(control, &field);
        for (int dy : {150, 300}) {
            HELPINFO info = {sizeof(info), HELPINFO_WINDOW, IDC_DISCONNECT_MINUTES, control, 0,
                             {field.right + 200, field.bottom + dy}};
            SendMessageA(dlg, WM_HELP, 0, (LPARAM)&info);
            HWND popup = FindWindowA("WendleHelpPopup", NULL);
            if (popup) GetWindowRect(popup, &r);
            EXPECT_EQ(field.bottom + 2, r.top) << "F1 with the pointer " << dy << " px below the field";
            EXPECT_EQ(field.left, r.left);
            if (popup) DestroyWindow(popup);
        }
        g_pfnWinHelp = saved;
        Click(dlg, IDCANCEL);
    });
    if (HasFailure()) std::cout << log;
}

TEST_F(Properties, LayoutOfTheTemplate) {
    std::string layout;
    RunProperties([&](HWND dlg) {
        char caption[64];
        GetWindowTextA(dlg, caption, sizeof(caption));
        layout = std::string(caption) + (GetWindowLongA(dlg, GWL_EXSTYLE) & WS_EX_CONTEXTHELP ? " help\n" : "\n");
        for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            char text[64] = "", line[128];
            GetWindowTextA(c, text, sizeof(text));
            snprintf(line, sizeof(line), "%d \"%s\" %08lx\n", (int)(short)GetDlgCtrlID(c), text,
                     // Wine draws a dialog edit's border as a client edge
                     (GetWindowLongA(c, GWL_STYLE) & ~WS_DISABLED) |
                         (GetWindowLongA(c, GWL_EXSTYLE) & WS_EX_CLIENTEDGE ? WS_BORDER : 0));
            layout += line;
        }
        Click(dlg, IDCANCEL);
    });
    EXPECT_EQ("RAS Notification Properties help\n"
              "1 \"OK\" 50010001\n"
              "2 \"Cancel\" 50010000\n"
              "-1 \"Reminder Options\" 50000007\n"
              "1000 \"Enable Auto Disconnect\" 50010003\n"
              "1007 \"Auto Disconnect After\" 50020000\n"
              "1001 \"60\" 50810080\n"
              "1006 \"Minutes\" 50020000\n"
              "1002 \"Enable Auto Reminder\" 50010003\n"
              "1004 \"Remind Me Every\" 50020000\n"
              "1003 \"20\" 50810080\n"
              "1005 \"Minutes\" 50020000\n",
              layout);
}

class PropertiesFromTheTray : public MainWindow {};

TEST_F(PropertiesFromTheTray, DoubleClickOpensItAndTheMonitorUsesTheChangeAtItsNextPass) {
    WriteRegistryInt(SETTINGS_KEY, "Remind Time", 999);
    WriteRegistryBool(SETTINGS_KEY, "Auto Disconnect", 0);
    g_monitorPauseMs = 50;
    RasSimSetState("Office", RASCS_Connected);
    StartAndSettle();
    ASSERT_EQ(999, AppSettings.remindMinutes);
    RunProperties(
        [&](HWND dlg) {
            SetDlgItemTextA(dlg, IDC_REMIND_MINUTES, "0");
            Click(dlg, IDOK);
        },
        WM_LBUTTONDBLCLK, hwnd_);
    EXPECT_EQ(0, AppSettings.remindMinutes);
    HWND prompt = NULL;
    EXPECT_TRUE(WaitFor([&] {
        for (HWND d : VisibleDialogs())
            if (IsPromptDialog(d)) prompt = d;
        return prompt != NULL;
    }, 5000)) << "the running monitor did not bring the reminder";
    RasSimDrop(NULL);
    if (prompt) PostMessageA(GetDlgItem(prompt, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitFor([] { return monitorRunning == 0; }, 5000));
    g_monitorPauseMs = 1000;
}

// ---- INI helpers ------------------------------------------------------------------

std::string IniPath() {
    char dir[MAX_PATH];
    GetTempPathA(sizeof(dir), dir);
    return std::string(dir) + "wendle-ini-test.ini";
}

std::string IniRead(const char *key) {
    char text[2000] = "";
    GetPrivateProfileStringA("Sect", key, "<missing>", text, sizeof(text), IniPath().c_str());
    return text;
}

TEST(IniHelpers, WriteNumbersAndFormattedItems) {
    std::string file = IniPath();
    DeleteFileA(file.c_str());
    EXPECT_NE(0, WritePrivateProfileInt("Sect", "Min", (LONG)0x80000000, file.c_str()));
    EXPECT_NE(0, WritePrivateProfileInt("Sect", "Zero", 0, file.c_str()));
    EXPECT_NE(0, WritePrivateProfileItem("Sect", "Item", file.c_str(), "%d", 60));
    EXPECT_NE(0, WritePrivateProfileItem("Sect", "Two", file.c_str(), "%s=%u", "x", 5u));
    std::string big(1000, 'b');
    EXPECT_NE(0, WritePrivateProfileItem("Sect", "Big", file.c_str(), "%s%s", big.c_str(), big.c_str()));
    EXPECT_EQ("-2147483648", IniRead("Min"));
    EXPECT_EQ("0", IniRead("Zero"));
    EXPECT_EQ("60", IniRead("Item"));
    EXPECT_EQ("x=5", IniRead("Two"));
    EXPECT_EQ(std::string(255, 'b'), IniRead("Big"));
    DeleteFileA(file.c_str());
}

TEST(IniHelpers, ReadSwitches) {
    std::string file = IniPath();
    DeleteFileA(file.c_str());
    struct Row {
        const char *stored;  // NULL: no entry
        LONG defaultOn, expected;
    } rows[] = {{NULL, 1, 1},   {NULL, 0, 0},  {"", 1, 0},    {"No", 1, 0},   {"off", 1, 0},
                {"F", 1, 0},    {"Yes", 0, 1}, {"1", 0, 1},   {"NNNNNNNNNNNNNNNNNNNN", 0, 1},
                {"0000000000000000000", 1, 1}, {"NO             x", 1, 1}, {"000000000000000", 1, 1}};
    for (const Row &r : rows) {
        WritePrivateProfileStringA("Sect", "Switch", r.stored, file.c_str());
        EXPECT_EQ(r.expected, GetPrivateProfileBool("Sect", "Switch", r.defaultOn, file.c_str()))
            << (r.stored ? r.stored : "(missing)") << " default " << r.defaultOn;
    }
    DeleteFileA(file.c_str());
}

}  // namespace
