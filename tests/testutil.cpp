#include "testutil.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <stdio.h>

#include <mutex>
#include <set>
#include <sstream>

#include "links.h"
#include "rassim.h"

bool WaitFor(const std::function<bool()> &cond, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        PumpPending();
        if (cond()) return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, NULL, FALSE, timeoutMs - elapsed < 20 ? timeoutMs - elapsed : 20, QS_ALLINPUT);
    }
}

static bool g_quitSeen;
static WPARAM g_quitCode;

bool TakeQuit(WPARAM *code) {
    bool seen = g_quitSeen;
    if (seen && code) *code = g_quitCode;
    g_quitSeen = false;
    return seen;
}

void PumpPending() {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {  // kept for the test to look at
            g_quitSeen = true;
            g_quitCode = msg.wParam;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::string Join(const std::vector<std::string> &lines) {
    std::string out;
    for (const auto &l : lines) out += "  " + l + "\n";
    return out.empty() ? "  (none)\n" : out;
}

std::string BinDir() {
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, sizeof(path));
    std::string dir(path);
    return dir.substr(0, dir.find_last_of("\\/") + 1);
}

std::vector<std::string> SplitLines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) lines.push_back(line);
    return lines;
}

// ---- the simulated RAS ----------------------------------------------------

void SimReset() {
    ASSERT_EQ(1u, RasSimIsSimulator()) << "the simulated RASAPI32 is not loaded";
    ASSERT_EQ(0u, RasSimReset());
    // The program's links of an earlier test are gone with the reset: it
    // stops following them now, and the log starts empty again.
    WaitForLinksGone(0);
    ASSERT_EQ(0u, RasSimReset());
}

static std::string Report(DWORD(WINAPI *report)(LPSTR, DWORD)) {
    DWORD need = report(NULL, 0);
    std::string text(need + 1, '\0');
    report(&text[0], (DWORD)text.size());
    text.resize(strlen(text.c_str()));
    return text;
}

std::vector<std::string> SimCalls() { return SplitLines(Report(RasSimGetCalls)); }

std::vector<std::string> SimDials() { return SplitLines(Report(RasSimGetDials)); }

std::vector<std::string> SimCallsMatching(const std::string &prefix, DWORD pid) {
    std::string text(RasSimGetCallsOf(pid, NULL, 0) + 1, '\0');
    RasSimGetCallsOf(pid, &text[0], (DWORD)text.size());
    text.resize(strlen(text.c_str()));
    std::vector<std::string> out;
    for (const auto &c : SplitLines(text))
        if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
    return out;
}

std::vector<std::string> SimConnections() { return SplitLines(Report(RasSimListConnections)); }

// ---- message boxes -----------------------------------------------------------

namespace {

std::string WindowText(HWND hwnd) {
    char buf[4200] = "";
    GetWindowTextA(hwnd, buf, sizeof(buf));
    return buf;
}

bool HasGroupBox(HWND dlg) {
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[32] = "";
        GetClassNameA(c, cls, sizeof(cls));
        if (lstrcmpiA(cls, "Button") == 0 && (GetWindowLongA(c, GWL_STYLE) & 0x0F) == BS_GROUPBOX) return true;
    }
    return false;
}

struct EnumCtx {
    DWORD pid;
    const char *cls;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindows(HWND hwnd, LPARAM lParam) {
    EnumCtx *ctx = (EnumCtx *)lParam;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    char cls[64] = "";
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (pid == ctx->pid && strcmp(cls, ctx->cls) == 0 && (!ctx->visibleOnly || IsWindowVisible(hwnd)))
        ctx->found.push_back(hwnd);
    return TRUE;
}

}  // namespace

std::vector<HWND> WindowsOfProcess(DWORD pid, const char *cls, bool visibleOnly) {
    EnumCtx ctx = {pid ? pid : GetCurrentProcessId(), cls, visibleOnly, {}};
    EnumWindows(CollectWindows, (LPARAM)&ctx);
    return ctx.found;
}

std::vector<HWND> VisibleDialogs(DWORD pid) { return WindowsOfProcess(pid, "#32770", true); }

HWND WaitForDialog(const char *caption, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    do {
        for (HWND d : VisibleDialogs()) {
            char text[128] = "";
            GetWindowTextA(d, text, sizeof(text));
            if (strcmp(text, caption) == 0) return d;
        }
        Sleep(5);
    } while (GetTickCount() - start < timeoutMs);
    return NULL;
}

