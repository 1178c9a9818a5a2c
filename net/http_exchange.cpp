#include "net/http_exchange.h"

#include "net/basic_auth.h"
#include "net/detached_thread.h"
#include "net/exchange_log.h"
#include "net/http_date.h"
#include "net/proxy_login.h"
#include "net/session.h"
#include "net/utc_clock.h"
#include "storage/text_encoding.h"

#include <string.h>

#include <new>

DWORD g_exchangeTimeoutMs;
DWORD g_exchangeDeadlineMs;

namespace {

const char kAgentName[] = "Pagewren";
const DWORD kRefusedStatus = 401;
// The most WWW-Authenticate headers of one answer that are looked at.
const DWORD kMostChallenges = 16;
// A 401's body is read and dropped before the credentials go out on the same handle; a longer
// one leaves the 401 as the answer.
const DWORD kChallengeBodyLimit = 64 * 1024;

// Answers are never taken from or left in WinINet's cache, nor cookies kept: they carry the
// session token, which opens the user's pages to whoever finds it. No WinINet box may appear
// from a worker thread.
const DWORD kRequestFlags = INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD |
                            INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI;
// Over TLS no redirect is followed, so the credentials can never be led to a plain-HTTP
// address. Certificate checks are never relaxed.
const DWORD kSecureRequestFlags = kRequestFlags | INTERNET_FLAG_SECURE | INTERNET_FLAG_NO_AUTO_REDIRECT;
// A request with credentials follows no redirect either: the Authorization header the program
// adds would go along to any origin.
const DWORD kCredentialFlags = INTERNET_FLAG_NO_AUTO_REDIRECT;
// The program answers a Basic challenge itself, so WinINet must add no authentication of its own.
const DWORD kOwnBasicFlags = kCredentialFlags | INTERNET_FLAG_NO_AUTH;

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
    // How many times the request was sent by the program.
    DWORD sends = 0;
    // The proxy in force and the credentials the requests carry for it.
    ProxyLogin proxy = {};
    // The server's Date and this computer's clock when it came, both UTC; 0 without one.
    int64_t serverDate = 0;
    int64_t dateReadAt = 0;
};

