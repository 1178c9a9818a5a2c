#include "net/http_exchange.h"

#include "net/detached_thread.h"
#include "net/exchange_log.h"
#include "storage/text_encoding.h"

#include <string.h>

#include <new>

DWORD g_exchangeTimeoutMs;
DWORD g_exchangeDeadlineMs;

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
    // Taken by whichever closes it first: the exchange's own thread, or the caller at the deadline.
    HINTERNET volatile request = nullptr;
};

// One exchange, run on a thread of its own and shared with the caller, who waits for it until
// the deadline and then leaves it behind. Whichever of the two lets go last frees it.
struct SharedExchange {
    LONG volatile holders = 2;
    ServerSettings settings;
    HeapText path;  // directory and tail, as the caller's own texts may be gone by the end
    ExchangeRequest request;
    ExchangeHandles handles;
    // Set when the caller left it behind.
    LONG volatile abandoned = 0;
    HANDLE finished = nullptr;
    ExchangeOutcome outcome = ExchangeOutcome::NotSent;
    HeapText body;
    // For the support log: the final status, WinINet's error, the body bytes read and whether a
    // proxy answered.
    DWORD status = 0;
    DWORD error = 0;
    DWORD bytes = 0;
    bool throughProxy = false;
};

void LetGo(SharedExchange* exchange) {
    if (InterlockedDecrement(&exchange->holders) != 0) return;
    if (exchange->finished) (void)CloseHandle(exchange->finished);
    // The copy holds the password; the heap keeps freed blocks as they were.
    SecureZeroMemory(&exchange->settings, sizeof exchange->settings);
    exchange->~SharedExchange();
    (void)HeapFree(GetProcessHeap(), 0, exchange);
}

// The request handle, or null once the caller has left: WinINet may by then have given the
// closed handle's value to another exchange.
HINTERNET Request(const SharedExchange* exchange) { return exchange->abandoned ? nullptr : exchange->handles.request; }

void CloseHandles(ExchangeHandles* handles) {
    HINTERNET request = InterlockedExchangePointer(const_cast<HINTERNET*>(&handles->request), nullptr);
    if (request) (void)InternetCloseHandle(request);
    if (handles->connection) (void)InternetCloseHandle(handles->connection);
    if (handles->internet) (void)InternetCloseHandle(handles->internet);
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

// The answer's Content-Type header, or an empty text without one.
void QueryContentType(HINTERNET request, char* out, DWORD capacity) {
    DWORD length = capacity;
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_TYPE, out, &length, nullptr)) out[0] = '\0';
}

// Collects the body chunk by chunk, then decodes it whole as XML says: its own byte-order
// mark or declaration, the Content-Type's charset, UTF-8, or the system code page. A failed
// read ends the body with what came before it.
ExchangeOutcome ReadBody(SharedExchange* exchange) {
    HeapText chunk;
    HeapText bytes;
    for (;;) {
        DWORD available = 0;
        if (!InternetQueryDataAvailable(Request(exchange), &available, 0, 0)) return ExchangeOutcome::NoAnswer;
        if (available == 0) break;
        if (available > ExchangeBodyLimit - exchange->bytes) return ExchangeOutcome::NoAnswer;
        ClearHeapText(&chunk);
        char* room = AppendRoom(&chunk, available);
        if (!room) return ExchangeOutcome::NoAnswer;
        DWORD read = 0;
        if (!InternetReadFile(Request(exchange), room, available, &read)) break;
        if (read == 0) break;
        exchange->bytes += read;
        if (!AppendBytes(&bytes, room, read)) return ExchangeOutcome::NoAnswer;
    }
    char contentType[256];
    QueryContentType(Request(exchange), contentType, sizeof contentType);
    const UINT codePage = XmlCodePage(bytes.bytes, bytes.length, contentType);
    return BytesToWide(bytes.bytes, bytes.length, codePage, &exchange->body) ? ExchangeOutcome::AnswerText
                                                                             : ExchangeOutcome::NoAnswer;
}

