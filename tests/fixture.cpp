#include "fixture.h"

#include <tlhelp32.h>

#include <atomic>
#include <map>

#include "rassim.h"
#include "resource.h"

// ---- which icon resource a handle shows ----------------------------------------

std::string IconBits(HICON icon) {
    ICONINFO info;
    if (!GetIconInfo(icon, &info)) return "";
    BITMAP bm;
    GetObject(info.hbmColor, sizeof(bm), &bm);
    std::string bits(bm.bmWidthBytes * bm.bmHeight, '\0');
    GetBitmapBits(info.hbmColor, (LONG)bits.size(), &bits[0]);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bits;
}

std::string Describe(const std::vector<TrayRow> &rows) {
    std::string out;
    for (const auto &r : rows) {
        char line[160];
        snprintf(line, sizeof(line), "  op=%lu icon=%d tip=\"%s\" thread=%lu\n", r.op, r.icon, r.tip.c_str(),
                 r.thread);
        out += line;
    }
    return out.empty() ? "  (none)\n" : out;
}

bool operator==(const TrayRow &a, const TrayRow &b) { return a.op == b.op && a.icon == b.icon && a.tip == b.tip; }

namespace {

// Records shell calls with the icon resolved to its resource id, and checks
// the fixed fields of the record on every call.
std::mutex g_rowsLock;
std::vector<TrayRow> g_rows;
std::map<std::string, int> g_iconIds;

std::atomic<int> g_malformed;  // records with a wrong fixed field, checked on the test's thread
std::atomic<HWND> g_owner;      // the window of the first record since Start

// The first tray record every shell knows: 88 bytes, or 104 where handles are 64 bits.
const DWORD kTrayRecordSize = sizeof(void *) == 8 ? 104 : 88;

BOOL WINAPI RecordTrayRow(DWORD op, PNOTIFYICONDATAA nid) {
    HWND none = NULL;
    g_owner.compare_exchange_strong(none, nid->hWnd);
    if (nid->cbSize != kTrayRecordSize || nid->hWnd != g_owner.load() || nid->uID != TRAY_ICON_ID ||
        nid->uFlags != (NIF_MESSAGE | NIF_ICON | NIF_TIP) || nid->uCallbackMessage != MSG_TRAY_CALLBACK)
        g_malformed++;
    TrayRow row;
    row.op = op;
    row.icon = 0;
    if (nid->hIcon) {
        auto it = g_iconIds.find(IconBits(nid->hIcon));
        row.icon = it == g_iconIds.end() ? -1 : it->second;
    }
    row.tip.assign(nid->szTip, strnlen(nid->szTip, 64));
    row.thread = GetCurrentThreadId();
    std::lock_guard<std::mutex> lock(g_rowsLock);
    g_rows.push_back(row);
    return TRUE;
}

// ---- the tray menu as the main window's owner sees it ----------------------------

}  // namespace

MenuSpy g_spy;

namespace {

std::vector<std::string> ReadMenu(HMENU menu) {
    std::vector<std::string> out;
    UINT def = GetMenuDefaultItem(menu, FALSE, 0);
    for (int i = 0; i < GetMenuItemCount(menu); i++) {
        char text[300] = "";
        GetMenuStringA(menu, i, text, sizeof(text), MF_BYPOSITION);
        UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        UINT id = GetMenuItemID(menu, i);
        std::string line;
        if (state & MF_SEPARATOR) {
            line = "----";
        } else {
            line = std::string(text) + "|" + std::to_string((int)id);
            if (state & MF_GRAYED) line += "|grayed";
            if (state & MF_DISABLED) line += "|disabled";
            if (id == def) line += "|default";
        }
        out.push_back(line);
    }
    return out;
}

}  // namespace

LRESULT CALLBACK SpyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITMENUPOPUP && !g_spy.opened) {
        g_spy.opened = true;
        g_spy.items = ReadMenu((HMENU)wParam);
    }
    if (msg == WM_ENTERIDLE && wParam == MSGF_MENU) {
        HWND menuWnd = (HWND)lParam;
        if (g_spy.whileOpen) {
            g_spy.whileOpen();
            g_spy.whileOpen = nullptr;
        }
        if (g_spy.keys.empty()) {
            EndMenu();
        } else {
            for (const auto &k : g_spy.keys) PostMessageA(menuWnd, k.first, k.second, 0);
            g_spy.keys.clear();
        }
    }
    return CallWindowProcA(g_spy.original, hwnd, msg, wParam, lParam);
}

std::string ThreadStarts() {
    typedef LONG(WINAPI * QueryFn)(HANDLE, int, PVOID, ULONG, PULONG);
    QueryFn query = (QueryFn)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread");
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 te;
    te.dwSize = sizeof(te);
    std::string out;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te)) {
        if (te.th32OwnerProcessID != GetCurrentProcessId()) continue;
        HANDLE t = OpenThread(THREAD_QUERY_INFORMATION, FALSE, te.th32ThreadID);
        PVOID start = NULL;
        if (t && query) query(t, 9, &start, sizeof(start), NULL);
        char line[64];
        HMODULE mod = NULL;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           (LPCSTR)start, &mod);
        char name[MAX_PATH] = "?";
        if (mod) GetModuleFileNameA(mod, name, sizeof(name));
        snprintf(line, sizeof(line), " %lu@%p(", te.th32ThreadID, start);
        out += line + std::string(strrchr(name, '\\') ? strrchr(name, '\\') + 1 : name) + ")";
        if (t) CloseHandle(t);
    }
    CloseHandle(snap);
    return out;
}

