// Shared helpers of the tests: waiting on conditions while pumping messages,
// closing message boxes, recording the tray shell calls, and the simulated RAS.
#ifndef WENDLE_TESTUTIL_H
#define WENDLE_TESTUTIL_H

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Pumps this thread's messages until cond() is true or timeoutMs has passed.
bool WaitFor(const std::function<bool()> &cond, DWORD timeoutMs = 5000);
// Dispatches what is queued now, without waiting.
void PumpPending();
// Whether a WM_QUIT went by since the last call (PumpPending keeps it).
bool TakeQuit(WPARAM *code = NULL);

std::string Join(const std::vector<std::string> &lines);
// The folder of the running test program (the build's bin), ending in a slash.
std::string BinDir();
std::vector<std::string> SplitLines(const std::string &text);

// ---- the simulated RAS ----------------------------------------------------
void SimReset();  // also fails the test if the simulator is not the loaded RASAPI32
std::vector<std::string> SimCalls();
std::vector<std::string> SimCallsMatching(const std::string &prefix, DWORD pid = 0);  // pid 0: every process
std::vector<std::string> SimConnections();  // "NAME\tSTATE"
std::vector<std::string> SimDials();        // "NAME speaker=.. compression=.. prefixsuffix=.."

// ---- message boxes -----------------------------------------------------------
struct BoxRecord {
    std::string caption;
    std::string text;
    HWND owner;
    std::string icon;  // "warning", "error", "information", "question", "none" or "other"
    bool operator==(const BoxRecord &o) const {
        return caption == o.caption && text == o.text && icon == o.icon;
    }
};
std::string Describe(const std::vector<BoxRecord> &boxes);

// Top-level windows of a class in a process (0: this one).
std::vector<HWND> WindowsOfProcess(DWORD pid, const char *cls, bool visibleOnly);
// Visible dialogs (class #32770) of a process (0: this one).
std::vector<HWND> VisibleDialogs(DWORD pid = 0);
// Waits (from a helper thread) for a visible dialog of this process with
// the caption; NULL after timeoutMs.
HWND WaitForDialog(const char *caption, DWORD timeoutMs = 5000);
// The program's own prompts carry a group box; message boxes do not.
bool IsPromptDialog(HWND dlg);

// While it lives, a background thread records every message box that any
// thread of the process (or of process pid) shows, and presses `answer` on
// it with a posted command, as a click would. Prompts are left alone.
class BoxWatcher {
public:
    explicit BoxWatcher(int answer = IDOK, DWORD pid = 0);
    ~BoxWatcher();
    std::vector<BoxRecord> Boxes();
    size_t Count();

private:
    static DWORD WINAPI Poll(LPVOID self);
    std::mutex lock_;
    std::vector<BoxRecord> boxes_;
    int answer_;
    DWORD pid_;
    HANDLE stop_;
    HANDLE thread_;
};

// ---- leaks ---------------------------------------------------------------------
// How many more GDI objects (regions) or USER objects (menus) can be made
// right now: equal counts before and after a long repetition prove that it
// leaks nothing (Wine's GetGuiResources says 0).
size_t GdiHeadroom();
size_t UserHeadroom();

// ---- the registry -------------------------------------------------------------------
// Removes the program's keys so a test starts from a first run.
void ClearProgramRegistry();

#endif
