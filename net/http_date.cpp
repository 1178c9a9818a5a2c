#include "net/http_date.h"

#include "net/utc_clock.h"

#include <windows.h>
#include <string.h>

namespace {

const char kDays[] = "SunMonTueWedThuFriSat";
const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";

// The index of the three letters at text in names (a run of three-letter names), or -1.
int NameIndex(const char* text, const char* names) {
    for (int i = 0; names[3 * i]; ++i) {
        if (strncmp(text, names + 3 * i, 3) == 0) return i;
    }
    return -1;
}

// Reads exactly count digits; false when any is not a digit.
bool ReadDigits(const char*& text, int count, int* value) {
    *value = 0;
    for (int i = 0; i < count; ++i, ++text) {
        if (*text < '0' || *text > '9') return false;
        *value = *value * 10 + (*text - '0');
    }
    return true;
}

bool Expect(const char*& text, const char* literal) {
    const size_t length = strlen(literal);
    if (strncmp(text, literal, length) != 0) return false;
    text += length;
    return true;
}

}  // namespace

int64_t HttpDateToUtc(const char* text) {
    if (!text || strlen(text) != 29 || NameIndex(text, kDays) < 0) return 0;
    const char* at = text + 3;
    int day, month, year, hour, minute, second;
    if (!Expect(at, ", ") || !ReadDigits(at, 2, &day) || !Expect(at, " ")) return 0;
    if ((month = NameIndex(at, kMonths)) < 0) return 0;
    at += 3;
    if (!Expect(at, " ") || !ReadDigits(at, 4, &year) || !Expect(at, " ") || !ReadDigits(at, 2, &hour) ||
        !Expect(at, ":") || !ReadDigits(at, 2, &minute) || !Expect(at, ":") || !ReadDigits(at, 2, &second) ||
        !Expect(at, " GMT")) {
        return 0;
    }
    const SYSTEMTIME utc = {static_cast<WORD>(year), static_cast<WORD>(month + 1), 0, static_cast<WORD>(day),
                            static_cast<WORD>(hour), static_cast<WORD>(minute), static_cast<WORD>(second), 0};
    FILETIME time = {};
    // Rejects a day past the month's end, an hour past 23 and the like.
    if (!SystemTimeToFileTime(&utc, &time)) return 0;
    return FileTimeCount(time);
}
