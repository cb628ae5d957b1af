// The window and message utilities of the exported library.
#include <gtest/gtest.h>

#include "app.h"
#include "dial.h"
#include "testutil.h"
#include "uilib.h"

namespace {

HWND MakeWindow(HWND parent, int x, int y, int w, int h) {
    return CreateWindowExA(0, "STATIC", "", parent ? WS_CHILD | WS_VISIBLE : WS_POPUP, x, y, w, h, parent, NULL,
                           GetModuleHandleA(NULL), NULL);
}

void RegisterTestClass(const char *name, WNDPROC proc) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
}

RECT WindowRect(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    return r;
}

// Counts the messages a window receives.
int g_received;
LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_USER + 7) g_received++;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST(MyDialogYield, DispatchesAtMostCountQueuedMessages) {
    RegisterTestClass("YieldCounter", CountingProc);
    HWND hwnd = CreateWindowA("YieldCounter", "", WS_POPUP, 0, 0, 1, 1, NULL, NULL, GetModuleHandleA(NULL), NULL);
    PumpPending();
    struct Row {
        int queued, count, dispatched;
    } rows[] = {{2, 0, 0}, {2, -5, 0}, {2, 3, 2}, {10, 3, 3}};
    for (const Row &r : rows) {
        PumpPending();
        g_received = 0;
        for (int i = 0; i < r.queued; i++) PostMessageA(hwnd, WM_USER + 7, 0, 0);
        MyDialogYield(r.count);
        EXPECT_EQ(r.dispatched, g_received) << r.queued << " queued, count " << r.count;
    }
    PumpPending();
    DestroyWindow(hwnd);
    UnregisterClassA("YieldCounter", GetModuleHandleA(NULL));
}

TEST(Geometry, InflateMoveAndCentre) {
    HWND top = MakeWindow(NULL, 100, 50, 301, 120);
    RECT before = WindowRect(top);
    EXPECT_TRUE(InflateWnd(top, 0, 0));
    RECT same = WindowRect(top);
    EXPECT_TRUE(EqualRect(&before, &same));
    EXPECT_TRUE(InflateWnd(top, -10, -4));
    RECT smaller = WindowRect(top);
    EXPECT_EQ(before.left, smaller.left);
    EXPECT_EQ(before.top, smaller.top);
    EXPECT_EQ(291, smaller.right - smaller.left);
    EXPECT_EQ(116, smaller.bottom - smaller.top);

    HWND child = MakeWindow(top, 20, 30, 40, 10);
    EXPECT_TRUE(MoveWnd(child, 5, -3));
    RECT r = WindowRect(child);
    POINT pt = {r.left, r.top};
    ScreenToClient(top, &pt);
    EXPECT_EQ(25, pt.x);
    EXPECT_EQ(27, pt.y);
    EXPECT_EQ(40, r.right - r.left);

    EXPECT_TRUE(InflateWnd(top, 10, 4));  // back to 301 wide
    EXPECT_TRUE(winCenter(top));
    RECT desk, c = WindowRect(top);
    GetClientRect(GetDesktopWindow(), &desk);
    EXPECT_EQ(desk.right / 2 - 150, c.left) << "301 wide on a " << desk.right << " wide desktop";
    EXPECT_EQ(desk.bottom / 2 - 60, c.top);
    EXPECT_EQ(301, c.right - c.left);
    DestroyWindow(top);
    EXPECT_FALSE(winCenter(top));
    EXPECT_FALSE(InflateWnd(top, 1, 1));
}

TEST(Clipboard, CopiesTheTextWithItsTerminator) {
    HWND owner = MakeWindow(NULL, 0, 0, 10, 10);
    for (const char *text : {"", "hello, world"}) {
        EXPECT_EQ(1, CopyTextToClipboard(owner, text));
        ASSERT_TRUE(OpenClipboard(owner));
        HANDLE data = GetClipboardData(CF_TEXT);
        ASSERT_TRUE(data != NULL);
        EXPECT_STREQ(text, (const char *)GlobalLock(data));
        EXPECT_EQ(strlen(text) + 1, GlobalSize(data));
        GlobalUnlock(data);
        EmptyClipboard();
        CloseClipboard();
    }
    ASSERT_TRUE(OpenClipboard(owner));  // held elsewhere: nothing copied
    HWND other = MakeWindow(NULL, 0, 0, 10, 10);
    EXPECT_EQ(0, CopyTextToClipboard(other, "x"));
    CloseClipboard();
    DestroyWindow(other);
    DestroyWindow(owner);
}

