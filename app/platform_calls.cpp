#include "app/platform_calls.h"

#include "storage/config_file.h"
#include "ui/proxy_prompt.h"

PlatformCalls RealPlatformCalls() {
    PlatformCalls calls;
    calls.startRequest = StartRequest;
    calls.saveSettings = Save;
    calls.forgetPassword = ForgetPassword;
    calls.dialogBoxParam = DialogBoxParamW;
    calls.shellNotifyIcon = Shell_NotifyIconW;
    calls.setTimer = SetTimer;
    calls.killTimer = KillTimer;
    calls.trackPopupMenuEx = TrackPopupMenuEx;
    calls.promptProxyLogin = PromptProxyLogin;
    calls.tickCount = GetTickCount;
    return calls;
}

PlatformCalls g_platform = RealPlatformCalls();
