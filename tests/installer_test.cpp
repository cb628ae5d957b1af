// The installer under Wine, as a user's machine meets it: a silent install,
// an upgrade over a running Wendle, and the two kinds of uninstall.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "testutil.h"
#include "version.h"

#ifdef WENDLE_SETUP_NAME

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Wendle";
const char kSettingsKey[] = "Software\\Ferrow Apps\\Wendle";

std::string Folder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(NULL, csidl, NULL, 0, path);
    return path;
}

bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool KeyExists(HKEY root, const char *path) {
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Runs a command line and waits for it; its exit code, or -1.
long RunAndWait(const std::string &commandLine) {
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::string line = commandLine;
    if (!CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) return -1;
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return (long)code;
}

// The running Wendle's process, or NULL.
HANDLE RunningWendle(DWORD *pid = NULL) {
    HWND hwnd = FindWindowA("ZKRASNotification", NULL);
    DWORD id = 0;
    if (hwnd) GetWindowThreadProcessId(hwnd, &id);
    if (pid) *pid = id;
    return id ? OpenProcess(SYNCHRONIZE, FALSE, id) : NULL;
}

class Installer : public ::testing::Test {
protected:
    void SetUp() override {
        SimReset();
        ClearProgramRegistry();
        // The installed copy finds the simulated RAS where the system's would be.
        char system[MAX_PATH];
        GetSystemDirectoryA(system, sizeof(system));
        ASSERT_TRUE(CopyFileA((BinDir() + "rasapi32.dll").c_str(), (std::string(system) + "\\rasapi32.dll").c_str(), FALSE));
        dir_ = Folder(CSIDL_PROGRAM_FILES) + "\\Wendle";
        menu_ = Folder(CSIDL_COMMON_PROGRAMS) + "\\Wendle\\Wendle.lnk";
        startup_ = Folder(CSIDL_COMMON_STARTUP) + "\\Wendle.lnk";
    }
    std::string SetupCommand() { return "\"" + BinDir() + WENDLE_SETUP_NAME + "\" /S"; }
    // Runs the uninstaller (it finishes from a copy of itself) and waits
    // until it has removed the program.
    bool Uninstall(const char *options) {
        if (RunAndWait("\"" + dir_ + "\\uninstall.exe\" " + options) != 0) return false;
        return WaitFor([this] { return !Exists(dir_) && !KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey); }, 20000);
    }
    std::string UninstallValue(const char *name) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "(no key)";
        char data[MAX_PATH * 2] = "";
        DWORD type = 0, size = sizeof(data);
        LONG r = RegQueryValueExA(key, name, NULL, &type, (BYTE *)data, &size);
        RegCloseKey(key);
        if (r != ERROR_SUCCESS) return "(missing)";
        return type == REG_DWORD ? (*(DWORD *)data ? "number" : "0") : std::string(data);
    }
    std::string dir_, menu_, startup_;
};

TEST_F(Installer, InstallUpgradeAndUninstall) {
    ASSERT_EQ(0, RunAndWait(SetupCommand()));
    EXPECT_TRUE(Exists(dir_ + "\\Wendle.exe")) << dir_;
    EXPECT_TRUE(Exists(dir_ + "\\Wendle.hlp")) << dir_;
    EXPECT_TRUE(Exists(dir_ + "\\README.txt")) << dir_;
    EXPECT_TRUE(Exists(menu_)) << menu_;
    EXPECT_TRUE(Exists(startup_)) << startup_;
    struct Value {
        const char *name;
        std::string expected;
    } values[] = {{"DisplayName", "Wendle"},
                  {"DisplayVersion", WENDLE_VERSION_TEXT},
                  {"Publisher", "Ferrow Apps"},
                  {"DisplayIcon", dir_ + "\\Wendle.exe,0"},
                  {"UninstallString", "\"" + dir_ + "\\uninstall.exe\""},
                  {"EstimatedSize", "number"}};
    for (const Value &v : values) EXPECT_EQ(v.expected, UninstallValue(v.name)) << v.name;

    // With the Startup shortcut chosen, the installer starts Wendle; a second
    // install closes that one, and a second copy started beside it, and
    // starts the new EXE.
    DWORD firstPid = 0;
    HANDLE first = NULL;
    ASSERT_TRUE(WaitFor([&] { return (first = RunningWendle(&firstPid)) != NULL; }, 10000)) << "not started";
    PROCESS_INFORMATION copy = {};
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    ASSERT_TRUE(CreateProcessA((dir_ + "\\Wendle.exe").c_str(), NULL, NULL, NULL, FALSE, 0, NULL, dir_.c_str(), &si, &copy));
    CloseHandle(copy.hThread);
    ASSERT_TRUE(WaitFor([&] { return !WindowsOfProcess(copy.dwProcessId, "ZKRASNotification", false).empty(); }, 10000))
        << "the second copy has no window";
    ASSERT_EQ(0, RunAndWait(SetupCommand()));
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(first, 10000)) << "the old Wendle still runs";
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(copy.hProcess, 10000)) << "its second copy still runs";
    CloseHandle(first);
    CloseHandle(copy.hProcess);
    DWORD secondPid = 0;
    HANDLE second = NULL;
    ASSERT_TRUE(WaitFor([&] { return (second = RunningWendle(&secondPid)) != NULL; }, 10000)) << "not started again";
    EXPECT_NE(firstPid, secondPid);

    // A plain uninstall closes Wendle, removes all it placed, keeps the settings.
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
    DWORD seven = 7;
    RegSetValueExA(key, "Remind Time", 0, REG_DWORD, (const BYTE *)&seven, 4);
    RegCloseKey(key);
    // What the Windows Help viewer leaves beside the help (its .GID hidden)
    // goes too, or the folder would stay.
    for (const char *ext : {"GID", "FTS", "FTG"}) {
        HANDLE f = CreateFileA((dir_ + "\\Wendle." + ext).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                               ext[0] == 'G' ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, f) << ext;
        CloseHandle(f);
    }
    ASSERT_TRUE(Uninstall("/S")) << dir_;
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(second, 10000)) << "Wendle still runs";
    CloseHandle(second);
    EXPECT_FALSE(Exists(menu_));
    EXPECT_FALSE(Exists(startup_));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, kSettingsKey)) << "the settings stay";

    // Asked to, it removes the settings too. (The Wendle the install starts is
    // waited for first: one still starting would create its key again.)
    ASSERT_EQ(0, RunAndWait(SetupCommand()));
    HANDLE third = NULL;
    ASSERT_TRUE(WaitFor([&] { return (third = RunningWendle()) != NULL; }, 10000)) << "not started the third time";
    ASSERT_TRUE(Uninstall("/S /REMOVESETTINGS"));
    EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(third, 10000)) << "Wendle still runs";
    CloseHandle(third);
    // The uninstaller's copy of itself removes the settings last, after the
    // folder and the uninstall key that Uninstall() waits for.
    EXPECT_TRUE(WaitFor([] { return !KeyExists(HKEY_CURRENT_USER, kSettingsKey); }, 10000)) << "the settings stayed";
    HANDLE left = RunningWendle();
    EXPECT_TRUE(left == NULL) << "Wendle still runs";
    if (left) CloseHandle(left);
}

}  // namespace

#else

// Listed, so that a run says it did not install anything, and why.
TEST(Installer, InstallUpgradeAndUninstall) {
#ifdef _WIN64
    GTEST_SKIP() << "the installer is a 32-bit program: its test runs in the 32-bit lane";
#else
    GTEST_SKIP() << "makensis was not found when this build was configured: no installer to test";
#endif
}

#endif
