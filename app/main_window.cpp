#include "app/main_window.h"

#include "app/app_state.h"
#include "app/platform_calls.h"
#include "app/sign_in_flow.h"
#include "app/tray_icon.h"
#include "app/tray_menu.h"
#include "res/resource.h"
#include "ui/display_scale.h"

enum : DWORD {
    // Overlapped window with caption, system menu, sizing border, minimise and maximise
    // boxes, created minimised; never visible.
    MainWindowStyle = WS_OVERLAPPEDWINDOW | WS_MINIMIZE,
};

HWND CreateMainWindow(HINSTANCE instance) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_TRAY_SIGNED_IN));
    windowClass.hCursor = LoadCursorA(NULL, MAKEINTRESOURCEA(32512));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAIN);
    windowClass.lpszClassName = g_app.className;
    windowClass.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SMALL));
    // A failed registration shows up as a failed creation below.
    (void)RegisterClassExA(&windowClass);

    // A top-level window, not a message-only one: only top-level windows hear the shell's
    // "TaskbarCreated" broadcast.
    g_app.taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    g_app.instance = instance;
    g_app.mainWindow = CreateWindowExA(0, g_app.className, g_app.windowTitle, MainWindowStyle, CW_USEDEFAULT, 0,
                                       CW_USEDEFAULT, 0, NULL, NULL, instance, NULL);
    return g_app.mainWindow;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != 0 && message == g_app.taskbarCreatedMessage) {
        // The shell's notification area was recreated: the icon must be added again.
        AddTrayIcon();
        return 0;
    }
    switch (message) {
    case WM_DESTROY:
        g_app.closing = true;
        (void)g_platform.killTimer(window, IDT_REFRESH);
        (void)g_platform.killTimer(window, IDT_RETRY);
        (void)g_platform.killTimer(window, IDT_TRAY_RETRY);
        RemoveTrayIcon();
        PostQuitMessage(0);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        (void)BeginPaint(window, &paint);
        (void)EndPaint(window, &paint);
        return 0;
    }
    case WM_SHOWWINDOW:
    case WM_ACTIVATEAPP:
        return 0;
    case WM_WINDOWPOSCHANGING: {
        // Whoever asks the window to show itself, it stays hidden.
        WINDOWPOS* position = reinterpret_cast<WINDOWPOS*>(lParam);
        if (position->flags & SWP_SHOWWINDOW) position->flags = 0;
        break;
    }
    case WM_COMMAND:
        if (OnCommand(LOWORD(wParam))) return 0;
        break;
    case WM_TIMER:
        if (wParam == IDT_REFRESH) OnRefreshTick();
        if (wParam == IDT_RETRY) OnRetryTick();
        if (wParam == IDT_TRAY_RETRY) AddTrayIcon();
        return 0;
    case WM_TIMECHANGE:
        OnClockChanged();
        return 0;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) OnWakeUp();
        return TRUE;
    case WM_APP_TRAY:
        return OnTrayMessage(window, wParam, lParam);
    case WM_DPICHANGED:
        // The display scale changed: the tray needs icons of the new small-icon size.
        ChangeTrayDpi(LOWORD(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
