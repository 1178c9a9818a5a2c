// Windows' own prompt for the user name and password of a proxy that asks for a sign-in.
#pragma once

#include <windows.h>

// Asks, on the main thread and owned by owner, for the credentials of the proxy that last asked,
// naming it, with the box to keep them; true when the user gave them, which the exchanges
// that follow then carry. False, and nothing asked, when no proxy asked.
bool PromptProxyLogin(HWND owner);
