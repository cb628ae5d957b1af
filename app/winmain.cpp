#include "app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (!StartWendle(instance)) return 0;
    return RunMessageLoop();
}