// ---- the formatted outputs ------------------------------------------------------

std::string g_status;
WPARAM g_statusWParam;
LRESULT CALLBACK StatusProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == RegisterWindowMessageA("CorvelLibraryStatus")) {
        g_status = (const char *)lParam;
        g_statusWParam = wParam;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST(Messages, StatusTextIsSentFormattedAndBounded) {
    RegisterTestClass("StatusTarget", StatusProc);
    HWND hwnd = CreateWindowA("StatusTarget", "", WS_POPUP, 0, 0, 1, 1, NULL, NULL, GetModuleHandleA(NULL), NULL);
    g_statusWParam = 99;
    DisplayStatusMessage(hwnd, "%s has %d lines", "Office", 3);
    EXPECT_EQ("Office has 3 lines", g_status);
    EXPECT_EQ(0u, g_statusWParam);
    std::string huge(100000, 'q');
    DisplayStatusMessage(hwnd, "%s|%s", huge.c_str(), huge.c_str());
    EXPECT_LE(g_status.size(), 1024u) << "the platform formatter stops long before the 4097-byte buffer";
    EXPECT_EQ(std::string(g_status.size(), 'q'), g_status);
    DestroyWindow(hwnd);
    UnregisterClassA("StatusTarget", GetModuleHandleA(NULL));
}

TEST(Messages, CommentShowsAWarningBoxAndDummyCommentNothing) {
    BoxWatcher boxes;
    Comment(NULL, "Caption", "Value %d of %s", 7, "ten");
    DummyComment("Value %d of %s", 7, "ten");
    std::string huge(50000, 'w');
    Comment(NULL, "Long", "%s", huge.c_str());
    DummyComment("%s%s%s", huge.c_str(), huge.c_str(), huge.c_str());
    auto seen = boxes.Boxes();
    ASSERT_EQ(2u, seen.size()) << Describe(seen);
    EXPECT_EQ("Caption", seen[0].caption);
    EXPECT_EQ("Value 7 of ten", seen[0].text);
    EXPECT_EQ("warning", seen[0].icon);
    EXPECT_TRUE(seen[0].owner == NULL);
    EXPECT_EQ("Long", seen[1].caption);
    EXPECT_LE(seen[1].text.size(), 1024u);
    EXPECT_GT(seen[1].text.size(), 500u);
}

// OutputDebugStringA raises DBG_PRINTEXCEPTION_C with the text before any
// debugger sees it: a vectored handler reads it there.
std::vector<std::string> g_debugLines;
LONG CALLBACK CatchDebugText(EXCEPTION_POINTERS *ep) {
    if (ep->ExceptionRecord->ExceptionCode == 0x40010006 && ep->ExceptionRecord->NumberParameters >= 2)
        g_debugLines.push_back((const char *)ep->ExceptionRecord->ExceptionInformation[1]);
    return EXCEPTION_CONTINUE_SEARCH;
}

TEST(Messages, DebugLineIsCutAt255AndPumpsMessages) {
    PVOID handler = AddVectoredExceptionHandler(1, CatchDebugText);
    g_debugLines.clear();
    HWND hwnd = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 1, 1, NULL, NULL, GetModuleHandleA(NULL), NULL);
    PumpPending();
    PostMessageA(hwnd, WM_NULL, 0, 0);
    DisplayDebugMessage("%d %.2f %s", 42, 2.5, "ok");
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE)) << "queued messages are handled";
    std::string huge(3000, 'd');
    DisplayDebugMessage("%s", huge.c_str());
    RemoveVectoredExceptionHandler(handler);
    DestroyWindow(hwnd);
    ASSERT_EQ(2u, g_debugLines.size());
    EXPECT_EQ("42 2.50 ok", g_debugLines[0]);
    EXPECT_EQ(std::string(255, 'd'), g_debugLines[1]);
}

// ---- every export, called as a careless outside module might ----------------------

