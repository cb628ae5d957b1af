// The online monitor: while any connection is up, one run animates the tray
// icon once a second and brings up the auto-disconnect and reminder prompts
// at the end of each of their periods, counted from the start of the run in
// elapsed time: setting the clock back or forward, or the year 2038, moves
// no prompt.
#include "app.h"
#include "../res/resource.h"
#include "../settings/settings.h"
#include "../uilib/uilib.h"

namespace {

DWORD TickClock(void) { return GetTickCount(); }

// A run's elapsed time: the tick count's steps added up pass by pass, so the
// tick count's own wrap every 49.7 days is only one more step; whole seconds
// (enough for 136 years) and the milliseconds left over.
struct RunClock {
    DWORD lastTicks;
    DWORD seconds;
    DWORD ms;
};

LONGLONG ElapsedSeconds(RunClock *clock) {
    DWORD now = g_pfnMonitorTicks(), step = now - clock->lastTicks;
    clock->lastTicks = now;
    clock->seconds += step / 1000;
    clock->ms += step % 1000;
    if (clock->ms >= 1000) {
        clock->seconds++;
        clock->ms -= 1000;
    }
    return clock->seconds;
}

const char kTipOnline[] = "Connections Active";

void Pause(HANDLE event) {
    if (!event) {
        Sleep(g_monitorPauseMs);
        return;
    }
    WaitForSingleObject(event, g_monitorPauseMs);  // nothing signals it: a timed wait
    ResetEvent(event);
}

const int kPromptLinks = 16;

// A prompt is about the links that were up when it opened. While it is open
// the monitor waits, so its line may go and another come up meanwhile: the
// answer hangs up every link only while one of those is still up, and a
// prompt whose links have all gone ends the run, so that a new line gets a
// run of its own, with its own start. Whether the run's line is gone.
BOOL ShowPrompt(HWND main, int dialog, DLGPROC proc) {
    LinkId links[kPromptLinks];
    int count = ConnectedLinks(links, kPromptLinks);
    BOOL hangUp = DialogBoxParamA(g_hInstance, MAKEINTRESOURCEA(dialog), NULL, proc, 0) == 1;
    // RAS did not answer when it opened: the prompt was about whatever is up.
    LineState line = count < 0 ? LINE_UNKNOWN : count == 0 ? LINE_DOWN : AnyLinkStillUp(links, count);
    if (hangUp && line != LINE_DOWN) SendMessageA(main, MSG_HANGUP_ALL, 0, 0);
    return line == LINE_DOWN;
}

// Period p of a schedule ends p * minutes * 60 seconds into the run (before
// its start for negative minutes: due at every pass). A due check moves on by
// exactly one period, so the schedule never drifts with the time a prompt
// stays open, and one that fell behind catches up a period per pass. Whether
// the run's line went while a prompt was open.
BOOL CheckPrompt(HWND main, LONGLONG elapsed, LONG *nextPeriod, LONG minutes, LONG enabled, int dialog,
                 DLGPROC proc) {
    LONGLONG end = (LONGLONG)*nextPeriod * minutes * 60;
    if (!(end < elapsed)) return FALSE;
    (*nextPeriod)++;
    return enabled && ShowPrompt(main, dialog, proc);
}

void RunPasses(HWND main, HANDLE pause) {
    RunClock clock = {g_pfnMonitorTicks(), 0, 0};
    LONG nextDisconnect = 1, nextRemind = 1;
    int frame = 0;
    // A run ends only when RAS says no line is up: while it does not answer,
    // the reminders and the auto-disconnect must keep coming.
    do {
        SetTrayIcon(main, NIM_MODIFY, LoadAppIcon(IDI_ONLINE + frame), kTipOnline);
        InterlockedExchange(&g_monitorDrewFrame, 1);
        frame = (frame + 1) % 4;
        Pause(pause);
        LONGLONG elapsed = ElapsedSeconds(&clock);
        if (CheckPrompt(main, elapsed, &nextDisconnect, AppSettings.disconnectMinutes, AppSettings.autoDisconnect,
                        IDD_ASK, AskProc) ||
            CheckPrompt(main, elapsed, &nextRemind, AppSettings.remindMinutes, AppSettings.remindOnline, IDD_REMIND,
                        RemindProc))
            return;
    } while (QueryLine() != LINE_DOWN);
}

}  // namespace

LONG monitorRunning;
LONG g_monitorDrewFrame;
MonitorTicksFn g_pfnMonitorTicks = TickClock;
DWORD g_monitorPauseMs = 1000;

DWORD WINAPI OnlineMonitor(LPVOID param) {
    HWND main = (HWND)param;
    // One run at a time: later threads find the flag set and end at once.
    if (InterlockedExchange(&monitorRunning, 1) != 0) return 0;
    for (;;) {
        HANDLE pause = CreateEventA(NULL, TRUE, FALSE, NULL);
        RunPasses(main, pause);
        if (pause) CloseHandle(pause);
        InterlockedExchange(&monitorRunning, 0);
        // A connection that came up after the last check started a monitor
        // that found the flag still set: run again for it. A RAS that does
        // not answer is no proof that the line went: run again for it too.
        if (QueryLine() == LINE_DOWN) break;
        if (InterlockedExchange(&monitorRunning, 1) != 0) return 0;  // and it has its own run
    }
    // The line is down. The last frame may have been drawn just after the
    // main window showed the idle icon; it puts the idle icon back if so.
    SendMessageA(main, MSG_DISCONNECTED, 0, 0);
    return 0;
}

void StartOnlineMonitor(HWND main) {
    HANDLE thread = CreateThread(NULL, 0, OnlineMonitor, main, 0, NULL);
    if (!thread) return;
    SetThreadPriority(thread, THREAD_PRIORITY_LOWEST);
    CloseHandle(thread);
}
