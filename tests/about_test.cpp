// The About box and the two control classes it stands on.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "app.h"
#include "bitmaps.h"
#include "controls.h"
#include "resource.h"
#include "testutil.h"
#include "uilib.h"

namespace {

// Runs the About box modally on this thread while `drive` works it from
// another thread, as a user would; returns the dialog's result.
INT_PTR RunAbout(const std::function<void(HWND)> &drive) {
    std::thread user([&] {
        HWND dlg = WaitForDialog("About Wendle");
        if (dlg) drive(dlg);
    });
    INT_PTR result = DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_ABOUT), NULL, AboutProc, 0);
    user.join();
    return result;
}

std::string Marquee(HWND dlg) {
    char text[64] = "";
    GetDlgItemTextA(dlg, IDC_MARQUEE, text, sizeof(text));
    return text;
}

class About : public ::testing::Test {
protected:
    void SetUp() override {
        g_hInstance = GetModuleHandleA(NULL);
        RegisterDipsWindowClass(g_hInstance);
    }
};

TEST_F(About, MarqueeRunsItsTwentyTwoFrameCycle) {
    // Opened modeless on this thread, which pumps nothing while it ticks: the
    // box's own timer cannot slip a frame in, however slow the machine.
    HWND dlg = CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(IDD_ABOUT), NULL, AboutProc, 0);
    ASSERT_TRUE(dlg != NULL);
    std::string before = Marquee(dlg);
    std::vector<std::string> frames;
    for (int tick = 0; tick < 23; tick++) {
        SendMessageA(dlg, WM_TIMER, 0, 0);
        frames.push_back("[" + Marquee(dlg) + "]");
    }
    SendMessageA(dlg, WM_COMMAND, IDOK, 0);
    DestroyWindow(dlg);
    EXPECT_EQ("", before) << "empty until the first tick";
    std::vector<std::string> expected = {
        "[          W]", "[         We]", "[        Wen]", "[       Wend]", "[      Wendl]", "[     Wendle]",
        "[    Wendle ]", "[   Wendle v]", "[  Wendle v1]", "[ Wendle v1.]", "[Wendle v1.0]", "[endle v1.0]",
        "[ndle v1.0]",   "[dle v1.0]",    "[le v1.0]",     "[e v1.0]",      "[ v1.0]",       "[v1.0]",
        "[1.0]",         "[.0]",          "[0]",           "[]",            "[          W]"};
    EXPECT_EQ(expected, frames) << Join(frames);
}

