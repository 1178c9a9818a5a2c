#include "ui/ui_platform_calls.h"

UiPlatformCalls RealUiPlatformCalls() {
    UiPlatformCalls calls;
    calls.messageBox = MessageBoxW;
    calls.shellExecute = ShellExecuteA;
    return calls;
}

UiPlatformCalls g_uiPlatform = RealUiPlatformCalls();
