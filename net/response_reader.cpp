#include "net/response_reader.h"

#include "storage/scoped_lock.h"
#include "storage/xml_document.h"

#include <stdio.h>
#include <string.h>

#include <string>

void (WINAPI* g_currentUtcTime)(LPFILETIME now) = GetSystemTimeAsFileTime;

namespace {

const size_t kResultValueSize = 256;
const size_t kExpirySize = 4096;
const int64_t kRefreshMarginMs = 5 * 60 * 1000;

int64_t FileTimeCount(const FILETIME& time) {
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

}  // namespace

int64_t expiryToInterval(const char* expiry) {
    int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
    // The count of fields read is deliberately not tested: fields not read stay 0, which
    // makes the date invalid or early, and so the interval negative.
    (void)sscanf(expiry ? expiry : "", "%d %d %d %d:%d:%d", &month, &day, &year, &hour, &minute, &second);
    SYSTEMTIME utc = {};
    utc.wYear = static_cast<WORD>(year);
    utc.wMonth = static_cast<WORD>(month);
    utc.wDay = static_cast<WORD>(day);
    utc.wHour = static_cast<WORD>(hour);
    utc.wMinute = static_cast<WORD>(minute);
    utc.wSecond = static_cast<WORD>(second);
    FILETIME expiryTime = {};
    // Both ends are UTC, so a daylight-saving change before the expiry cannot make the
    // refresh come after the token has run out.
    if (!SystemTimeToFileTime(&utc, &expiryTime)) expiryTime = FILETIME();
    FILETIME now = {};
    g_currentUtcTime(&now);
    int64_t difference = FileTimeCount(expiryTime) - FileTimeCount(now);
    return difference / 10000 - kRefreshMarginMs;
}

bool readToken(IXMLDOMElement* result, Session& session) {
    IXMLDOMElement* token = SelectElement(result, L"token");
    if (!token) return false;
    // A token of the buffer's size or more is unusable rather than cut.
    char value[SessionTokenSize];
    bool stored = false;
    if (ReadAttribute(token, L"value", value, sizeof value) == XmlValue::Read) {
        StoreToken(session, value);
        char expiry[kExpirySize];
        if (ReadAttribute(token, L"gmtexpiration", expiry, sizeof expiry) == XmlValue::Read) {
            StoreRefreshInterval(session, expiryToInterval(expiry));
            stored = true;
        }
    }
    token->Release();
    return stored;
}

bool readErrorDescription(IXMLDOMElement* result, Session& session) {
    IXMLDOMElement* description = SelectElement(result, L"description");
    if (!description) return false;
    std::wstring text;
    bool read = ReadNodeText(description, &text);
    description->Release();
    if (!read) return false;
    std::string narrow = WideToNarrow(text.c_str());
    if (narrow.empty()) return false;
    StoreErrorDescription(session, narrow.c_str());
    return true;
}

ResultCode readServerAnswer(const wchar_t* answer, Session& session) {
    // The operations already hold it; taking it again keeps every write under it for any caller.
    ScopedLock hold(session.lock);
    XmlDocument xml;
    if (!CreateXmlDocument(&xml)) return 0;
    ResultCode code = 0;
    IXMLDOMElement* result = LoadXmlText(xml, answer) ? SelectElement(xml, L"//result") : nullptr;
    char value[kResultValueSize];
    if (result && ReadAttribute(result, L"value", value, sizeof value) == XmlValue::Read) {
        if (strcmp(value, "success") == 0) {
            if (readToken(result, session)) code = Success;
        } else if (strcmp(value, "error") == 0) {
            if (readErrorDescription(result, session)) code = Failure | ServerError;
        }
    }
    if (result) result->Release();
    ReleaseXmlDocument(&xml);
    return code;
}