bool IsPromptDialog(HWND dlg) { return HasGroupBox(dlg); }

namespace {

BOOL CALLBACK FindIconStatic(HWND child, LPARAM found) {
    char cls[16] = "";
    GetClassNameA(child, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") != 0 || (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
    *(HICON *)found = (HICON)SendMessageA(child, STM_GETICON, 0, 0);
    return FALSE;
}

// Which of the system's icons a box of this process shows: the standard
// icons are shared, one handle each in a process.
std::string BoxIcon(HWND box) {
    HICON icon = NULL;
    EnumChildWindows(box, FindIconStatic, (LPARAM)&icon);
    if (!icon) return "none";
    static const struct {
        LPCSTR id;
        const char *name;
    } kIcons[] = {{IDI_EXCLAMATION, "warning"}, {IDI_HAND, "error"}, {IDI_ASTERISK, "information"},
                  {IDI_QUESTION, "question"}};
    for (const auto &k : kIcons)
        if (LoadIconA(NULL, k.id) == icon) return k.name;
    return "other";
}

}  // namespace

std::string Describe(const std::vector<BoxRecord> &boxes) {
    std::ostringstream out;
    for (const auto &b : boxes)
        out << "  [" << b.caption << "] \"" << b.text << "\" " << b.icon << " owner=" << b.owner << "\n";
    return boxes.empty() ? "  (no boxes)\n" : out.str();
}

BoxWatcher::BoxWatcher(int answer, DWORD pid) : answer_(answer), pid_(pid ? pid : GetCurrentProcessId()) {
    stop_ = CreateEventA(NULL, TRUE, FALSE, NULL);
    thread_ = CreateThread(NULL, 0, Poll, this, 0, NULL);
}

BoxWatcher::~BoxWatcher() {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
}

DWORD WINAPI BoxWatcher::Poll(LPVOID param) {
    BoxWatcher *self = (BoxWatcher *)param;
    std::set<HWND> seen;
    do {
        for (HWND dlg : VisibleDialogs(self->pid_)) {
            // The program's own dialogs are left alone, unread: reading a
            // window's text waits for its thread, which may be a test's that
            // is not pumping.
            if (seen.count(dlg) || IsPromptDialog(dlg)) continue;
            BoxRecord r;
            r.caption = WindowText(dlg);
            r.text = WindowText(GetDlgItem(dlg, 0xFFFF));
            r.owner = GetWindow(dlg, GW_OWNER);
            r.icon = BoxIcon(dlg);
            // A dialog being destroyed (the dial dialog a test cancels at
            // once) loses its controls only after it is hidden: if it is
            // still shown, it was no program dialog and what was read holds.
            if (!IsWindowVisible(dlg)) continue;
            seen.insert(dlg);
            int answer;
            {
                std::lock_guard<std::mutex> lock(self->lock_);
                self->boxes_.push_back(r);
                answer = self->answer_;
            }
            if (answer) PostMessageA(dlg, WM_COMMAND, answer, 0);
        }
    } while (WaitForSingleObject(self->stop_, 10) == WAIT_TIMEOUT);
    return 0;
}

std::vector<BoxRecord> BoxWatcher::Boxes() {
    std::lock_guard<std::mutex> lock(lock_);
    return boxes_;
}

size_t BoxWatcher::Count() {
    std::lock_guard<std::mutex> lock(lock_);
    return boxes_.size();
}

// ---- the registry -------------------------------------------------------------------

void ClearProgramRegistry() {
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Ferrow Apps");
    SHDeleteKeyA(HKEY_CURRENT_USER, "AppEvents\\Schemes\\Apps\\.Default\\MailBeep");
}

// ---- leaks ---------------------------------------------------------------------

namespace {

template <typename Make, typename Destroy>
size_t Headroom(Make make, Destroy destroy) {
    std::vector<HANDLE> made;
    made.reserve(70000);
    for (HANDLE h; made.size() < 70000 && (h = make()) != NULL;) made.push_back(h);
    for (HANDLE h : made) destroy(h);
    return made.size();
}

}  // namespace

size_t GdiHeadroom() {
    return Headroom([] { return (HANDLE)CreateRectRgn(0, 0, 1, 1); }, [](HANDLE h) { DeleteObject(h); });
}

size_t UserHeadroom() {
    return Headroom([] { return (HANDLE)CreateMenu(); }, [](HANDLE h) { DestroyMenu((HMENU)h); });
}
