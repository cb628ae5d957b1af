// The reminder and auto-disconnect prompts: modal, on the monitor thread,
// answering themselves after 30 seconds.
#include "app.h"
#include "../uilib/uilib.h"

UINT_PTR askTimer;
UINT_PTR remindTimer;
UINT g_promptTimeoutMs = 30000;

namespace {

struct PromptKind {
    UINT_PTR *timer;
    WORD timeoutCommand;  // what silence means
    WORD closeCommand;    // what the close box means
};

// Unanswered, the auto-disconnect prompt hangs up; the reminder does not.
const PromptKind kAsk = {&askTimer, IDOK, IDCANCEL};
const PromptKind kRemind = {&remindTimer, IDCANCEL, IDOK};

INT_PTR OnPromptInit(const PromptKind *kind, HWND dlg) {
    winCenter(dlg);
    SetForegroundWindow(dlg);
    *kind->timer = SetTimer(dlg, 0, g_promptTimeoutMs, NULL);
    return TRUE;
}

INT_PTR OnPromptCommand(const PromptKind *kind, HWND dlg, WORD id) {
    if (id != IDOK && id != IDCANCEL) return FALSE;
    KillTimer(dlg, *kind->timer);
    EndDialog(dlg, id == IDOK ? 1 : 0);
    return FALSE;
}

// Posted, so a command already queued (the close box's own IDCANCEL comes
// after it) cannot overtake the one that decides.
INT_PTR PostCommand(HWND dlg, WORD id) {
    PostMessageA(dlg, WM_COMMAND, id, 0);
    return FALSE;
}

INT_PTR PromptProc(const PromptKind *kind, HWND dlg, UINT msg, WPARAM wParam) {
    // Exported: another module may call it with no dialog at all, and a
    // timer set for no window would outlive the call.
    if (!IsWindow(dlg)) return FALSE;
    switch (msg) {
    case WM_INITDIALOG:
        return OnPromptInit(kind, dlg);
    case WM_TIMER:
        return PostCommand(dlg, kind->timeoutCommand);
    case WM_CLOSE:
        return PostCommand(dlg, kind->closeCommand);
    case WM_COMMAND:
        return OnPromptCommand(kind, dlg, LOWORD(wParam));
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK AskProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) { return PromptProc(&kAsk, dlg, msg, wParam); }

INT_PTR CALLBACK RemindProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
    return PromptProc(&kRemind, dlg, msg, wParam);
}
