// The proxies that Windows' automatic proxy configuration gives for an address: the
// configuration script named in the user's Internet settings, or one found on the network
// (WPAD), run by WinHTTP's engine as WinINet runs it for its own requests.
#pragma once

#include <windows.h>
#include <stddef.h>

// The proxy list ("host:port; host:port") the automatic configuration answers for url into
// list, each step waiting at most timeoutMs; false when none is configured, it answers DIRECT,
// or WinHTTP is missing (Windows XP before SP1).
bool ProxiesFromAutoConfiguration(const wchar_t* url, DWORD timeoutMs, wchar_t* list, size_t capacity);
