// rasctl: drives the simulated RAS from the command line (and from scripts
// outside the project, so its interface stays exactly as documented).
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "rassim.h"

namespace {

const char kUsage[] =
    "usage: rasctl reset\n"
    "       rasctl entry add NAME [--no-password] [--speaker on|off] [--compression on|off] [--prefix-suffix]\n"
    "       rasctl entry remove NAME\n"
    "       rasctl connect NAME\n"
    "       rasctl state NAME N\n"
    "       rasctl drop NAME | --all\n"
    "       rasctl dialscript NAME SPEC      (SPEC like 0:200,2:500,5:300,8192 or 0:200,2:500!678)\n"
    "       rasctl fault OP ERROR [--times N] | off  (OP: enum status hangup dial entries dialparams notify)\n"
    "       rasctl notify-handle any|invalid|null\n"
    "       rasctl notify every|once|silent|early\n"
    "       rasctl linger MS\n"
    "       rasctl stale MS\n"
    "       rasctl handles fresh|reuse\n"
    "       rasctl referenced on|off\n"
    "       rasctl errortexts short|long\n"
    "       rasctl flap NAME COUNT [GAP_MS]\n"
    "       rasctl missing FUNCTION|off      (RasConnectionNotificationA, RasGetEntryPropertiesA)\n"
    "       rasctl list\n"
    "       rasctl calls\n"
    "       rasctl dials\n";

int Usage(const char *why) {
    fprintf(stderr, "rasctl: %s\n%s", why, kUsage);
    return 2;
}

int Check(DWORD r, const char *what) {
    if (r == 0) return 0;
    fprintf(stderr, "rasctl: %s failed (error %lu)\n", what, r);
    return 1;
}

bool ParseNumber(const char *text, DWORD *out) {
    char *end;
    if (!*text) return false;
    unsigned long v = strtoul(text, &end, 0);
    if (*end) return false;
    *out = v;
    return true;
}

int PrintReport(DWORD (WINAPI *report)(LPSTR, DWORD)) {
    DWORD need = report(NULL, 0);
    std::string text(need + 1, '\0');
    report(&text[0], (DWORD)text.size());
    fputs(text.c_str(), stdout);
    return 0;
}

bool ParseSwitch(const char *text, BOOL *out) {
    if (strcmp(text, "on") != 0 && strcmp(text, "off") != 0) return false;
    *out = strcmp(text, "on") == 0;
    return true;
}

// entry add NAME [--no-password] [--speaker on|off] [--compression on|off] [--prefix-suffix]
int EntryAdd(int argc, char **argv) {
    BOOL password = TRUE, speaker = TRUE, compression = TRUE, prefixSuffix = FALSE;
    for (int i = 1; i < argc; i++) {
        std::string opt = argv[i];
        if (opt == "--no-password") {
            password = FALSE;
        } else if (opt == "--prefix-suffix") {
            prefixSuffix = TRUE;
        } else if ((opt == "--speaker" || opt == "--compression") && i + 1 < argc &&
                   ParseSwitch(argv[i + 1], opt == "--speaker" ? &speaker : &compression)) {
            i++;
        } else {
            return Usage("bad entry add option");
        }
    }
    if (int r = Check(RasSimAddEntry(argv[0], password), "entry add")) return r;
    return Check(RasSimSetEntryOptions(argv[0], speaker, compression, prefixSuffix), "entry add");
}

// A line that keeps dropping: up and down COUNT times, from this one process.
// Each time up again once RAS has let the last link go (see linger).
int Flap(const char *name, DWORD count, DWORD gapMs) {
    for (DWORD i = 0; i < count; i++) {
        DWORD r, start = GetTickCount();
        while ((r = RasSimSetState(name, 0x2000)) == 602 && GetTickCount() - start < 60000) Sleep(20);
        if (int failed = Check(r, "flap")) return failed;
        if (gapMs) Sleep(gapMs);
        if (int failed = Check(RasSimDrop(name), "flap")) return failed;
        if (gapMs) Sleep(gapMs);
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) return Usage("no command given");
    if (!RasSimIsSimulator()) return Usage("the loaded RASAPI32 is not the simulator");
    std::string cmd = argv[1];
    if (cmd == "reset" && argc == 2) return Check(RasSimReset(), "reset");
    if (cmd == "entry" && argc >= 4) {
        std::string sub = argv[2];
        if (sub == "add") return EntryAdd(argc - 3, argv + 3);
        if (sub == "remove" && argc == 4) return Check(RasSimRemoveEntry(argv[3]), "entry remove");
        return Usage("bad entry command");
    }
    if (cmd == "connect" && argc == 3) return Check(RasSimSetState(argv[2], 0x2000), "connect");
    if (cmd == "state" && argc == 4) {
        DWORD state;
        if (!ParseNumber(argv[3], &state)) return Usage("state must be a number");
        return Check(RasSimSetState(argv[2], state), "state");
    }
    if (cmd == "drop" && argc == 3)
        return Check(RasSimDrop(strcmp(argv[2], "--all") == 0 ? NULL : argv[2]), "drop");
    if (cmd == "dialscript" && argc == 4) return Check(RasSimSetDialScript(argv[2], argv[3]), "dialscript");
    if (cmd == "fault" && (argc == 4 || (argc == 6 && strcmp(argv[4], "--times") == 0))) {
        DWORD error = 0, times = 0;
        if (strcmp(argv[3], "off") != 0 && (!ParseNumber(argv[3], &error) || error == 0))
            return Usage("ERROR must be a non-zero number or off");
        if (argc == 6 && (error == 0 || !ParseNumber(argv[5], &times) || times == 0))
            return Usage("--times takes a non-zero number, with an ERROR");
        return Check(RasSimSetFaultTimes(argv[2], error, times), "fault");
    }
    if (cmd == "notify-handle" && argc == 3) {
        if (strcmp(argv[2], "any") && strcmp(argv[2], "invalid") && strcmp(argv[2], "null"))
            return Usage("notify-handle takes any, invalid or null");
        return Check(RasSimSetNotifyHandle(argv[2]), "notify-handle");
    }
    if (cmd == "notify" && argc == 3) {
        DWORD r = RasSimSetNotifyMode(argv[2]);
        if (r == ERROR_INVALID_PARAMETER) return Usage("notify takes every, once, silent or early");
        return Check(r, "notify");
    }
    if (cmd == "linger" && argc == 3) {
        DWORD ms;
        if (!ParseNumber(argv[2], &ms)) return Usage("linger takes milliseconds");
        return Check(RasSimSetLinger(ms), "linger");
    }
    if (cmd == "stale" && argc == 3) {
        DWORD ms;
        if (!ParseNumber(argv[2], &ms)) return Usage("stale takes milliseconds");
        return Check(RasSimSetStale(ms), "stale");
    }
    if ((cmd == "handles" || cmd == "referenced" || cmd == "errortexts") && argc == 3) {
        DWORD r = RasSimSetMode(argv[1], argv[2]);
        if (r == ERROR_INVALID_PARAMETER) return Usage("handles fresh|reuse, referenced on|off, errortexts short|long");
        return Check(r, argv[1]);
    }
    if (cmd == "flap" && (argc == 4 || argc == 5)) {
        DWORD count, gap = 0;
        if (!ParseNumber(argv[3], &count) || (argc == 5 && !ParseNumber(argv[4], &gap)))
            return Usage("COUNT and GAP_MS must be numbers");
        return Flap(argv[2], count, gap);
    }
    if (cmd == "missing" && argc == 3) return Check(RasSimSetMissing(argv[2]), "missing");
    if (cmd == "list" && argc == 2) return PrintReport(RasSimListConnections);
    if (cmd == "calls" && argc == 2) return PrintReport(RasSimGetCalls);
    if (cmd == "dials" && argc == 2) return PrintReport(RasSimGetDials);
    return Usage("unknown command or wrong number of arguments");
}
