// The main window under test: started in-process with the tray shell call
// recorded (icon resolved to its resource id, thread noted) and RAS the
// simulator.
#ifndef WENDLE_FIXTURE_H
#define WENDLE_FIXTURE_H

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app.h"
#include "testutil.h"

struct TrayRow {
    DWORD op;
    int icon;  // resource id, 0 for no icon, -1 for an unknown picture
    std::string tip;
    DWORD thread = 0;
};
bool operator==(const TrayRow &a, const TrayRow &b);
// The colour bits of an icon, to tell pictures apart.
std::string IconBits(HICON icon);
std::string Describe(const std::vector<TrayRow> &rows);

// What the owner window saw of the tray menu, and keys to press in it.
struct MenuSpy {
    WNDPROC original = NULL;
    std::vector<std::string> items;  // "text|id|flags"
    bool opened = false;
    std::vector<std::pair<UINT, WPARAM>> keys;
    std::function<void()> whileOpen;  // runs once the menu is up, before the keys
};
extern MenuSpy g_spy;
LRESULT CALLBACK SpyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::vector<TrayRow> RowsNow();
    // Rows made on the main (test) thread only: the main window's own changes.
    std::vector<TrayRow> MainRows();
    void ClearRows();
    void Start();
    void StartAndSettle();  // and let the posted first state message through
    LRESULT OpenMenu(std::vector<std::pair<UINT, WPARAM>> keys = {}, std::function<void()> whileOpen = nullptr);
    // Destroys the window and waits for every thread it started to end.
    void Close();
    HWND hwnd_ = NULL;
    size_t baseThreads_ = 0;
    ShellNotifyIconFn saved_;
};

size_t ThreadCount();  // threads of this process

#endif
