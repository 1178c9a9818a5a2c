#include "app/platform_calls.h"

#include "storage/config_file.h"

PlatformCalls RealPlatformCalls() {
    PlatformCalls calls;
    calls.startRequest = StartRequest;
    calls.saveSettings = Save;
    calls.dialogBoxParam = DialogBoxParamA;
    calls.messageBox = MessageBoxA;
    calls.shellNotifyIcon = Shell_NotifyIconA;
    calls.setTimer = SetTimer;
    calls.killTimer = KillTimer;
    calls.trackPopupMenuEx = TrackPopupMenuEx;
    calls.shellExecute = ShellExecuteA;
    return calls;
}

PlatformCalls g_platform = RealPlatformCalls();
