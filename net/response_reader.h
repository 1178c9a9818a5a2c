// Reads the server's XML answer to a sign-in or refresh into the session record.
// Callers hold the session lock and have initialised COM on their thread.
#pragma once

#include "net/result_code.h"
#include "net/session.h"

#include <windows.h>
#include <msxml2.h>
#include <stdint.h>

// 1 with token and interval stored, 514 with the error description stored, else 0. The interval
// is worked out on the server's clock: serverClockOffset, as the answer's own Date tells it
// (see Session), or without it the one the session holds.
ResultCode readServerAnswer(const wchar_t* answer, Session& session, const int64_t* serverClockOffset = nullptr);

// Stores the token of a success answer and, when its expiry is readable, the expiry and the
// refresh interval until it from serverNowUtc; true only when all were stored.
bool readToken(IXMLDOMElement* result, Session& session, int64_t serverNowUtc);

// Stores the description of an error answer, in UTF-8; false when it is missing or empty.
bool readErrorDescription(IXMLDOMElement* result, Session& session);

// The instant of the expiry "M D YYYY H:M:S" (UTC) as a count of 100-ns units since 1601;
// 0 for an unreadable date.
int64_t expiryToUtc(const char* expiry);

// Milliseconds from now until five minutes before the expiry "M D YYYY H:M:S" (UTC), or until
// halfway to an expiry less than five minutes ahead; an unreadable date counts as the year
// 1601, so the interval is negative.
int64_t expiryToInterval(const char* expiry);
