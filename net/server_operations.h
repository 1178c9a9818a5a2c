// The four exchanges with the server. Each holds the session lock for its whole exchange
// and returns a ResultCode.
#pragma once

#include "net/result_code.h"
#include "net/session.h"

// Can the server be reached? Unauthenticated GET of auth-tray.php: 1, 18 when not sent, or
// 2050 when a TLS server's certificate did not verify. Every operation gives 4098 when a proxy
// asks for its own sign-in.
ResultCode checkServer(Session& session);
// Are the stored credentials accepted? 130 on a final 401 or without a password (nothing is
// sent then), else 1.
ResultCode verifyCredentials(Session& session);
// Signs in and stores token and refresh interval: 1, 18 (no answer), 2050 (certificate not
// verified), 34 (refused, or no password: nothing sent), 66, 514 or 0.
ResultCode signIn(Session& session);
// Renews the session with the stored token: 1, 18 (no answer), 2050, 130 (refused, or no
// password: nothing sent), 66, 258, 514 or 0.
ResultCode refreshSession(Session& session);