// Open, send, status and body, as the request asks.
ExchangeOutcome RunSteps(SharedExchange* exchange) {
    const ServerSettings& settings = exchange->settings;
    const INTERNET_PORT port = PortInUse(settings.port, settings.secure);
    ExchangeHandles& handles = exchange->handles;
    handles.internet = InternetOpenA(kAgentName, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (handles.internet) {
        handles.connection =
            InternetConnectA(handles.internet, settings.host, port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    }
    if (handles.connection) {
        handles.request = HttpOpenRequestA(handles.connection, "GET", NarrowText(exchange->path), nullptr, nullptr,
                                           nullptr, settings.secure ? kSecureRequestFlags : kRequestFlags, 0);
    }
    bool ready = Request(exchange) && SetTimeouts(Request(exchange)) &&
                 (!exchange->request.attachCredentials || SetCredentials(Request(exchange), settings));
    if (!ready || !HttpSendRequestA(Request(exchange), nullptr, 0, nullptr, 0)) {
        exchange->error = GetLastError();
        return ready && settings.secure && IsCertificateFailure(exchange->error) ? ExchangeOutcome::Unverified
                                                                                 : ExchangeOutcome::NotSent;
    }
    // A connection closed before any status line brought no answer, though some WinINet
    // versions report the send as a success; the status query tells.
    exchange->status = QueryStatus(Request(exchange));
    if (exchange->status == 0) {
        exchange->error = GetLastError();
        return ExchangeOutcome::NotSent;
    }
    exchange->throughProxy = ExchangeThroughProxy(Request(exchange), exchange->status);
    if (exchange->request.queryStatus && exchange->status == kRefusedStatus) return ExchangeOutcome::Refused;
    if (!exchange->request.readBody) return ExchangeOutcome::Sent;
    SetLastError(0);
    const ExchangeOutcome read = ReadBody(exchange);
    if (read == ExchangeOutcome::NoAnswer) exchange->error = GetLastError();
    return read;
}

unsigned __stdcall ExchangeThreadMain(void* argument) {
    SharedExchange* exchange = static_cast<SharedExchange*>(argument);
    exchange->outcome = RunSteps(exchange);
    CloseHandles(&exchange->handles);
    (void)SetEvent(exchange->finished);
    LetGo(exchange);
    return 0;
}

}  // namespace

ExchangeOutcome RunExchange(const ServerSettings& settings, const ExchangeRequest& request, HeapText* body) {
    HeapText answer;
    if (!body) body = &answer;
    ClearHeapText(body);
    const DWORD startTick = GetTickCount();
    void* memory = HeapAlloc(GetProcessHeap(), 0, sizeof(SharedExchange));
    if (!memory) return ExchangeOutcome::NotSent;
    SharedExchange* exchange = new (memory) SharedExchange();
    exchange->settings = settings;
    exchange->request = request;
    exchange->request.pathTail = nullptr;
    exchange->finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const bool ready = exchange->finished && AppendText(&exchange->path, settings.directory) &&
                       AppendText(&exchange->path, request.pathTail ? request.pathTail : "");
    if (!ready || !StartDetachedThread(ExchangeThreadMain, exchange)) {
        // The thread never started, so its hold goes too.
        LetGo(exchange);
        LetGo(exchange);
        return ExchangeOutcome::NotSent;
    }
    ExchangeOutcome outcome = ExchangeOutcome::NotSent;
    if (WaitForSingleObject(exchange->finished, EffectiveExchangeDeadlineMs()) == WAIT_OBJECT_0) {
        outcome = exchange->outcome;
        LogExchange(settings, NarrowText(exchange->path), exchange->throughProxy, outcome, exchange->status,
                    exchange->error, exchange->bytes, startTick);
    } else {
        // Closing the request handle ends a call blocked on it inside WinINet. Wine's WinINet
        // finishes such a call first; the thread then ends unheeded.
        (void)InterlockedExchange(&exchange->abandoned, 1);
        HINTERNET blocked = InterlockedExchangePointer(const_cast<HINTERNET*>(&exchange->handles.request), nullptr);
        if (blocked) (void)InternetCloseHandle(blocked);
        // The deadline is told as WinINet's own time-out.
        LogExchange(settings, NarrowText(exchange->path), false, outcome, 0, ERROR_INTERNET_TIMEOUT, 0, startTick);
    }
    // Only a whole answer is handed on.
    if (outcome == ExchangeOutcome::AnswerText &&
        !AppendBytes(body, exchange->body.bytes, exchange->body.length)) {
        outcome = ExchangeOutcome::NoAnswer;
    }
    LetGo(exchange);
    return outcome;
}

DWORD EffectiveExchangeDeadlineMs() { return g_exchangeDeadlineMs ? g_exchangeDeadlineMs : ExchangeDeadlineMs; }