// Null pointers, no window, a stale bitmap: one round through every export
// that takes them, noting each result.
std::vector<std::string> CallEveryExportBadly(HBITMAP stale, HWND gone) {
    std::vector<std::string> r;
    auto note = [&](const char *what, long long v) { r.push_back(std::string(what) + " " + std::to_string(v)); };
    note("LoadTransparentBitmap1", (long long)(INT_PTR)LoadTransparentBitmap1(NULL, NULL, 0));
    note("SwapBitmapColors null", SwapBitmapColors(NULL, 0, 1, NULL));
    note("SwapBitmapColors stale", SwapBitmapColors(stale, 0, 1, NULL));
    note("ChangeBitmapColor null", ChangeBitmapColor(NULL, 0, 1, NULL));
    note("ChangeBitmapColor stale", ChangeBitmapColor(stale, 0, 1, (HPALETTE)GetStockObject(DEFAULT_PALETTE)));
    ChangeBitmapColorDC(NULL, NULL, 0, 1);
    note("CopyBitmap stale", (long long)(INT_PTR)CopyBitmap(stale));
    HBITMAP out = (HBITMAP)(INT_PTR)1;
    DimBitmap(NULL, &out);
    DimBitmap(stale, &out);
    DimBitmap(stale, NULL);
    note("DimBitmap leaves out", (long long)(INT_PTR)out);
    DisplayStatusMessage(NULL, NULL);
    Comment(NULL, NULL, NULL);
    DummyComment(NULL);
    DisplayDebugMessage(NULL);
    note("CopyTextToClipboard null text", CopyTextToClipboard(NULL, NULL));
    note("CopyTextToClipboard gone owner", CopyTextToClipboard(gone, "x"));
    MyDialogYield(-5);
    note("InflateWnd", InflateWnd(NULL, 1, 1));
    note("MoveWnd", MoveWnd(gone, 1, 1));
    note("winCenter", winCenter(NULL));
    note("WritePrivateProfileItem", WritePrivateProfileItem(NULL, NULL, NULL, NULL));
    for (UINT msg : {WM_INITDIALOG, WM_TIMER, WM_COMMAND, WM_CLOSE}) {
        note("AboutProc", AboutProc(NULL, msg, IDOK, 0));
        note("AskProc", AskProc(NULL, msg, IDOK, 0));
        note("RemindProc", RemindProc(NULL, msg, IDOK, 0));
        note("AmRASDialProc", AmRASDialProc(gone, msg, IDCANCEL, 0));
    }
    return r;
}

TEST(Exports, BadArgumentsFailCleanlyAndHoldNothing) {
    HBITMAP stale = CreateBitmap(4, 4, 1, 32, NULL);
    DeleteObject(stale);
    HWND gone = MakeWindow(NULL, 0, 0, 10, 10);
    DestroyWindow(gone);
    g_hInstance = GetModuleHandleA(NULL);
    g_promptTimeoutMs = 10;
    HWND dial = MakeWindow(NULL, 0, 0, 10, 10);
    g_hDialWnd = dial;  // a dial in progress that the calls must leave alone
    BoxWatcher boxes;

    std::vector<std::string> expected = {
        "LoadTransparentBitmap1 0", "SwapBitmapColors null 0", "SwapBitmapColors stale 0",
        "ChangeBitmapColor null 0", "ChangeBitmapColor stale 0", "CopyBitmap stale 0", "DimBitmap leaves out 1",
        "CopyTextToClipboard null text 0", "CopyTextToClipboard gone owner 0", "InflateWnd 0", "MoveWnd 0",
        "winCenter 0", "WritePrivateProfileItem 0"};
    for (int i = 0; i < 4; i++)
        for (const char *proc : {"AboutProc 0", "AskProc 0", "RemindProc 0", "AmRASDialProc 0"}) expected.push_back(proc);
    std::vector<std::string> first = CallEveryExportBadly(stale, gone);
    EXPECT_EQ(expected, first) << Join(first);
    EXPECT_EQ(dial, g_hDialWnd);
    // No timer was set for no window, no clipboard or capture is held, no box shown.
    MSG msg;
    WaitFor([] { return false; }, 100);
    EXPECT_FALSE(PeekMessageA(&msg, (HWND)-1, WM_TIMER, WM_TIMER, PM_REMOVE)) << "a thread timer was left";
    ASSERT_TRUE(OpenClipboard(NULL));
    CloseClipboard();
    EXPECT_TRUE(GetCapture() == NULL);
    EXPECT_EQ(0u, boxes.Count()) << Describe(boxes.Boxes());

    size_t gdi = GdiHeadroom();
    for (int i = 0; i < 30; i++) CallEveryExportBadly(stale, gone);
    EXPECT_GE(GdiHeadroom() + 8, gdi) << "GDI objects leaked";
    g_hDialWnd = NULL;
    g_promptTimeoutMs = 30000;
    DestroyWindow(dial);
}

}  // namespace
