#include "net/exchange_log.h"

#include "storage/support_log.h"

namespace {

enum : int { AddressSize = 1024 };

struct ErrorName {
    DWORD error;
    const char* name;
};

// The WinINet errors an exchange meets in the field, by the names support looks them up by.
const ErrorName kErrorNames[] = {
    {ERROR_INTERNET_TIMEOUT, "ERROR_INTERNET_TIMEOUT"},
    {ERROR_INTERNET_NAME_NOT_RESOLVED, "ERROR_INTERNET_NAME_NOT_RESOLVED"},
    {ERROR_INTERNET_CANNOT_CONNECT, "ERROR_INTERNET_CANNOT_CONNECT"},
    {ERROR_INTERNET_CONNECTION_ABORTED, "ERROR_INTERNET_CONNECTION_ABORTED"},
    {ERROR_INTERNET_CONNECTION_RESET, "ERROR_INTERNET_CONNECTION_RESET"},
    {ERROR_HTTP_INVALID_SERVER_RESPONSE, "ERROR_HTTP_INVALID_SERVER_RESPONSE"},
    {ERROR_INTERNET_SEC_CERT_DATE_INVALID, "ERROR_INTERNET_SEC_CERT_DATE_INVALID"},
    {ERROR_INTERNET_SEC_CERT_CN_INVALID, "ERROR_INTERNET_SEC_CERT_CN_INVALID"},
    {ERROR_INTERNET_INVALID_CA, "ERROR_INTERNET_INVALID_CA"},
    {ERROR_INTERNET_SEC_CERT_ERRORS, "ERROR_INTERNET_SEC_CERT_ERRORS"},
    {ERROR_INTERNET_SEC_CERT_NO_REV, "ERROR_INTERNET_SEC_CERT_NO_REV"},
    {ERROR_INTERNET_SEC_CERT_REV_FAILED, "ERROR_INTERNET_SEC_CERT_REV_FAILED"},
    {ERROR_INTERNET_SEC_CERT_REVOKED, "ERROR_INTERNET_SEC_CERT_REVOKED"},
    {ERROR_INTERNET_SEC_INVALID_CERT, "ERROR_INTERNET_SEC_INVALID_CERT"},
    {ERROR_INTERNET_SECURITY_CHANNEL_ERROR, "ERROR_INTERNET_SECURITY_CHANNEL_ERROR"},
    {ERROR_INTERNET_INCORRECT_HANDLE_STATE, "ERROR_INTERNET_INCORRECT_HANDLE_STATE"},
    {ERROR_HTTP_HEADER_NOT_FOUND, "ERROR_HTTP_HEADER_NOT_FOUND"},
    {ERROR_INTERNET_DISCONNECTED, "ERROR_INTERNET_DISCONNECTED"},
};

const char* const kOutcomeNames[] = {"not sent", "unverified", "sent",         "refused",
                                     "no answer", "answer",     "proxy refused", "unanswered"};

const char* ErrorNameOf(DWORD error) {
    if (error == 0) return "none";
    for (const ErrorName& known : kErrorNames)
        if (known.error == error) return known.name;
    return "other";
}

}  // namespace

bool ExchangeThroughProxy(HINTERNET request, DWORD status) {
    if (status == HTTP_STATUS_PROXY_AUTH_REQ) return true;
    // Only whether the header came matters, so a value too long for the buffer counts too.
    char via[2];
    DWORD length = sizeof via;
    if (!request) return false;
    return HttpQueryInfoA(request, HTTP_QUERY_VIA, via, &length, nullptr) || GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

void LogExchange(const ServerSettings& settings, const char* path, bool throughProxy, ExchangeOutcome outcome,
                 DWORD status, DWORD error, DWORD bytes, DWORD requests, DWORD startTick) {
    char address[AddressSize];
    RedactToken(path, address, sizeof address);
    const WORD port = PortInUse(settings.port, settings.secure);
    LogEvent("GET %s://%s:%u%s: %s, status %lu, error %lu %s, %lu bytes, requests %lu, %lu ms, proxy %s",
             settings.secure ? "https" : "http", settings.host, static_cast<unsigned>(port), address,
             kOutcomeNames[static_cast<int>(outcome)], status, error, ErrorNameOf(error), bytes, requests,
             GetTickCount() - startTick, throughProxy ? "yes" : "no");
}

void LogServerClock(int64_t offset) {
    const int64_t kUnitsPerSecond = 10000000;
    const bool ahead = offset >= 0;
    const int64_t seconds = (ahead ? offset : -offset) / kUnitsPerSecond;
    LogEvent("server clock %lu h %lu min %lu s %s of this PC", static_cast<unsigned long>(seconds / 3600),
             static_cast<unsigned long>(seconds / 60 % 60), static_cast<unsigned long>(seconds % 60),
             ahead ? "ahead" : "behind");
}
