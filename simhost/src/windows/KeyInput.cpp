// Key input on Windows: a scripted key event is typed into the host's window
// as keyboard input (SendInput), so that it passes the system's keyboard
// hooks as it is taken from the window's message queue; the key messages the
// window receives then reach the focus vessel. The window is made when the
// first key is typed: keyboard input goes to the focused window, and only a
// host that types keys may take the focus from the others on the desktop.
#include <cstdio>

#include "World.h"  // Windows' own headers, through the SDK's

namespace simhost {
namespace {

constexpr WORD kAltScanCode = 0x38;
// Messages handled in one pump at most: the loop ends whatever arrives.
constexpr int kMaxMessagesPerPump = 1000;
// How long a new window may take to get the focus.
constexpr DWORD kFocusWaitMilliseconds = 2000;

HWND window = nullptr;
bool windowFailed = false;
bool altDown = false;

LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool IsKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}

bool MakeWindow() {
    if (window != nullptr) return true;
    if (windowFailed) return false;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "simhost";
    RegisterClassA(&windowClass);
    window = CreateWindowExA(0, "simhost", "simhost", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 320, 200, nullptr,
                             nullptr, instance, nullptr);
    if (window == nullptr) {
        windowFailed = true;
        std::fprintf(stderr,
                     "simhost: no window for keyboard input (is there a display?): the scripted keys are not typed\n");
        return false;
    }
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetFocus(window);
    const DWORD start = GetTickCount();
    while (GetForegroundWindow() != window && GetTickCount() - start < kFocusWaitMilliseconds) {
        PumpKeyInput();
        Sleep(5);
    }
    return true;
}

void Send(WORD virtualKey, WORD scanCode, bool down) {
    // A key given by its scan code alone is named by the keyboard layout, as
    // a keyboard's driver names it: typed with KEYEVENTF_SCANCODE, Wine
    // gives it no virtual key (the hooks see 0), and such a message was
    // seen by the hooks but never taken from the queue after an Alt key.
    if (virtualKey == 0) virtualKey = static_cast<WORD>(MapVirtualKeyA(scanCode, MAPVK_VSC_TO_VK));
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = scanCode;
    input.ki.dwFlags = (down ? 0 : KEYEVENTF_KEYUP) | (virtualKey == 0 ? KEYEVENTF_SCANCODE : 0);
    SendInput(1, &input, sizeof input);
}

}  // namespace

void TypeKey(const KeyEvent& key) {
    if (!MakeWindow()) return;
    // "Alt held" is Alt itself held down around the key: pressed before it,
    // released after the key goes up.
    if (key.altHeld != altDown) {
        Send(VK_MENU, kAltScanCode, key.altHeld);
        altDown = key.altHeld;
    }
    Send(static_cast<WORD>(key.virtualKey), static_cast<WORD>(key.scanCode), key.down);
    if (!key.down && altDown) {
        Send(VK_MENU, kAltScanCode, false);
        altDown = false;
    }
    PumpKeyInput();
}

void PumpKeyInput() {
    if (window == nullptr) return;
    MSG message;
    for (int i = 0; i < kMaxMessagesPerPump && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (IsKeyMessage(message.message)) {
            // The system's hooks have seen it by now; one that swallowed it
            // kept it from the queue.
            const DWORD flags = static_cast<DWORD>(message.lParam);
            const DWORD scanCode = (flags >> 16) & 0xFF;
            const bool down = (flags & (1u << 31)) == 0;
            RecordKeyState(scanCode, down);
            DeliverKeyToFocus(scanCode, down);
        } else {
            DispatchMessageA(&message);
        }
    }
}

}  // namespace simhost
