// The support log's line for one HTTP exchange: what was asked of which address, and what came
// of it. It names no credential and no token.
#pragma once

#include "net/http_exchange.h"

#include <stdint.h>

// Whether a proxy answered the request: status 407, or a Via header.
bool ExchangeThroughProxy(HINTERNET request, DWORD status);
// Logs the exchange of path on the settings' server: its outcome, the final status (0: none),
// WinINet's error number and name (0: none), the body bytes read, the requests the program sent,
// the time since startTick and whether a proxy answered.
void LogExchange(const ServerSettings& settings, const char* path, bool throughProxy, ExchangeOutcome outcome,
                 DWORD status, DWORD error, DWORD bytes, DWORD requests, DWORD startTick);
// Logs how far the server's clock is from this computer's, offset in 100-ns units (positive:
// the server is ahead), as "server clock 3 h 0 min 2 s ahead of this PC".
void LogServerClock(int64_t offset);
