// The About box: the logo recoloured to the button face and stretched into
// a tall owner-drawn button, and the title scrolling through like a marquee.
// Its handles and counters are held per box, so that a second box opened
// from the tray menu while one is open draws and releases only its own.
#include <stdlib.h>

#include "app.h"
#include "../res/resource.h"
#include "../uilib/bitmaps.h"
#include "../uilib/uilib.h"

namespace {

const char kTitle[] = "Wendle v1.0";  // at most 50 characters: the frame buffer
const UINT kMarqueeMs = 180;

struct AboutBox {
    HBITMAP logo;
    HFONT font;
    UINT_PTR timer;
    LONG length, pad, offset;
};

AboutBox *BoxOf(HWND dlg) { return (AboutBox *)GetWindowLongPtrA(dlg, DWLP_USER); }

HFONT CreateMarqueeFont(void) {
    LOGFONTA lf;
    ZeroMemory(&lf, sizeof(lf));
    lf.lfHeight = 36;
    lf.lfWidth = 18;
    lf.lfWeight = FW_BOLD;
    lf.lfItalic = 1;
    lf.lfCharSet = ANSI_CHARSET;
    lf.lfOutPrecision = OUT_STRING_PRECIS;
    lf.lfClipPrecision = CLIP_STROKE_PRECIS;
    lf.lfQuality = PROOF_QUALITY;
    lf.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
    lstrcpynA(lf.lfFaceName, "MyFont", LF_FACESIZE);  // no such face: the mapper picks a bold italic serif
    return CreateFontIndirectA(&lf);
}

INT_PTR OnAboutInit(HWND dlg) {
    winCenter(dlg);
    AboutBox *box = (AboutBox *)calloc(1, sizeof(AboutBox));
    if (!box) {
        EndDialog(dlg, 0);
        return TRUE;
    }
    box->logo = LoadKeyedBitmap(g_hInstance, "LOGO", GetSysColor(COLOR_BTNFACE));
    box->font = CreateMarqueeFont();
    box->length = lstrlenA(kTitle);
    box->pad = box->length;
    box->offset = 0;
    if (!box->font) {
        if (box->logo) DeleteObject(box->logo);
        free(box);
        EndDialog(dlg, 0);
        return TRUE;
    }
    SetWindowLongPtrA(dlg, DWLP_USER, (LONG_PTR)box);
    SendDlgItemMessageA(dlg, IDC_MARQUEE, WM_SETFONT, (WPARAM)box->font, 0);
    box->timer = SetTimer(dlg, 0, kMarqueeMs, NULL);
    return TRUE;
}

INT_PTR OnAboutDrawItem(HWND dlg, const DRAWITEMSTRUCT *item) {
    AboutBox *box = BoxOf(dlg);
    HWND logo = GetDlgItem(dlg, IDC_LOGO);
    if (!box || !IsWindow(logo)) return FALSE;
    RECT r;
    GetClientRect(logo, &r);
    BITMAP bm;
    ZeroMemory(&bm, sizeof(bm));
    if (box->logo) GetObjectA(box->logo, sizeof(bm), &bm);
    HDC controlDC = GetDC(logo);
    HDC mem = controlDC ? CreateCompatibleDC(controlDC) : NULL;
    HGDIOBJ old = mem && box->logo ? SelectObject(mem, box->logo) : NULL;
    if (!old) {
        if (mem) DeleteDC(mem);
        if (controlDC) ReleaseDC(logo, controlDC);
        return FALSE;
    }
    StretchBlt(item->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, mem, 0, 0, bm.bmWidth, bm.bmHeight,
               SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(logo, controlDC);
    return TRUE;
}

// The title enters from the right one character a tick, leaves to the left
// one a tick, then one blank frame: 2 x length ticks a cycle.
INT_PTR OnAboutTick(HWND dlg) {
    AboutBox *box = BoxOf(dlg);
    if (!box) return FALSE;
    char frame[51];
    FillMemory(frame, sizeof(frame) - 1, ' ');
    frame[sizeof(frame) - 1] = 0;
    LONG len = box->length;
    if (box->pad > 0) {
        box->pad--;
        CopyMemory(frame + box->pad, kTitle, len - box->pad);
        frame[len] = 0;
    } else {
        box->offset++;
        if (box->offset >= len) {
            box->pad = len;
            box->offset = 0;
            SetDlgItemTextA(dlg, IDC_MARQUEE, "");
            return TRUE;
        }
        lstrcpynA(frame, kTitle + box->offset, sizeof(frame));
    }
    SetDlgItemTextA(dlg, IDC_MARQUEE, frame);
    return FALSE;
}

INT_PTR OnAboutOK(HWND dlg) {
    AboutBox *box = BoxOf(dlg);
    if (box) {
        DeleteObject(box->font);
        KillTimer(dlg, box->timer);
        if (box->logo) DeleteObject(box->logo);
        SetWindowLongPtrA(dlg, DWLP_USER, 0);
        free(box);
    }
    EndDialog(dlg, 1);
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK AboutProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(dlg)) return FALSE;  // exported: nothing to set up or draw for no dialog
    switch (msg) {
    case WM_INITDIALOG:
        return OnAboutInit(dlg);
    case WM_DRAWITEM:
        if (wParam == IDC_LOGO && ((const DRAWITEMSTRUCT *)lParam)->CtlType == ODT_BUTTON)
            return OnAboutDrawItem(dlg, (const DRAWITEMSTRUCT *)lParam);
        return FALSE;
    case WM_TIMER:
        return OnAboutTick(dlg);
    case WM_COMMAND:
        return LOWORD(wParam) == IDOK ? OnAboutOK(dlg) : FALSE;
    case WM_CLOSE:
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
        return FALSE;
    }
    return FALSE;
}

void OpenAbout(void) { DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(IDD_ABOUT), NULL, AboutProc, 0); }