void LetGo(SharedExchange* exchange) {
    if (InterlockedDecrement(&exchange->holders) != 0) return;
    if (exchange->finished) (void)CloseHandle(exchange->finished);
    // The copy holds the password; the heap keeps freed blocks as they were.
    SecureZeroMemory(&exchange->settings, sizeof exchange->settings);
    SecureZeroMemory(&exchange->proxy, sizeof exchange->proxy);
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

// Hands the UTF-8 user and password to WinINet as UTF-16, so that no character is lost to the
// code page on the way.
bool SetCredentials(HINTERNET request, const ServerSettings& settings) {
    wchar_t user[SettingsTextSize];
    wchar_t password[SettingsTextSize];
    const bool set =
        TextToWideBuffer(settings.user, CP_UTF8, user, SettingsTextSize) &&
        TextToWideBuffer(settings.password, CP_UTF8, password, SettingsTextSize) &&
        InternetSetOptionW(request, INTERNET_OPTION_USERNAME, user, static_cast<DWORD>(lstrlenW(user) + 1)) &&
        InternetSetOptionW(request, INTERNET_OPTION_PASSWORD, password, static_cast<DWORD>(lstrlenW(password) + 1));
    SecureZeroMemory(password, sizeof password);
    return set;
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

// The answer's Date header as a UTC count (see utc_clock.h); 0 when it is missing or not a
// valid date. Read as text: WinINet's own parsing takes some malformed dates for real ones, and
// under Wine loops on others.
int64_t QueryServerDate(HINTERNET request) {
    char date[64];
    DWORD length = sizeof date;
    if (!HttpQueryInfoA(request, HTTP_QUERY_DATE, date, &length, nullptr)) return 0;
    return HttpDateToUtc(date);
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

// What the WWW-Authenticate headers of a 401 offer, by the first token of each.
enum class Challenge { None, Basic, Other };

bool IsBasicChallenge(const char* value) {
    static const char kScheme[] = "basic";
    while (*value == ' ' || *value == '\t') ++value;
    for (size_t i = 0; i + 1 < sizeof kScheme; ++i) {
        if ((value[i] | 0x20) != kScheme[i]) return false;
    }
    const char after = value[sizeof kScheme - 1];
    return after == '\0' || after == ' ' || after == '\t' || after == ',';
}

// Basic only when every challenge is Basic: beside another scheme WinINet picks the stronger.
// A challenge too long to read here is no plain Basic one.
Challenge ReadChallenge(HINTERNET request) {
    Challenge offered = Challenge::None;
    for (DWORD i = 0; i < kMostChallenges; ++i) {
        char value[1024];
        DWORD length = sizeof value;
        DWORD index = i;
        if (!HttpQueryInfoA(request, HTTP_QUERY_WWW_AUTHENTICATE, value, &length, &index)) {
            if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) return Challenge::Other;
            break;
        }
        if (!IsBasicChallenge(value)) return Challenge::Other;
        offered = Challenge::Basic;
    }
    return offered;
}

// Opens a request handle on the connection in place of any earlier one, with its time-outs.
bool OpenRequest(SharedExchange* exchange, DWORD extraFlags) {
    DWORD flags = (exchange->settings.secure ? kSecureRequestFlags : kRequestFlags) | extraFlags;
    // WinINet answers the proxy's challenge only on a request that lets it authenticate.
    if (exchange->proxy.held) flags &= ~DWORD(INTERNET_FLAG_NO_AUTH);
    HINTERNET fresh = HttpOpenRequestA(exchange->handles.connection, "GET", NarrowText(exchange->path), nullptr,
                                       nullptr, nullptr, flags, 0);
    if (fresh) {
        HINTERNET earlier = InterlockedExchangePointer(const_cast<HINTERNET*>(&exchange->handles.request), fresh);
        if (earlier) (void)InternetCloseHandle(earlier);
    }
    if (fresh && Request(exchange) && SetTimeouts(Request(exchange)) &&
        SetProxyLogin(Request(exchange), exchange->proxy)) {
        return true;
    }
    exchange->error = GetLastError();
    return false;
}

// Sends the request and reads the status; false, with WinINet's error, when no status came.
bool SendForStatus(SharedExchange* exchange) {
    ++exchange->sends;
    exchange->status = 0;
    // A connection closed before any status line brought no answer, though some WinINet
    // versions report the send as a success; the status query tells.
    if (HttpSendRequestA(Request(exchange), nullptr, 0, nullptr, 0)) exchange->status = QueryStatus(Request(exchange));
    if (exchange->status == 0) {
        exchange->error = GetLastError();
        return false;
    }
    const int64_t date = QueryServerDate(Request(exchange));
    if (date != 0) {
        exchange->serverDate = date;
        exchange->dateReadAt = UtcNowCount();
    }
    return true;
}

// Reads and drops a 401's body, so that the handle can send again on its connection. False when
// it is longer than the bound, or, with WinINet's error, when it cannot be read.
bool DrainBody(SharedExchange* exchange) {
    char chunk[1024];
    for (DWORD total = 0; total <= kChallengeBodyLimit;) {
        DWORD read = 0;
        if (!InternetReadFile(Request(exchange), chunk, sizeof chunk, &read)) {
            exchange->error = GetLastError();
            return false;
        }
        if (read == 0) return true;
        total += read;
    }
    return false;
}

bool AddHeader(SharedExchange* exchange, const char* header) {
    if (HttpAddRequestHeadersA(Request(exchange), header, static_cast<DWORD>(strlen(header)),
                               HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE)) {
        return true;
    }
    exchange->error = GetLastError();
    return false;
}

// Leaves the challenge to WinINet: a fresh request, which WinINet sends without and then with the
// credentials set as options.
bool SendThroughWinInet(SharedExchange* exchange) {
    if (!OpenRequest(exchange, kCredentialFlags)) return false;
    if (SetCredentials(Request(exchange), exchange->settings)) return SendForStatus(exchange);
    exchange->error = GetLastError();
    return false;
}

// Sends with the credentials and reads the final status. A Basic challenge is answered with the
// header written here, in UTF-8, and in the code page where UTF-8 was refused and the origin has
// taken no form yet; an origin that asked for Basic before gets the header from the start.
// Another scheme is left to WinINet. A proxy's challenge ends the exchange: the server's
// credentials never go to a proxy. header is room for the header line.
bool SendWithBasic(SharedExchange* exchange, char* header, size_t capacity) {
    const ServerSettings& settings = exchange->settings;
    OriginAuth known = RecallOrigin(settings);
    if (known == OriginAuth::ByWinInet) return SendThroughWinInet(exchange);
    BasicForm form = known == OriginAuth::BasicCodePage ? BasicForm::CodePage : BasicForm::Utf8;
    bool withHeader = known != OriginAuth::Unknown && BuildBasicHeader(settings, form, header, capacity);
    if (!OpenRequest(exchange, kOwnBasicFlags) || (withHeader && !AddHeader(exchange, header)) ||
        !SendForStatus(exchange)) {
        return false;
    }
    while (exchange->status == kRefusedStatus) {
        const Challenge challenge = ReadChallenge(Request(exchange));
        if (challenge == Challenge::Other) {
            RememberOrigin(settings, OriginAuth::ByWinInet);
            return SendThroughWinInet(exchange);
        }
        if (challenge == Challenge::None) return true;
        if (known == OriginAuth::Unknown) RememberOrigin(settings, known = OriginAuth::Basic);
        if (withHeader) {
            // The other form is tried once, and only while the origin has taken neither.
            if (form == BasicForm::CodePage || known != OriginAuth::Basic || !CredentialsBeyondAscii(settings)) {
                return true;
            }
            form = BasicForm::CodePage;
        }
        withHeader = true;
        if (!BuildBasicHeader(settings, form, header, capacity)) return true;
        if (!DrainBody(exchange)) return exchange->error == 0;
        if (!AddHeader(exchange, header) || !SendForStatus(exchange)) return false;
    }
    if (withHeader && CredentialsBeyondAscii(settings)) {
        RememberOrigin(settings, form == BasicForm::Utf8 ? OriginAuth::BasicUtf8 : OriginAuth::BasicCodePage);
    }
    return true;
}

// The header holds the password; it lives on this thread only and is wiped when sent.
bool SendWithCredentials(SharedExchange* exchange) {
    char header[BasicHeaderSize];
    const bool answered = SendWithBasic(exchange, header, sizeof header);
    SecureZeroMemory(header, sizeof header);
    return answered;
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
    if (!handles.connection) exchange->error = GetLastError();
    FindProxyLogin(handles.internet, settings.secure, &exchange->proxy);
    const bool answered = handles.connection && (exchange->request.attachCredentials
                                                     ? SendWithCredentials(exchange)
                                                     : OpenRequest(exchange, 0) && SendForStatus(exchange));
    if (!answered) {
        return settings.secure && IsCertificateFailure(exchange->error) ? ExchangeOutcome::Unverified
                                                                        : ExchangeOutcome::NotSent;
    }
    exchange->throughProxy = ExchangeThroughProxy(Request(exchange), exchange->status);
    SettleProxyLogin(Request(exchange), exchange->status, exchange->proxy);
    if (exchange->status == HTTP_STATUS_PROXY_AUTH_REQ) return ExchangeOutcome::ProxyRefused;
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
        // The token's expiry is on the server's clock, which the user's may miss by hours.
        if (exchange->serverDate != 0 &&
            StoreServerClockOffset(g_session, exchange->serverDate - exchange->dateReadAt)) {
            LogServerClock(exchange->serverDate - exchange->dateReadAt);
        }
        LogExchange(settings, NarrowText(exchange->path), exchange->throughProxy, outcome, exchange->status,
                    exchange->error, exchange->bytes, exchange->sends, startTick);
    } else {
        // Closing the request handle ends a call blocked on it inside WinINet. Wine's WinINet
        // finishes such a call first; the thread then ends unheeded.
        (void)InterlockedExchange(&exchange->abandoned, 1);
        HINTERNET blocked = InterlockedExchangePointer(const_cast<HINTERNET*>(&exchange->handles.request), nullptr);
        if (blocked) (void)InternetCloseHandle(blocked);
        // The deadline is told as WinINet's own time-out.
        LogExchange(settings, NarrowText(exchange->path), false, outcome, 0, ERROR_INTERNET_TIMEOUT, 0,
                    exchange->sends, startTick);
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