TEST_F(About, FirstFrameComesOnePeriodAfterOpening) {
    std::string atOpen, later;
    DWORD took = 0;
    RunAbout([&](HWND dlg) {
        atOpen = Marquee(dlg);
        DWORD start = GetTickCount();
        while (Marquee(dlg).empty() && GetTickCount() - start < 3000) Sleep(5);
        took = GetTickCount() - start;
        later = Marquee(dlg);
        PostMessageA(dlg, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ("", atOpen);
    EXPECT_EQ("          W", later);
    EXPECT_LT(took, 1000u);
}

TEST_F(About, EscapeIsIgnoredAndOKOrTheCloseBoxEndIt) {
    for (int how : {0, 1}) {
        bool stillOpen = false;
        INT_PTR result = RunAbout([&](HWND dlg) {
            SendMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
            stillOpen = IsWindowVisible(dlg) != FALSE;
            if (how == 0)
                SendMessageA(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0);
            else
                SendMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
        });
        EXPECT_TRUE(stillOpen) << how;
        EXPECT_EQ(1, result) << how;
    }
}

TEST_F(About, AHundredOpeningsLeakNothing) {
    auto openAndClose = [](HWND dlg) {
        SendMessageA(dlg, WM_TIMER, 0, 0);
        RedrawWindow(dlg, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        SendMessageA(GetDlgItem(dlg, IDOK), BM_CLICK, 0, 0);
    };
    // Wine fills its font and dialog caches over the first openings.
    for (int i = 0; i < 30; i++) RunAbout(openAndClose);
    size_t before = GdiHeadroom();
    for (int i = 0; i < 100; i++) RunAbout(openAndClose);
    size_t after = GdiHeadroom();
    EXPECT_GE(after + 8, before) << "GDI objects leaked: " << before - after;
}

// ---- the frame and the button class --------------------------------------------

TEST(Controls, ButtonBrushFollowsTheVersion) {
    EXPECT_EQ((HBRUSH)(COLOR_WINDOW + 1), ButtonBrushForVersion(0x04213303));  // 3.51
    EXPECT_EQ((HBRUSH)(COLOR_BTNFACE + 1), ButtonBrushForVersion(0xC0005F03));  // 3.95
    EXPECT_EQ((HBRUSH)(COLOR_BTNFACE + 1), ButtonBrushForVersion(0xC0000004));  // 4.0
}

TEST(Controls, Draw3DFramePixelsForEachStyle) {
    const COLORREF F = GetSysColor(COLOR_BTNFACE), S = GetSysColor(COLOR_BTNSHADOW), H = GetSysColor(COLOR_BTNHIGHLIGHT),
                   X = RGB(1, 2, 3);
    struct Row {
        int style;
        COLORREF first, second;
    } rows[] = {{FRAME_FLAT, F, F}, {FRAME_SUNKEN, S, H}, {FRAME_RAISED, H, S}, {7, X, X}};
    for (const Row &r : rows) {
        HDC screen = GetDC(NULL);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bm = CreateCompatibleBitmap(screen, 6, 5);
        ReleaseDC(NULL, screen);
        HGDIOBJ old = SelectObject(dc, bm);
        HBRUSH fill = CreateSolidBrush(X);
        RECT all = {0, 0, 6, 5};
        FillRect(dc, &all, fill);
        DeleteObject(fill);
        Draw3DFrame(dc, 0, 0, 5, 4, r.style);  // the frame of the rectangle (0, 0)-(5, 4)
        std::string got, want;
        for (int y = 0; y < 5; y++) {
            for (int x = 0; x < 6; x++) {
                COLORREF expect = X;
                if ((x == 0 && y >= 1 && y <= 4) || (y == 0 && x <= 4)) expect = r.first;  // one short at the ends
                if ((x == 4 && y <= 2) || (y == 3 && x >= 1 && x <= 4)) expect = r.second;
                COLORREF c = GetPixel(dc, x, y);
                got += c == F ? 'F' : c == S ? 'S' : c == H ? 'H' : c == X ? '.' : '?';
                want += expect == F ? 'F' : expect == S ? 'S' : expect == H ? 'H' : '.';
            }
            got += '\n';
            want += '\n';
        }
        EXPECT_EQ(want, got) << "style " << r.style;
        SelectObject(dc, old);
        DeleteObject(bm);
        DeleteDC(dc);
    }
}

}  // namespace

namespace {

// A parent that counts the button's click notifications and may destroy the
// button while handling one.
std::vector<WPARAM> g_clicks;
bool g_destroyOnClick;
LRESULT CALLBACK ClickParent(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) {
        g_clicks.push_back(wParam);
        if (g_destroyOnClick) DestroyWindow(GetDlgItem(hwnd, 77));
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class Button : public ::testing::Test {
protected:
    void SetUp() override {
        g_hInstance = GetModuleHandleA(NULL);
        RegisterBMPButtonClass(g_hInstance);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ClickParent;
        wc.hInstance = g_hInstance;
        wc.lpszClassName = "ClickParent";
        RegisterClassA(&wc);
        parent_ = CreateWindowA("ClickParent", "", WS_POPUP | WS_VISIBLE, 100, 100, 200, 100, NULL, NULL, g_hInstance,
                                NULL);
        button_ = CreateWindowA("QVBMPButton", "", WS_CHILD | WS_VISIBLE, 10, 10, 40, 30, parent_, (HMENU)77,
                                g_hInstance, NULL);
        g_clicks.clear();
        g_destroyOnClick = false;
        PumpPending();
    }
    void TearDown() override {
        DestroyWindow(parent_);
        PumpPending();
    }
    LONG Look() {
        HGLOBAL block = (HGLOBAL)GetWindowLongPtrA(button_, 0);
        BMPButtonState *s = (BMPButtonState *)GlobalLock(block);
        LONG look = s ? s->visualState : -1;
        GlobalUnlock(block);
        return look;
    }
    LRESULT Mouse(UINT msg, int x, int y) { return SendMessageA(button_, msg, MK_LBUTTON, MAKELPARAM(x, y)); }
    HWND parent_, button_;
};

TEST_F(Button, ClickIsSentOnReleaseOverTheButtonOnly) {
    Mouse(WM_LBUTTONDOWN, 5, 5);
    EXPECT_EQ(2, Look());
    EXPECT_EQ(button_, GetCapture());
    Mouse(WM_LBUTTONUP, 5, 5);
    EXPECT_EQ(std::vector<WPARAM>{77}, g_clicks);
    Mouse(WM_LBUTTONDOWN, 5, 5);
    Mouse(WM_LBUTTONUP, 150, 80);  // released outside
    EXPECT_EQ(0, Look());
    EXPECT_EQ(1u, g_clicks.size());
    EXPECT_NE(button_, GetCapture());
}

TEST_F(Button, DoubleClickSendsTwoNotifications) {
    Mouse(WM_LBUTTONDOWN, 5, 5);
    Mouse(WM_LBUTTONUP, 5, 5);
    Mouse(WM_LBUTTONDBLCLK, 5, 5);
    Mouse(WM_LBUTTONUP, 5, 5);
    EXPECT_EQ(2u, g_clicks.size());
}

// Space and Enter press the button; other keys do nothing.
TEST_F(Button, AHeldKeyStaysPressedAndClicksOnceAtRelease) {
    static const struct {
        WPARAM key;
        const char *name;
    } kKeys[] = {{VK_SPACE, "space"}, {VK_RETURN, "Enter"}, {'A', "A"}, {VK_ESCAPE, "Escape"}};
    std::vector<std::string> expected = {"space: held 2, released 1, 1 click", "Enter: held 2, released 1, 1 click",
                                         "A: held 1, released 1, 0 clicks", "Escape: held 1, released 1, 0 clicks"};
    std::vector<std::string> seen;
    SendMessageA(button_, WM_SETFOCUS, 0, 0);
    for (const auto &k : kKeys) {
        g_clicks.clear();
        for (int i = 0; i < 3; i++) SendMessageA(button_, WM_KEYDOWN, k.key, 0);
        std::string line = std::string(k.name) + ": held " + std::to_string(Look());
        SendMessageA(button_, WM_KEYUP, k.key, 0);
        size_t clicks = g_clicks.size();
        seen.push_back(line + ", released " + std::to_string(Look()) + ", " + std::to_string(clicks) +
                       (clicks == 1 ? " click" : " clicks"));
    }
    EXPECT_EQ(expected, seen) << Join(seen);
}

TEST_F(Button, DisablingAHeldButtonReleasesItAndTheReleaseSendsNothing) {
    Mouse(WM_LBUTTONDOWN, 5, 5);
    EnableWindow(button_, FALSE);
    EXPECT_EQ(3, Look());
    EXPECT_NE(button_, GetCapture());
    EXPECT_EQ(1, Mouse(WM_LBUTTONUP, 5, 5));
    EXPECT_TRUE(g_clicks.empty());
    EnableWindow(button_, TRUE);
    EXPECT_EQ(0, Look());
}

TEST_F(Button, ParentMayDestroyTheButtonInsideTheClick) {
    g_destroyOnClick = true;
    Mouse(WM_LBUTTONDOWN, 5, 5);
    Mouse(WM_LBUTTONUP, 5, 5);
    EXPECT_EQ(1u, g_clicks.size());
    EXPECT_FALSE(IsWindow(button_));
}

TEST_F(Button, FocusShowsTheRaisedLookAndImagesCanBeSetAgain) {
    SendMessageA(button_, WM_SETFOCUS, 0, 0);
    EXPECT_EQ(1, Look());
    SendMessageA(button_, WM_KILLFOCUS, 0, 0);
    EXPECT_EQ(0, Look());
    BMPButtonImageSource src = {g_hInstance, 0};
    // The logo is a named resource; the button takes numeric ids only, so
    // a missing id leaves the images empty and painting still works.
    SendMessageA(button_, BMPBTN_SETIMAGES, 0, (LPARAM)&src);
    SendMessageA(button_, BMPBTN_SETIMAGES, 0, (LPARAM)&src);
    RedrawWindow(button_, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW);
    SendMessageA(button_, BMPBTN_ENABLE, 0, 0);
    EXPECT_EQ(3, Look());
    SendMessageA(button_, BMPBTN_ENABLE, 1, 0);
    EXPECT_EQ(0, Look());
}

TEST(Bitmaps, KeyedLoadWithTheKeyAsReplacementKeepsTheLogo) {
    HBITMAP plain = LoadBitmapA(GetModuleHandleA(NULL), "LOGO");
    HBITMAP keyed = LoadKeyedBitmap(GetModuleHandleA(NULL), "LOGO", RGB(244, 51, 239));
    HBITMAP face = LoadKeyedBitmap(GetModuleHandleA(NULL), "LOGO", GetSysColor(COLOR_BTNFACE));
    ASSERT_TRUE(plain && keyed && face);
    HDC dc = CreateCompatibleDC(NULL);
    HGDIOBJ old = SelectObject(dc, plain);
    COLORREF corner = GetPixel(dc, 0, 0), middle = GetPixel(dc, 34, 100);
    SelectObject(dc, keyed);
    EXPECT_EQ(corner, GetPixel(dc, 0, 0));
    EXPECT_EQ(middle, GetPixel(dc, 34, 100));
    SelectObject(dc, face);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), GetPixel(dc, 0, 0)) << "the key takes the button face";
    EXPECT_EQ(middle, GetPixel(dc, 34, 100));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(plain);
    DeleteObject(keyed);
    DeleteObject(face);
}

}  // namespace

namespace {

TEST(About2, TwoBoxesOpenTogetherKeepTheirOwnState) {
    g_hInstance = GetModuleHandleA(NULL);
    RegisterDipsWindowClass(g_hInstance);
    // Opened modeless here so that both live at once, as a second box from
    // the tray menu would during the first one's modal loop.
    HWND a = CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(IDD_ABOUT), NULL, AboutProc, 0);
    HWND b = CreateDialogParamA(g_hInstance, MAKEINTRESOURCEA(IDD_ABOUT), NULL, AboutProc, 0);
    ASSERT_TRUE(a && b);
    for (int i = 0; i < 3; i++) SendMessageA(a, WM_TIMER, 0, 0);
    SendMessageA(b, WM_TIMER, 0, 0);
    EXPECT_EQ("        Wen", Marquee(a));
    EXPECT_EQ("          W", Marquee(b));
    SendMessageA(a, WM_COMMAND, IDOK, 0);  // closing one leaves the other scrolling
    SendMessageA(b, WM_TIMER, 0, 0);
    EXPECT_EQ("         We", Marquee(b));
    SendMessageA(b, WM_COMMAND, IDOK, 0);
    DestroyWindow(a);
    DestroyWindow(b);
}

// Paints a button of 12 by 10 pixels in a given state and reads the frame.
std::string ButtonLook(LONG visualState, LONG focus) {
    HWND parent = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 50, 50, NULL, NULL, GetModuleHandleA(NULL), NULL);
    HWND button = CreateWindowA("QVBMPButton", "", WS_CHILD, 0, 0, 12, 10, parent, (HMENU)5, GetModuleHandleA(NULL), NULL);
    HDC screen = GetDC(NULL);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bm = CreateCompatibleBitmap(screen, 12, 10);
    ReleaseDC(NULL, screen);
    HGDIOBJ old = SelectObject(dc, bm);
    RECT all = {0, 0, 12, 10};
    FillRect(dc, &all, (HBRUSH)GetStockObject(BLACK_BRUSH));
    BMPButtonState state = {NULL, NULL, visualState, 0, focus};
    PaintBMPButton(button, dc, &state);
    const COLORREF F = GetSysColor(COLOR_BTNFACE), S = GetSysColor(COLOR_BTNSHADOW), H = GetSysColor(COLOR_BTNHIGHLIGHT);
    std::string look;
    // The outer top-left corner, the inner top-left corner, the inner right edge.
    for (POINT p : {POINT{0, 0}, POINT{1, 1}, POINT{10, 3}, POINT{11, 3}}) {
        COLORREF c = GetPixel(dc, p.x, p.y);
        look += c == F ? 'F' : c == S ? 'S' : c == H ? 'H' : c == 0 ? '.' : '?';
    }
    SelectObject(dc, old);
    DeleteObject(bm);
    DeleteDC(dc);
    DestroyWindow(parent);
    return look;
}

TEST(Controls, ButtonLookOfEachState) {
    g_hInstance = GetModuleHandleA(NULL);
    RegisterBMPButtonClass(g_hInstance);
    EXPECT_EQ("....", ButtonLook(0, 0)) << "flat without an image: nothing drawn";
    EXPECT_EQ("H..S", ButtonLook(1, 0)) << "raised";
    EXPECT_EQ("FS.H", ButtonLook(2, 0)) << "pressed: face outline, sunken inner frame";
    EXPECT_EQ("....", ButtonLook(3, 0)) << "disabled without an image";
    EXPECT_EQ("H..S", ButtonLook(0, 1)) << "focus shows the raised frame";
    EXPECT_EQ("....", ButtonLook(9, 0)) << "an unknown look draws nothing";
}

}  // namespace

namespace {

INT_PTR CALLBACK PlainDialog(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

TEST(Templates, UserDetailsTemplateOpensOnceThePanelClassExists) {
    g_hInstance = GetModuleHandleA(NULL);
    RegisterDipsWindowClass(g_hInstance);
    HWND dlg = CreateDialogParamA(g_hInstance, "IDD_GETUPASS", NULL, PlainDialog, 0);
    ASSERT_TRUE(dlg != NULL);
    char caption[64];
    GetWindowTextA(dlg, caption, sizeof(caption));
    EXPECT_STREQ("Enter User Details", caption);
    EXPECT_TRUE(GetDlgItem(dlg, IDC_USERNAME) != NULL);
    EXPECT_TRUE(GetWindowLongA(GetDlgItem(dlg, IDC_PASSWORD), GWL_STYLE) & ES_PASSWORD);
    DestroyWindow(dlg);
}

}  // namespace
