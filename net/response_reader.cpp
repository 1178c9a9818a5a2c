#include "net/response_reader.h"

#include "net/utc_clock.h"
#include "storage/scoped_lock.h"
#include "storage/xml_document.h"

#include <string.h>

namespace {

const size_t kResultValueSize = 256;
const size_t kExpirySize = 4096;
const int64_t kRefreshMarginMs = 5 * 60 * 1000;

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Reads "M D YYYY H:M:S" as scanf reads "%d %d %d %d:%d:%d": white space before each number
// is skipped, each ":" must come at once, and reading stops at the first mismatch.
void ReadExpiryFields(const char* text, int fields[6]) {
    for (int i = 0; i < 6; ++i) {
        if (i >= 4 && *text++ != ':') return;
        while (IsSpace(*text)) ++text;
        bool negative = *text == '-';
        if (*text == '-' || *text == '+') ++text;
        if (*text < '0' || *text > '9') return;
        // Only the low 16 bits are used, so wrapping around is harmless.
        unsigned value = 0;
        for (; *text >= '0' && *text <= '9'; ++text) value = value * 10 + static_cast<unsigned>(*text - '0');
        fields[i] = static_cast<int>(negative ? 0u - value : value);
    }
}

// Milliseconds from nowUtc until five minutes before the expiry instant expiryUtc. A token
// that holds for less than that is refreshed halfway to its end; only one already past gives
// no positive interval.
int64_t intervalUntil(int64_t expiryUtc, int64_t nowUtc) {
    const int64_t remainingMs = (expiryUtc - nowUtc) / 10000;
    if (remainingMs > kRefreshMarginMs) return remainingMs - kRefreshMarginMs;
    return remainingMs > 0 ? (remainingMs + 1) / 2 : remainingMs - kRefreshMarginMs;
}

}  // namespace

int64_t expiryToUtc(const char* expiry) {
    // Fields not read stay 0, which makes the date invalid or early, and so the interval negative.
    int fields[6] = {};
    ReadExpiryFields(expiry ? expiry : "", fields);
    SYSTEMTIME utc = {};
    utc.wMonth = static_cast<WORD>(fields[0]);
    utc.wDay = static_cast<WORD>(fields[1]);
    utc.wYear = static_cast<WORD>(fields[2]);
    utc.wHour = static_cast<WORD>(fields[3]);
    utc.wMinute = static_cast<WORD>(fields[4]);
    utc.wSecond = static_cast<WORD>(fields[5]);
    FILETIME expiryTime = {};
    if (!SystemTimeToFileTime(&utc, &expiryTime)) return 0;
    return FileTimeCount(expiryTime);
}

int64_t expiryToInterval(const char* expiry) {
    // Both ends are UTC, so a daylight-saving change before the expiry cannot make the
    // refresh come after the token has run out.
    return intervalUntil(expiryToUtc(expiry), UtcNowCount());
}

bool readToken(IXMLDOMElement* result, Session& session, int64_t serverNowUtc) {
    IXMLDOMElement* token = SelectElement(result, L"token");
    if (!token) return false;
    // A token of the buffer's size or more is unusable rather than cut.
    char value[SessionTokenSize];
    bool stored = false;
    if (ReadAttribute(token, L"value", value, sizeof value) == XmlValue::Read) {
        StoreToken(session, value);
        char expiry[kExpirySize];
        if (ReadAttribute(token, L"gmtexpiration", expiry, sizeof expiry) == XmlValue::Read) {
            const int64_t expiryUtc = expiryToUtc(expiry);
            // The expiry is on the server's clock.
            StoreExpiry(session, expiryUtc, intervalUntil(expiryUtc, serverNowUtc));
            stored = true;
        }
    }
    token->Release();
    return stored;
}

bool readErrorDescription(IXMLDOMElement* result, Session& session) {
    IXMLDOMElement* description = SelectElement(result, L"description");
    if (!description) return false;
    HeapText text;
    bool read = ReadNodeText(description, CP_UTF8, &text);
    description->Release();
    if (!read || text.length == 0) return false;
    StoreErrorDescription(session, NarrowText(text));
    return true;
}

ResultCode readServerAnswer(const wchar_t* answer, Session& session, const int64_t* serverClockOffset) {
    // The operations already hold it; taking it again keeps every write under it for any caller.
    ScopedLock hold(session.lock);
    XmlDocument xml;
    if (!CreateXmlDocument(&xml)) return 0;
    ResultCode code = 0;
    IXMLDOMElement* result = LoadXmlText(xml, answer) ? SelectElement(xml, L"//result") : nullptr;
    char value[kResultValueSize];
    if (result && ReadAttribute(result, L"value", value, sizeof value) == XmlValue::Read) {
        if (strcmp(value, "success") == 0) {
            const int64_t serverNow = serverClockOffset ? UtcNowCount() + *serverClockOffset : ServerNowUtc(session);
            if (readToken(result, session, serverNow)) code = Success;
        } else if (strcmp(value, "error") == 0) {
            if (readErrorDescription(result, session)) code = Failure | ServerError;
        }
    }
    if (result) result->Release();
    ReleaseXmlDocument(&xml);
    return code;
}