size_t ThreadCount() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 te;
    te.dwSize = sizeof(te);
    size_t n = 0;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
        if (te.th32OwnerProcessID == GetCurrentProcessId()) n++;
    CloseHandle(snap);
    return n;
}

void MainWindow::SetUp() {
    SimReset();
    ClearProgramRegistry();
    g_hInstance = GetModuleHandleA(NULL);
    if (g_iconIds.empty())
        for (int id : {IDI_IDLE, IDI_ONLINE, IDI_ONLINE2, IDI_ONLINE3, IDI_ONLINE4}) {
            HICON icon = LoadAppIcon(id);
            g_iconIds[IconBits(icon)] = id;
            DestroyIcon(icon);
        }
    ASSERT_EQ(5u, g_iconIds.size()) << "the five tray icons must differ";
    saved_ = g_pfnShellNotifyIcon;
    g_pfnShellNotifyIcon = RecordTrayRow;
    ClearRows();
    g_spy = MenuSpy();
    g_malformed = 0;
    TakeQuit();
    SUCCEED();  // GoogleTest starts its helper thread for this thread here, not mid-test
    // The simulator's notification listener lives as long as the process:
    // start it before counting the threads a window leaves behind.
    static HANDLE warmUp = CreateEventA(NULL, FALSE, FALSE, NULL);
    typedef DWORD(WINAPI * NotifyFn)(HANDLE, HANDLE, DWORD);
    static NotifyFn notify =
        (NotifyFn)(void *)GetProcAddress(GetModuleHandleA("rasapi32.dll"), "RasConnectionNotificationA");
    static DWORD warmed = notify ? notify(NULL, warmUp, 1) : 0;
    (void)warmed;
    // The common control classes of the manifest's version are registered at
    // their first use in the process, and Wine's registration is not safe
    // from two threads at once: two first boxes together (both watchers
    // warning at start) on a busy machine leave one box without its icon or
    // buttons, MessageBoxA fails with -1 and nothing shows.
    auto makeOne = [](const char *cls) { return DestroyWindow(CreateWindowA(cls, "", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL)); };
    static const bool classesReady = (makeOne("Static") != FALSE) & (makeOne("Button") != FALSE);
    EXPECT_TRUE(classesReady) << "a Static and a Button made";
    baseThreads_ = ThreadCount();
}

void MainWindow::Close() {
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    hwnd_ = NULL;
    UnregisterClassA(MAIN_CLASS_NAME, GetModuleHandleA(NULL));
    // Watchers notice within their wait period; a monitor ends with its run.
    EXPECT_TRUE(WaitFor([this] { return ThreadCount() <= baseThreads_; }, 10000))
        << ThreadCount() << " threads, " << baseThreads_ << " before the window:" << ThreadStarts()
        << "\n monitor " << (void *)OnlineMonitor;
    // The notification events outlive the window (RAS holds them): a signal
    // nobody took must not reach the next window of this process.
    RasSimForgetRegistrations();
    for (const char *name : {"ZKRASNotifyEventOn", "ZKRASNotifyEventOff"}) {
        HANDLE ev = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
        if (ev) {
            ResetEvent(ev);
            CloseHandle(ev);
        }
    }
}

void MainWindow::TearDown() {
    RasSimDrop(NULL);
    Close();
    PumpPending();
    g_pfnShellNotifyIcon = saved_;
    g_traySettleMs = 500;  // the program's paces, for the next test of this process
    g_watcherLookMs = 2000;
    EXPECT_EQ(0, g_malformed.load()) << "tray records with a wrong size, owner, id, flags or message";
}

std::vector<TrayRow> MainWindow::RowsNow() {
    std::lock_guard<std::mutex> lock(g_rowsLock);
    return g_rows;
}

std::vector<TrayRow> MainWindow::MainRows() {
    std::vector<TrayRow> out;
    for (const auto &r : RowsNow())
        if (r.thread == GetCurrentThreadId()) out.push_back(r);
    return out;
}

void MainWindow::ClearRows() {
    std::lock_guard<std::mutex> lock(g_rowsLock);
    g_rows.clear();
}

void MainWindow::Start() {
    g_owner = NULL;
    hwnd_ = StartWendle(GetModuleHandleA(NULL));
    ASSERT_TRUE(hwnd_ != NULL);
    EXPECT_EQ(hwnd_, g_owner.load()) << "the icon belongs to the main window";
}

void MainWindow::StartAndSettle() {
    Start();
    ASSERT_TRUE(WaitFor([this] { return MainRows().size() >= 2; })) << Describe(RowsNow());
}

LRESULT MainWindow::OpenMenu(std::vector<std::pair<UINT, WPARAM>> keys, std::function<void()> whileOpen) {
    g_spy = MenuSpy();
    g_spy.keys = keys;
    g_spy.whileOpen = whileOpen;
    g_spy.original = (WNDPROC)SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, (LONG_PTR)SpyProc);
    LRESULT r = SendMessageA(hwnd_, MSG_TRAY_CALLBACK, TRAY_ICON_ID, WM_RBUTTONDOWN);
    SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, (LONG_PTR)g_spy.original);
    PumpPending();
    return r;
}
