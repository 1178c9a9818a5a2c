#include "e2e/fake_tray.h"

#include <shellapi.h>
#include <string.h>

namespace {

const char kTrayClass[] = "Shell_TrayWnd";
HWND g_trayWindow = nullptr;
std::vector<TrayCall> g_calls;
int g_addsToRefuse = 0;
bool g_iconTaken = false;

std::string Narrow(const wchar_t* text, size_t maxChars) {
    size_t length = 0;
    while (length < maxChars && text[length]) ++length;
    char buffer[512] = {};
    int written = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), buffer, sizeof buffer - 1,
                                      nullptr, nullptr);
    return std::string(buffer, written > 0 ? static_cast<size_t>(written) : 0);
}

// Windows sends a signature, the operation and a 32-bit NOTIFYICONDATAW; Wine sends its own
// record (window, id, flags, callback, then the tooltip) with the operation in dwData.
bool DecodeCall(const COPYDATASTRUCT& data, TrayCall* call) {
    const BYTE* bytes = static_cast<const BYTE*>(data.lpData);
    const DWORD kWindowsSignature = 0x34753423;
    if (data.cbData >= 8 + 32 + 256 && *reinterpret_cast<const DWORD*>(bytes) == kWindowsSignature) {
        call->operation = *reinterpret_cast<const DWORD*>(bytes + 4);
        bytes += 8;
        call->callbackMessage = *reinterpret_cast<const UINT*>(bytes + 16);
        call->tip = Narrow(reinterpret_cast<const wchar_t*>(bytes + 24), 128);
        return true;
    }
    if (data.cbData < 16 + 256) return false;
    call->operation = static_cast<DWORD>(data.dwData);
    call->callbackMessage = *reinterpret_cast<const UINT*>(bytes + 12);
    call->tip = Narrow(reinterpret_cast<const wchar_t*>(bytes + 16), 128);
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

std::string CurrentTrayTip() {
    if (g_calls.empty() || g_calls.back().operation == NIM_DELETE) return std::string();
    return g_calls.back().tip;
}

bool TrayIconRemoved() { return g_calls.empty() || g_calls.back().operation == NIM_DELETE; }
