#include "net/utc_clock.h"

void (WINAPI* g_currentUtcTime)(LPFILETIME now);

int64_t FileTimeCount(const FILETIME& time) {
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

int64_t UtcNowCount() {
    FILETIME now = {};
    (g_currentUtcTime ? g_currentUtcTime : GetSystemTimeAsFileTime)(&now);
    return FileTimeCount(now);
}
