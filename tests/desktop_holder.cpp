// Keeps the tests' Wine virtual desktop alive for the whole run. Started by
// scripts/test.sh with no pipes attached; otherwise each test would start
// the desktop afresh, and the desktop process would hold the test's output
// pipe open after the test has finished.
#include <windows.h>

int main() {
    Sleep(INFINITE);
    return 0;
}
