// Shared helpers of the tests: waiting on conditions while pumping messages,
// closing message boxes, recording the tray shell calls, and the simulated RAS.
#ifndef WENDLE_TESTUTIL_H
#define WENDLE_TESTUTIL_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Pumps this thread's messages until cond() is true or timeoutMs has passed.
bool WaitFor(const std::function<bool()> &cond, DWORD timeoutMs = 5000);
// Dispatches what is queued now, without waiting.
void PumpPending();
// Whether a WM_QUIT went by since the last call (PumpPending keeps it).
bool TakeQuit(WPARAM *code = NULL);

std::string Join(const std::vector<std::string> &lines);
std::vector<std::string> SplitLines(const std::string &text);

// ---- the simulated RAS ----------------------------------------------------
void SimReset();  // also fails the test if the simulator is not the loaded RASAPI32
std::vector<std::string> SimCalls();
std::vector<std::string> SimCallsMatching(const std::string &prefix);
std::vector<std::string> SimConnections();  // "NAME\tSTATE"

// ---- message boxes -----------------------------------------------------------
struct BoxRecord {
    std::string caption;
    std::string text;
    HWND owner;
    DWORD style;  // the box's window style
    bool operator==(const BoxRecord &o) const {
        return caption == o.caption && text == o.text;
    }
};
std::string Describe(const std::vector<BoxRecord> &boxes);

// Watches the dialogs that threads of this process create while it lives:
// records each message box and presses `answer` on it (a posted command, as
// a click would). Watches the calling thread unless told other thread ids.
class BoxWatcher {
public:
    explicit BoxWatcher(int answer = IDOK);
    ~BoxWatcher();
    std::vector<BoxRecord> Boxes();
    void SetAnswer(int answer);
    void WatchThread(DWORD threadId);

private:
    std::vector<HHOOK> hooks_;
};

// ---- the tray shell -------------------------------------------------------------
struct TrayCall {
    DWORD op;
    HWND hwnd;
    UINT id;
    UINT flags;
    UINT callback;
    bool hasIcon;
    std::string tip;
};
std::string Describe(const std::vector<TrayCall> &calls);

// Replaces the shell call while it lives and records every call.
class TrayRecorder {
public:
    TrayRecorder();
    ~TrayRecorder();
    std::vector<TrayCall> Calls();
    void Clear();
    size_t Count();
};

// ---- the registry -------------------------------------------------------------------
// Removes the program's keys so a test starts from a first run.
void ClearProgramRegistry();

#endif
