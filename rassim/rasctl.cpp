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
    "       rasctl entry add NAME [--no-password]\n"
    "       rasctl entry remove NAME\n"
    "       rasctl connect NAME\n"
    "       rasctl state NAME N\n"
    "       rasctl drop NAME | --all\n"
    "       rasctl dialscript NAME SPEC      (SPEC like 0:200,2:500,5:300,8192 or 0:200,2:500!678)\n"
    "       rasctl fault OP ERROR|off        (OP: enum status hangup dial entries dialparams)\n"
    "       rasctl missing FUNCTION|off      (RasConnectionNotificationA, RasGetEntryPropertiesA)\n"
    "       rasctl list\n"
    "       rasctl calls\n";

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

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) return Usage("no command given");
    if (!RasSimIsSimulator()) return Usage("the loaded RASAPI32 is not the simulator");
    std::string cmd = argv[1];
    if (cmd == "reset" && argc == 2) return Check(RasSimReset(), "reset");
    if (cmd == "entry" && argc >= 4) {
        std::string sub = argv[2];
        if (sub == "add" && argc == 4) return Check(RasSimAddEntry(argv[3], TRUE), "entry add");
        if (sub == "add" && argc == 5 && strcmp(argv[4], "--no-password") == 0)
            return Check(RasSimAddEntry(argv[3], FALSE), "entry add");
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
    if (cmd == "fault" && argc == 4) {
        DWORD error = 0;
        if (strcmp(argv[3], "off") != 0 && (!ParseNumber(argv[3], &error) || error == 0))
            return Usage("ERROR must be a non-zero number or off");
        return Check(RasSimSetFault(argv[2], error), "fault");
    }
    if (cmd == "missing" && argc == 3) return Check(RasSimSetMissing(argv[2]), "missing");
    if (cmd == "list" && argc == 2) return PrintReport(RasSimListConnections);
    if (cmd == "calls" && argc == 2) return PrintReport(RasSimGetCalls);
    return Usage("unknown command or wrong number of arguments");
}
