#include "e2e/fake_tray.h"

#include "storage/text_encoding.h"

#include <shellapi.h>

namespace {

const char kTrayClass[] = "Shell_TrayWnd";
HWND g_trayWindow = nullptr;
std::vector<TrayCall> g_calls;
int g_addsToRefuse = 0;
bool g_iconTaken = false;

// A text field of maxChars UTF-16 characters, which need not end in a zero, as UTF-8.
std::string Narrow(const BYTE* bytes, size_t maxChars) {
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes), maxChars);
    char utf8[1024];
    (void)WideToUtf8Buffer(text.c_str(), utf8, sizeof utf8);
    return utf8;
}

// Windows sends a signature, the operation and a 32-bit NOTIFYICONDATAW; Wine sends its own
// record (the same fields without cbSize and hIcon) with the operation in dwData.
bool DecodeCall(const COPYDATASTRUCT& data, TrayCall* call) {
    const BYTE* bytes = static_cast<const BYTE*>(data.lpData);
    const DWORD kWindowsSignature = 0x34753423;
    const bool windows = data.cbData >= 8 + 32 + 256 && *reinterpret_cast<const DWORD*>(bytes) == kWindowsSignature;
    if (!windows && data.cbData < 16 + 256) return false;
    auto word = [&](size_t at) { return *reinterpret_cast<const UINT*>(bytes + at); };
    call->operation = windows ? word(4) : static_cast<DWORD>(data.dwData);
    if (windows) bytes += 12;
    const size_t icon = windows ? 4 : 0, size = windows ? data.cbData - 12 : data.cbData;
    call->flags = word(8);
    call->callbackMessage = word(12);
    call->tip = Narrow(bytes + 16 + icon, 128);
    if (size < 928 + icon) return true;
    call->info = Narrow(bytes + 280 + icon, 256);
    call->version = word(792 + icon);
    return true;
}

LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        TrayCall call = {};
        if (!DecodeCall(*reinterpret_cast<const COPYDATASTRUCT*>(lParam), &call)) return FALSE;
        if (call.operation == NIM_ADD) {
            call.accepted = g_addsToRefuse == 0;
            if (!call.accepted) --g_addsToRefuse;
            g_iconTaken = g_iconTaken || call.accepted;
        } else {
            call.accepted = call.operation != NIM_MODIFY || g_iconTaken;
        }
        g_calls.push_back(call);
        return call.accepted;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool StartFakeTray() {
    if (g_trayWindow) return true;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = TrayWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kTrayClass;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    // Topmost, so that the shell's lookup of the tray window finds this one before the real one.
    g_trayWindow = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kTrayClass, "", WS_POPUP, 0, 0, 1, 1,
                                   nullptr, nullptr, windowClass.hInstance, nullptr);
    return g_trayWindow != nullptr && FindWindowExA(nullptr, nullptr, kTrayClass, nullptr) == g_trayWindow;
}

void StopFakeTray() {
    if (g_trayWindow) (void)DestroyWindow(g_trayWindow);
    g_trayWindow = nullptr;
    g_calls.clear();
    g_addsToRefuse = 0;
    g_iconTaken = false;
}

void RefuseTrayAdds(int count) { g_addsToRefuse = count; }

const std::vector<TrayCall>& TrayCalls() { return g_calls; }

// The last call that matches, or an empty one.
static TrayCall LastCall(bool (*matches)(const TrayCall&)) {
    for (auto call = g_calls.rbegin(); call != g_calls.rend(); ++call)
        if (matches(*call)) return *call;
    return TrayCall();
}

std::string CurrentTrayTip() {
    return TrayIconRemoved() ? std::string() : LastCall([](const TrayCall& c) { return (c.flags & NIF_TIP) != 0; }).tip;
}

TrayCall LastNotification() { return LastCall([](const TrayCall& c) { return (c.flags & NIF_INFO) != 0; }); }

void PostTrayEvent(HWND main, UINT event) {
    // Version 4 gives the event and the icon in lParam; the older layouts the icon in wParam.
    const bool version4 = LastCall([](const TrayCall& c) { return c.operation == NIM_SETVERSION && c.accepted; }).version >= 4;
    (void)PostMessageA(main, WM_USER + 100, version4 ? 0 : 100, version4 ? MAKELPARAM(event, 100) : event);
}

bool TrayIconRemoved() { return g_calls.empty() || g_calls.back().operation == NIM_DELETE; }
