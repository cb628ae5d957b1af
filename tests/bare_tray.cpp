// The yardstick of scripts/bench.sh: the least a tray program can be. A
// hidden window, the shell calls Wendle makes at start-up (an icon added,
// then its tip set) and a message loop; nothing else runs.
#include <windows.h>
#include <shellapi.h>

namespace {

const UINT kTrayCallback = WM_APP + 100;

void Tray(HWND hwnd, DWORD op, const char *tip) {
    NOTIFYICONDATAA nid;
    ZeroMemory(&nid, sizeof(nid));
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = hwnd;
    nid.uID = 1;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = kTrayCallback;
    nid.hIcon = LoadIconA(NULL, (LPCSTR)IDI_APPLICATION);
    lstrcpynA(nid.szTip, tip, 64);
    Shell_NotifyIconA(op, &nid);
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CLOSE:
        Tray(hwnd, NIM_DELETE, "");
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.lpszClassName = "BareTray";
    if (!RegisterClassA(&wc)) return 1;
    HWND hwnd = CreateWindowExA(0, "BareTray", "BareTray", 0, 0, 0, 0, 0, NULL, NULL, instance, NULL);
    if (!hwnd) return 1;
    Tray(hwnd, NIM_ADD, "");
    Tray(hwnd, NIM_MODIFY, "No Active Connections");
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
