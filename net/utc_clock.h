// The system clock in UTC, the one time base of the session's expiry: sleep, time-zone and
// daylight-saving changes cannot shift it.
#pragma once

#include <windows.h>
#include <stdint.h>

// Tests put in a fixed clock. Null, as at start: GetSystemTimeAsFileTime.
extern void (WINAPI* g_currentUtcTime)(LPFILETIME now);

// A FILETIME as one count of 100-nanosecond units since 1601-01-01 UTC.
int64_t FileTimeCount(const FILETIME& time);
// The current time as such a count.
int64_t UtcNowCount();
