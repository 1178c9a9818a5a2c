#include "net/http_exchange.h"

#include "net/basic_auth.h"
#include "net/challenge_table.h"
#include "net/detached_thread.h"
#include "net/exchange_log.h"
#include "net/http_date.h"
#include "net/proxy_login.h"
#include "net/utc_clock.h"
#include "storage/text_encoding.h"

#include <string.h>

#include <new>

DWORD g_exchangeTimeoutMs;
DWORD g_exchangeDeadlineMs;

namespace {

const char kAgentName[] = "Pagewren";
const DWORD kRefusedStatus = 401;
// The most sends of one exchange that carry the password, whatever the server answers: a wrong
// password sent again and again counts towards the server's lockout.
const DWORD kMostCredentialSends = 2;
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

// The three handles of one exchange, closed together in reverse order of opening. Taken by
// whichever closes them first: the exchange's own thread, or the caller at the deadline.
struct ExchangeHandles {
    HINTERNET internet = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
};

// One exchange, run on a thread of its own and shared with the caller, who waits for it until
// the deadline and then leaves it behind. Whichever of the two lets go last frees it.
struct SharedExchange {
    LONG volatile holders = 2;
    ServerSettings settings;
    HeapText path;  // directory and tail, as the caller's own texts may be gone by the end
    ExchangeRequest request;
    // A spin lock of Interlocked operations over handles and abandoned, so that the exchange's
    // thread never takes a handle that the caller has closed (see Take).
    LONG volatile gate = 0;
    ExchangeHandles handles;
    // Set when the caller left it behind.
    bool abandoned = false;
    HANDLE finished = nullptr;
    ExchangeOutcome outcome = ExchangeOutcome::NotSent;
    HeapText body;
    // For the support log: the final status, WinINet's error, the body bytes read and whether a
    // proxy answered.
    DWORD status = 0;
    DWORD error = 0;
    DWORD bytes = 0;
    bool throughProxy = false;
    // How many times the request was sent by the program, and how many of those carried the
    // password.
    DWORD sends = 0;
    DWORD credentialSends = 0;
    // Set before the first send that carries the password; the caller reads it at the deadline.
    LONG volatile passwordOut = 0;
    // The form of non-ASCII credentials that a final status other than 2xx left unconfirmed.
    OriginAuth unconfirmed = OriginAuth::Unknown;
    // The proxy in force and the credentials the requests carry for it.
    ProxyLogin proxy = {};
    // The flags the request was last opened with.
    DWORD openFlags = 0;
    // What the final answer's and the latest 401's Date said of the server's clock.
    ExchangeClock clock = {};
};

// The exchange of each kind that its caller left behind and that may still run, or null. Only
// RunExchange touches it, under the session lock. Zero at start, as the image has no
// initialised writable data.
SharedExchange* g_abandoned[ExchangeKinds];

void LetGo(SharedExchange* exchange) {
    if (InterlockedDecrement(&exchange->holders) != 0) return;
    if (exchange->finished) (void)CloseHandle(exchange->finished);
    // The copy holds the password; the heap keeps freed blocks as they were.
    SecureZeroMemory(&exchange->settings, sizeof exchange->settings);
    SecureZeroMemory(&exchange->proxy, sizeof exchange->proxy);
    exchange->~SharedExchange();
    (void)HeapFree(GetProcessHeap(), 0, exchange);
}

void EnterGate(SharedExchange* exchange) {
    while (InterlockedCompareExchange(&exchange->gate, 1, 0) != 0) (void)SwitchToThread();
}

void LeaveGate(SharedExchange* exchange) { (void)InterlockedExchange(&exchange->gate, 0); }

// One of the exchange's handles for the next WinINet call, or null once the caller has left:
// WinINet may by then have given the closed handle's value to another exchange. The look at
// abandoned and the taking of the value are one step, as the caller's setting of the one and
// taking of all handles is, so a value taken here was open when taken. What remains is the
// instant between this and WinINet's own look-up of the value as the call starts: a close
// then makes the call fail on a handle that is gone, unless another exchange opened one of
// the same value meanwhile, which would take the caller's return, the session lock passing on
// and a whole InternetOpenA of the next exchange within that instant.
HINTERNET Take(SharedExchange* exchange, HINTERNET ExchangeHandles::*which) {
    EnterGate(exchange);
    HINTERNET handle = exchange->abandoned ? nullptr : exchange->handles.*which;
    LeaveGate(exchange);
    return handle;
}

HINTERNET Request(SharedExchange* exchange) { return Take(exchange, &ExchangeHandles::request); }

// Puts a handle just opened in its place, closing any earlier one there; false, with the new
// handle closed, once the caller has left.
bool Keep(SharedExchange* exchange, HINTERNET ExchangeHandles::*which, HINTERNET fresh) {
    EnterGate(exchange);
    const bool kept = !exchange->abandoned;
    HINTERNET earlier = kept ? exchange->handles.*which : fresh;
    if (kept) exchange->handles.*which = fresh;
    LeaveGate(exchange);
    if (earlier) (void)InternetCloseHandle(earlier);
    return kept;
}

// Takes every handle out of the exchange and closes them, request first; abandon marks the
// exchange left behind in the same step.
void CloseHandles(SharedExchange* exchange, bool abandon) {
    EnterGate(exchange);
    if (abandon) exchange->abandoned = true;
    const ExchangeHandles handles = exchange->handles;
    exchange->handles = ExchangeHandles();
    LeaveGate(exchange);
    const HINTERNET order[] = {handles.request, handles.connection, handles.internet};
    for (HINTERNET handle : order)
        if (handle) (void)InternetCloseHandle(handle);
}

// Counts one more send that carries the password; false when the exchange has sent it as often
// as it may.
bool MaySendCredentials(SharedExchange* exchange) { return ++exchange->credentialSends <= kMostCredentialSends; }

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
        if (RuleForChallenge(ChallengeFrom::Server, value).answerer != Answerer::Program) return Challenge::Other;
        offered = Challenge::Basic;
    }
    return offered;
}

