#include "net/http_exchange.h"

#include "net/exchange_log.h"
#include "storage/xml_document.h"

#include <string.h>

DWORD g_exchangeTimeoutMs;

namespace {

const char kAgentName[] = "Pagewren";
const DWORD kRefusedStatus = 401;

// Answers are never taken from or left in WinINet's cache, nor cookies kept: they carry the
// session token, which opens the user's pages to whoever finds it. No WinINet box may appear
// from a worker thread.
const DWORD kRequestFlags = INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD |
                            INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
// Over TLS no redirect is followed, so the credentials can never be led to a plain-HTTP
// address. Certificate checks are never relaxed.
const DWORD kSecureRequestFlags = kRequestFlags | INTERNET_FLAG_SECURE | INTERNET_FLAG_NO_AUTO_REDIRECT;

// The send failed because the server's identity could not be established: its certificate
// chain, name, dates or revocation, or the TLS handshake that presents them.
bool IsCertificateFailure(DWORD error) {
    switch (error) {
        case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
        case ERROR_INTERNET_SEC_CERT_CN_INVALID:
        case ERROR_INTERNET_INVALID_CA:
        case ERROR_INTERNET_SEC_CERT_ERRORS:
        case ERROR_INTERNET_SEC_CERT_NO_REV:
        case ERROR_INTERNET_SEC_CERT_REV_FAILED:
        case ERROR_INTERNET_SEC_CERT_REVOKED:
        case ERROR_INTERNET_SEC_INVALID_CERT:
        case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
            return true;
        default:
            return false;
    }
}

// The three handles of one exchange, closed together in reverse order of opening.
struct ExchangeHandles {
    HINTERNET internet = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
};

void CloseHandles(ExchangeHandles* handles) {
    if (handles->request) (void)InternetCloseHandle(handles->request);
    if (handles->connection) (void)InternetCloseHandle(handles->connection);
    if (handles->internet) (void)InternetCloseHandle(handles->internet);
    *handles = ExchangeHandles();
}

// Without these WinINet waits an hour on Windows and for ever under Wine for a server that
// accepts and never answers. Set per request: a session handle's time-outs are not inherited
// everywhere.
bool SetTimeouts(HINTERNET request) {
    DWORD timeout = g_exchangeTimeoutMs ? g_exchangeTimeoutMs : ExchangeTimeoutMs;
    static const DWORD options[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                                    INTERNET_OPTION_RECEIVE_TIMEOUT};
    for (DWORD option : options) {
        if (!InternetSetOptionA(request, option, &timeout, sizeof timeout)) return false;
    }
    return true;
}

bool SetCredentials(HINTERNET request, const ServerSettings& settings) {
    return InternetSetOptionA(request, INTERNET_OPTION_USERNAME, const_cast<char*>(settings.user),
                              static_cast<DWORD>(strlen(settings.user) + 1)) &&
           InternetSetOptionA(request, INTERNET_OPTION_PASSWORD, const_cast<char*>(settings.password),
                              static_cast<DWORD>(strlen(settings.password) + 1));
}

DWORD QueryStatus(HINTERNET request) {
    DWORD status = 0;
    DWORD length = sizeof status;
    // A failed query leaves 0, which is not the refused status.
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr)) {
        status = 0;
    }
    return status;
}

// Appends the body chunk by chunk, each decoded from the system code page up to its first
// zero byte. A failed read ends the body with what came before it.
ExchangeOutcome ReadBody(HINTERNET request, HeapText* body, DWORD* total) {
    HeapText chunk;
    for (;;) {
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0)) return ExchangeOutcome::NoAnswer;
        if (available == 0) break;
        if (available > ExchangeBodyLimit - *total) return ExchangeOutcome::NoAnswer;
        ClearHeapText(&chunk);
        // Zero-filled, so the bytes read are always followed by a terminator.
        char* bytes = AppendRoom(&chunk, available);
        if (!bytes) return ExchangeOutcome::NoAnswer;
        DWORD read = 0;
        if (!InternetReadFile(request, bytes, available, &read)) break;
        if (read == 0) break;
        *total += read;
        if (!NarrowToWide(bytes, body)) return ExchangeOutcome::NoAnswer;
    }
    return ExchangeOutcome::AnswerText;
}

}  // namespace

ExchangeOutcome RunExchange(const ServerSettings& settings, const ExchangeRequest& request, HeapText* body) {
    HeapText answer;
    if (!body) body = &answer;
    ClearHeapText(body);
    HeapText path;
    if (!AppendText(&path, settings.directory) || !AppendText(&path, request.pathTail ? request.pathTail : "")) {
        return ExchangeOutcome::NotSent;
    }

    const DWORD startTick = GetTickCount();
    INTERNET_PORT port = PortFromText(settings.port);
    if (port == 0) port = settings.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    ExchangeHandles handles;
    handles.internet = InternetOpenA(kAgentName, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (handles.internet) {
        handles.connection =
            InternetConnectA(handles.internet, settings.host, port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    }
    if (handles.connection) {
        handles.request = HttpOpenRequestA(handles.connection, "GET", NarrowText(path), nullptr, nullptr, nullptr,
                                           settings.secure ? kSecureRequestFlags : kRequestFlags, 0);
    }
    bool ready = handles.request && SetTimeouts(handles.request) &&
                 (!request.attachCredentials || SetCredentials(handles.request, settings));
    if (!ready || !HttpSendRequestA(handles.request, nullptr, 0, nullptr, 0)) {
        const DWORD error = GetLastError();
        const bool unverified = ready && settings.secure && IsCertificateFailure(error);
        const ExchangeOutcome failed = unverified ? ExchangeOutcome::Unverified : ExchangeOutcome::NotSent;
        LogExchange(settings, NarrowText(path), handles.request, failed, 0, error, 0, startTick);
        CloseHandles(&handles);
        return failed;
    }
    // A connection closed before any status line brought no answer, though some WinINet
    // versions report the send as a success; the status query tells.
    const DWORD status = QueryStatus(handles.request);
    if (status == 0) {
        LogExchange(settings, NarrowText(path), handles.request, ExchangeOutcome::NotSent, 0, GetLastError(), 0,
                    startTick);
        CloseHandles(&handles);
        return ExchangeOutcome::NotSent;
    }
    ExchangeOutcome outcome = ExchangeOutcome::Sent;
    DWORD bytes = 0;
    if (request.queryStatus && status == kRefusedStatus) {
        outcome = ExchangeOutcome::Refused;
    } else if (request.readBody) {
        SetLastError(0);
        outcome = ReadBody(handles.request, body, &bytes);
    }
    LogExchange(settings, NarrowText(path), handles.request, outcome, status,
                outcome == ExchangeOutcome::NoAnswer ? GetLastError() : 0, bytes, startTick);
    CloseHandles(&handles);
    // What a broken answer left behind is dropped.
    if (outcome != ExchangeOutcome::AnswerText) ClearHeapText(body);
    return outcome;
}