// Opens a request handle on the connection in place of any earlier one, with its time-outs.
bool OpenRequest(SharedExchange* exchange, DWORD extraFlags) {
    DWORD flags = (exchange->settings.secure ? kSecureRequestFlags : kRequestFlags) | extraFlags;
    // WinINet answers the proxy's challenge only on a request that lets it authenticate. The
    // server's Basic challenge stays the program's even then: WinINet holds no credentials of
    // the server's on such a request, so it hands the 401 back.
    if (exchange->proxy.held || exchange->proxy.windowsLogon) flags &= ~DWORD(INTERNET_FLAG_NO_AUTH);
    exchange->openFlags = flags;
    HINTERNET connection = Take(exchange, &ExchangeHandles::connection);
    HINTERNET fresh =
        connection ? HttpOpenRequestA(connection, "GET", NarrowText(exchange->path), nullptr, nullptr, nullptr, flags, 0)
                   : nullptr;
    if (fresh && Keep(exchange, &ExchangeHandles::request, fresh) && SetTimeouts(Request(exchange)) &&
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
    // A proxy's 407 says nothing of the server's clock; a 401 is the server's own challenge.
    const int64_t date = exchange->status == HTTP_STATUS_PROXY_AUTH_REQ ? 0 : QueryServerDate(Request(exchange));
    const int64_t offset = date - UtcNowCount();
    exchange->clock.answerOffset = offset;
    exchange->clock.answerDated = date != 0;
    if (date != 0 && exchange->status == kRefusedStatus) {
        exchange->clock.challengeOffset = offset;
        exchange->clock.challengeDated = true;
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

// Adds a header line that carries the password to the next send.
bool AddHeader(SharedExchange* exchange, const char* header) {
    (void)InterlockedExchange(&exchange->passwordOut, 1);
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
    if (!MaySendCredentials(exchange)) return true;
    if (!OpenRequest(exchange, kCredentialFlags)) return false;
    if (SetCredentials(Request(exchange), exchange->settings)) {
        (void)InterlockedExchange(&exchange->passwordOut, 1);
        return SendForStatus(exchange);
    }
    exchange->error = GetLastError();
    return false;
}

// Sends with the credentials and reads the final status. A Basic challenge is answered with the
// header written here, in UTF-8, and in the code page where UTF-8 was refused and the origin has
// taken no form yet; an origin that asked for Basic before gets the header from the start.
// Another scheme is left to WinINet (see challenge_table.h). A proxy's challenge ends this step.
// Over plain HTTP a proxy on the way reads every header, the Authorization header included;
// only TLS, which the proxy tunnels, keeps it from the proxy. The password goes out at most
// kMostCredentialSends times; then the last answer stands. A form counts as taken on a 2xx status; any other answer but a
// refusal leaves it to the answer document (unconfirmed). header is room for the header line.
bool SendWithBasic(SharedExchange* exchange, char* header, size_t capacity) {
    const ServerSettings& settings = exchange->settings;
    OriginAuth known = RecallOrigin(settings);
    if (known == OriginAuth::ByWinInet) return SendThroughWinInet(exchange);
    BasicForm form = known == OriginAuth::BasicCodePage ? BasicForm::CodePage : BasicForm::Utf8;
    // Through a proxy's tunnel the header waits for the server's challenge, which comes through
    // the open tunnel: some WinINet versions (Wine's) copy a request's own headers into the
    // CONNECT that opens it, which the proxy reads.
    const bool tunnel = settings.secure && exchange->proxy.proxy[0];
    bool withHeader = known != OriginAuth::Unknown && !tunnel && BuildBasicHeader(settings, form, header, capacity);
    if (withHeader) ++exchange->credentialSends;
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
        if (!BuildBasicHeader(settings, form, header, capacity) || !MaySendCredentials(exchange)) return true;
        if (!DrainBody(exchange)) return exchange->error == 0;
        if (!AddHeader(exchange, header) || !SendForStatus(exchange)) return false;
    }
    if (withHeader && CredentialsBeyondAscii(settings)) {
        const OriginAuth taken = form == BasicForm::Utf8 ? OriginAuth::BasicUtf8 : OriginAuth::BasicCodePage;
        if (exchange->status / 100 == 2) RememberOrigin(settings, taken);
        else exchange->unconfirmed = taken;
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

// Whether a request with the password may have reached the server though no answer came: only
// a connection that was never made, or a name never found, shows that nothing arrived.
bool MayHaveArrived(const SharedExchange* exchange) {
    return exchange->passwordOut && exchange->error != ERROR_INTERNET_CANNOT_CONNECT &&
           exchange->error != ERROR_INTERNET_NAME_NOT_RESOLVED;
}

// Sends the request as it asks, with or without the server's credentials, and reads the status.
bool Send(SharedExchange* exchange) {
    return exchange->request.attachCredentials ? SendWithCredentials(exchange)
                                               : OpenRequest(exchange, 0) && SendForStatus(exchange);
}

// After a first 407: names the proxy that asked and tells whether to send once more (see
// ReconsiderProxyLogin). A configuration script is asked about the server's scheme, host and
// port only, as the path may hold the session token.
bool ReconsiderProxy(SharedExchange* exchange) {
    const ServerSettings& settings = exchange->settings;
    char url[SettingsTextSize + 32];
    wchar_t wide[SettingsTextSize + 32];
    (void)wsprintfA(url, "%s://%s:%u/", settings.secure ? "https" : "http", settings.host,
                    static_cast<unsigned>(PortInUse(settings.port, settings.secure)));
    if (!TextToWideBuffer(url, CP_ACP, wide, sizeof wide / sizeof wide[0])) return false;
    const DWORD timeout = g_exchangeTimeoutMs ? g_exchangeTimeoutMs : ExchangeTimeoutMs;
    return ReconsiderProxyLogin(Take(exchange, &ExchangeHandles::internet), Request(exchange), wide, settings.secure,
                                (exchange->openFlags & INTERNET_FLAG_NO_AUTH) == 0, timeout, &exchange->proxy);
}

// Open, send, status and body, as the request asks.
ExchangeOutcome RunSteps(SharedExchange* exchange) {
    const ServerSettings& settings = exchange->settings;
    const INTERNET_PORT port = PortInUse(settings.port, settings.secure);
    HINTERNET internet = InternetOpenA(kAgentName, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection = nullptr;
    if (internet && Keep(exchange, &ExchangeHandles::internet, internet)) {
        connection = InternetConnectA(Take(exchange, &ExchangeHandles::internet), settings.host, port, nullptr,
                                      nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    }
    const bool connected = connection && Keep(exchange, &ExchangeHandles::connection, connection);
    if (!connected) exchange->error = GetLastError();
    if (connected) FindProxyLogin(Take(exchange, &ExchangeHandles::internet), settings.secure, &exchange->proxy);
    bool answered = connected && Send(exchange);
    // A proxy that asked may be answered once more: with the Windows logon, or with credentials
    // found only now that it is named. Both go to the proxy only.
    if (answered && exchange->status == HTTP_STATUS_PROXY_AUTH_REQ && exchange->credentialSends < kMostCredentialSends &&
        ReconsiderProxy(exchange)) {
        answered = Send(exchange);
    }
    if (!answered) {
        if (settings.secure && IsCertificateFailure(exchange->error)) return ExchangeOutcome::Unverified;
        return MayHaveArrived(exchange) ? ExchangeOutcome::Unanswered : ExchangeOutcome::NotSent;
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
    CloseHandles(exchange, false);
    (void)SetEvent(exchange->finished);
    LetGo(exchange);
    return 0;
}

// Waits up to ms for the exchange of kind left behind earlier, if any, to end; false while it
// still runs.
bool AwaitAbandoned(ExchangeKind kind, DWORD ms) {
    SharedExchange*& earlier = g_abandoned[static_cast<int>(kind)];
    if (!earlier) return true;
    if (WaitForSingleObject(earlier->finished, ms) != WAIT_OBJECT_0) return false;
    LetGo(earlier);
    earlier = nullptr;
    return true;
}

}  // namespace

ExchangeOutcome RunExchange(const ServerSettings& settings, const ExchangeRequest& request, HeapText* body,
                            OriginAuth* unconfirmed, ExchangeClock* clock) {
    HeapText answer;
    if (!body) body = &answer;
    ClearHeapText(body);
    if (unconfirmed) *unconfirmed = OriginAuth::Unknown;
    if (clock) *clock = ExchangeClock();
    const DWORD startTick = GetTickCount();
    const DWORD deadline = EffectiveExchangeDeadlineMs();
    void* memory = HeapAlloc(GetProcessHeap(), 0, sizeof(SharedExchange));
    if (!memory) return ExchangeOutcome::NotSent;
    SharedExchange* exchange = new (memory) SharedExchange();
    exchange->settings = settings;
    exchange->request = request;
    exchange->request.pathTail = nullptr;
    exchange->finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const bool ready = exchange->finished && AppendText(&exchange->path, settings.directory) &&
                       AppendText(&exchange->path, request.pathTail ? request.pathTail : "");
    // The wait for an exchange left behind counts towards this one's deadline, so that no caller
    // waits longer than one deadline.
    const bool earlierEnded = ready && AwaitAbandoned(request.kind, deadline);
    const DWORD waited = GetTickCount() - startTick;
    const bool inTime = earlierEnded && waited < deadline;
    if (ready && !inTime) {
        LogExchange(settings, NarrowText(exchange->path), false, ExchangeOutcome::NotSent, 0, ERROR_INTERNET_TIMEOUT,
                    0, 0, startTick);
    }
    if (!inTime || !StartDetachedThread(ExchangeThreadMain, exchange)) {
        // The thread never started, so its hold goes too.
        LetGo(exchange);
        LetGo(exchange);
        return ExchangeOutcome::NotSent;
    }
    ExchangeOutcome outcome = ExchangeOutcome::NotSent;
    if (WaitForSingleObject(exchange->finished, deadline - waited) == WAIT_OBJECT_0) {
        outcome = exchange->outcome;
        if (clock) *clock = exchange->clock;
        if (unconfirmed) *unconfirmed = exchange->unconfirmed;
        LogExchange(settings, NarrowText(exchange->path), exchange->throughProxy, outcome, exchange->status,
                    exchange->error, exchange->bytes, exchange->sends, startTick);
    } else {
        // Closing the request handle ends a call blocked on it inside WinINet; closing the
        // connection and the session too also ends one still connecting or resolving. Wine's
        // WinINet finishes such a call first; the thread then ends unheeded, and the next
        // exchange of its kind waits for it.
        CloseHandles(exchange, true);
        if (exchange->passwordOut) outcome = ExchangeOutcome::Unanswered;
        // The deadline is told as WinINet's own time-out.
        LogExchange(settings, NarrowText(exchange->path), false, outcome, 0, ERROR_INTERNET_TIMEOUT, 0,
                    exchange->sends, startTick);
        g_abandoned[static_cast<int>(request.kind)] = exchange;
        return outcome;
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
