#include "net/proxy_login.h"

#include "net/challenge_table.h"
#include "net/proxy_script.h"
#include "storage/kept_proxy_login.h"
#include "storage/resource_text.h"
#include "storage/scoped_lock.h"
#include "storage/support_log.h"
#include "storage/text_encoding.h"

#include <string.h>
#include <wincred.h>

namespace {

// Room for the target name "Pagewren proxy:" + "host:port".
enum : size_t { TargetSize = ProxyNameSize + 32, SchemesSize = 128, ProxyListSize = 2048, RealmSize = 256 };
// The most Proxy-Authenticate headers of one answer that are looked at.
const DWORD kMostChallenges = 8;

// What this run knows of the proxy's sign-in. Written by the main thread when the user answers
// the prompt, and by exchange threads when the proxy answers.
struct ProxySignIn {
    CRITICAL_SECTION lock;
    // The proxy that last asked, and whether it refused credentials then.
    wchar_t asked[ProxyNameSize];
    bool refused;
    // The proxy named at the latest 407, which the requests that follow meet first, and the
    // last proxy that offered the Windows logon.
    wchar_t named[ProxyNameSize];
    wchar_t takesLogon[ProxyNameSize];
    // The credentials the user gave, for the proxy named.
    wchar_t proxy[ProxyNameSize];
    wchar_t user[ProxyUserSize];
    wchar_t password[ProxyPasswordSize];
    // Given by the user and not yet taken by the proxy, to be kept once it took them.
    bool fresh;
    bool remember;

    ProxySignIn() : asked(), refused(), named(), takesLogon(), proxy(), user(), password(), fresh(), remember() {
        InitializeCriticalSection(&lock);
    }
};

// Built before WinMain runs and never destroyed: an exchange nothing waits for may still use it.
ProxySignIn g_proxySignIn;

void WipeGiven() {
    SecureZeroMemory(g_proxySignIn.password, sizeof g_proxySignIn.password);
    g_proxySignIn.proxy[0] = g_proxySignIn.user[0] = L'\0';
    g_proxySignIn.fresh = g_proxySignIn.remember = false;
}

// The entry of a WinINet proxy list ("host:port", "http=host:port;https=host:port", with
// optional "http://") that serves the scheme, as "host:port" in out; false when none does.
bool ProxyForScheme(const wchar_t* list, bool secure, wchar_t* out, size_t capacity) {
    const wchar_t* wanted = secure ? L"https=" : L"http=";
    const wchar_t* bare = nullptr;
    const wchar_t* chosen = nullptr;
    for (const wchar_t* entry = list; *entry && !chosen;) {
        while (*entry == L';' || *entry == L' ') ++entry;
        const wchar_t* end = entry;
        while (*end && *end != L';' && *end != L' ') ++end;
        const wchar_t* equals = entry;
        while (equals < end && *equals != L'=') ++equals;
        if (equals == end) {
            if (!bare && end > entry) bare = entry;
        } else if (static_cast<size_t>(equals + 1 - entry) == static_cast<size_t>(lstrlenW(wanted)) &&
                   CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, entry, static_cast<int>(equals + 1 - entry),
                                  wanted, -1) == CSTR_EQUAL) {
            chosen = equals + 1;
        }
        entry = end;
    }
    if (!chosen) chosen = bare;
    if (!chosen) return false;
    if (CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, chosen, 7, L"http://", 7) == CSTR_EQUAL) chosen += 7;
    size_t length = 0;
    while (chosen[length] && chosen[length] != L';' && chosen[length] != L' ' && chosen[length] != L'/') ++length;
    if (length == 0 || length >= capacity) return false;
    for (size_t i = 0; i < length; ++i) out[i] = chosen[i];
    out[length] = L'\0';
    // WinINet's own default when the entry names no port.
    bool hasPort = false;
    for (size_t i = 0; i < length; ++i) hasPort = hasPort || out[i] == L':';
    return hasPort || AppendText(out, capacity, L":80");
}

// What the Proxy-Authenticate headers offer: the first word of each, as "Basic, NTLM", the realm
// of the first that names one, and whether one takes the Windows logon.
void ReadProxyChallenges(HINTERNET request, char* schemes, size_t capacity, char* realm, bool* windowsLogon) {
    schemes[0] = realm[0] = '\0';
    *windowsLogon = false;
    for (DWORD i = 0; i < kMostChallenges; ++i) {
        char value[256];
        DWORD length = sizeof value;
        DWORD index = i;
        if (!HttpQueryInfoA(request, HTTP_QUERY_PROXY_AUTHENTICATE, value, &length, &index)) {
            if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) continue;
            break;
        }
        *windowsLogon = *windowsLogon || RuleForChallenge(ChallengeFrom::Proxy, value).with == AnswerWith::WindowsLogon;
        const char* quote = strstr(value, "realm=\"");
        if (!realm[0] && quote) {
            size_t n = 0;
            for (quote += 7; quote[n] && quote[n] != '"' && n + 1 < RealmSize; ++n) realm[n] = quote[n];
            realm[n] = '\0';
        }
        char* end = value;
        while (*end && *end != ' ' && *end != ',') ++end;
        *end = '\0';
        if (schemes[0] && !AppendText(schemes, capacity, ", ")) break;
        if (!AppendText(schemes, capacity, value)) break;
    }
}

// The proxy Windows' settings list for plain or secure HTTP, as WinINet took them; false for a
// direct connection or a list that names none.
bool ListedProxy(HINTERNET internet, bool secure, wchar_t* out) {
    BYTE buffer[sizeof(INTERNET_PROXY_INFO) + ProxyListSize * sizeof(wchar_t)];
    DWORD size = sizeof buffer;
    if (!internet || !InternetQueryOptionW(internet, INTERNET_OPTION_PROXY, buffer, &size)) return false;
    const INTERNET_PROXY_INFO* info = reinterpret_cast<const INTERNET_PROXY_INFO*>(buffer);
    const wchar_t* list = reinterpret_cast<const wchar_t*>(info->lpszProxy);
    return info->dwAccessType == INTERNET_OPEN_TYPE_PROXY && list && ProxyForScheme(list, secure, out, ProxyNameSize);
}

// The credentials given in this run for the login's proxy, else those Windows keeps.
void LoadCredentials(ProxyLogin* login) {
    login->user[0] = login->password[0] = L'\0';
    login->held = false;
    {
        ScopedLock hold(g_proxySignIn.lock);
        login->windowsLogon = login->proxy[0] && lstrcmpiW(g_proxySignIn.takesLogon, login->proxy) == 0;
        if (g_proxySignIn.user[0] && lstrcmpiW(g_proxySignIn.proxy, login->proxy) == 0) {
            (void)lstrcpynW(login->user, g_proxySignIn.user, ProxyUserSize);
            (void)lstrcpynW(login->password, g_proxySignIn.password, ProxyPasswordSize);
            login->held = true;
            return;
        }
    }
    login->held = ReadKeptProxyLogin(login->proxy, login->user, ProxyUserSize, login->password, ProxyPasswordSize);
}

}  // namespace

void FindProxyLogin(HINTERNET internet, bool secure, ProxyLogin* login) {
    login->proxy[0] = login->user[0] = login->password[0] = L'\0';
    login->held = login->windowsLogon = false;
    {
        ScopedLock hold(g_proxySignIn.lock);
        (void)lstrcpynW(login->proxy, g_proxySignIn.named, ProxyNameSize);
    }
    if (!login->proxy[0] && !ListedProxy(internet, secure, login->proxy)) {
        login->proxy[0] = L'\0';
        return;
    }
    LoadCredentials(login);
}

bool ReconsiderProxyLogin(HINTERNET internet, HINTERNET request, const wchar_t* url, bool secure,
                          bool winInetAnswered, DWORD timeoutMs, ProxyLogin* login) {
    char schemes[SchemesSize];
    char realm[RealmSize];
    bool windowsLogon = false;
    ReadProxyChallenges(request, schemes, sizeof schemes, realm, &windowsLogon);
    // A configuration script's answer comes first, as WinINet follows it before the list; a
    // proxy known by neither is known by the realm it names.
    wchar_t list[ProxyListSize];
    wchar_t name[ProxyNameSize];
    const bool named = (ProxiesFromAutoConfiguration(url, timeoutMs, list, ProxyListSize) &&
                        ProxyForScheme(list, secure, name, ProxyNameSize)) ||
                       ListedProxy(internet, secure, name);
    if (!named) {
        // A quoted realm of RealmSize fits the name whole; one that is no UTF-8 counts as none.
        wchar_t wideRealm[RealmSize];
        if (!TextToWideBuffer(realm, CP_UTF8, wideRealm, RealmSize)) wideRealm[0] = L'\0';
        name[0] = L'\0';
        (void)(AppendText(name, ProxyNameSize, L"\"") && AppendText(name, ProxyNameSize, wideRealm) &&
               AppendText(name, ProxyNameSize, L"\""));
    }
    LogEventW(L"proxy that asked: %s", name);
    const bool wasHeld = login->held;
    const bool hadLogon = login->windowsLogon;
    {
        ScopedLock hold(g_proxySignIn.lock);
        (void)lstrcpynW(g_proxySignIn.named, name, ProxyNameSize);
        if (windowsLogon) (void)lstrcpynW(g_proxySignIn.takesLogon, name, ProxyNameSize);
    }
    if (lstrcmpiW(name, login->proxy) != 0) {
        (void)lstrcpynW(login->proxy, name, ProxyNameSize);
        LoadCredentials(login);
    }
    login->windowsLogon = login->windowsLogon || windowsLogon;
    return (login->held && !wasHeld) || (login->windowsLogon && !hadLogon && !winInetAnswered);
}

bool SetProxyLogin(HINTERNET request, const ProxyLogin& login) {
    if (!login.held) return true;
    return InternetSetOptionW(request, INTERNET_OPTION_PROXY_USERNAME, const_cast<wchar_t*>(login.user),
                              static_cast<DWORD>(lstrlenW(login.user) + 1)) &&
           InternetSetOptionW(request, INTERNET_OPTION_PROXY_PASSWORD, const_cast<wchar_t*>(login.password),
                              static_cast<DWORD>(lstrlenW(login.password) + 1));
}

void SettleProxyLogin(HINTERNET request, DWORD status, const ProxyLogin& login) {
    if (!login.proxy[0]) return;
    wchar_t target[TargetSize];
    const bool named = ProxyLoginTarget(login.proxy, target, TargetSize);
    if (status == HTTP_STATUS_PROXY_AUTH_REQ) {
        char schemes[SchemesSize];
        char realm[RealmSize];
        bool windowsLogon = false;
        ReadProxyChallenges(request, schemes, sizeof schemes, realm, &windowsLogon);
        LogEventW(L"proxy %s asks for a sign-in", login.proxy);
        LogEvent("proxy schemes: %s, realm \"%s\"%s; credentials %s", schemes[0] ? schemes : "none named", realm,
                 windowsLogon ? ", Windows logon" : "", login.held ? "refused" : "none held");
        ScopedLock hold(g_proxySignIn.lock);
        (void)lstrcpynW(g_proxySignIn.asked, login.proxy, ProxyNameSize);
        g_proxySignIn.refused = login.held;
        if (!login.held) return;
        // Refused credentials are never sent again, so no exchange keeps knocking with them.
        if (lstrcmpiW(g_proxySignIn.proxy, login.proxy) == 0) WipeGiven();
        if (named) (void)CredUIConfirmCredentialsW(target, FALSE);
        (void)ForgetKeptProxyLogin(login.proxy);
        return;
    }
    if (!login.held) return;
    ScopedLock hold(g_proxySignIn.lock);
    if (!g_proxySignIn.fresh || lstrcmpiW(g_proxySignIn.proxy, login.proxy) != 0 ||
        lstrcmpW(g_proxySignIn.user, login.user) != 0) {
        return;
    }
    g_proxySignIn.fresh = false;
    g_proxySignIn.refused = false;
    g_proxySignIn.asked[0] = L'\0';
    // Windows' prompt keeps what the user chose to keep once it is confirmed; the program then
    // keeps it as a credential of this computer.
    const DWORD confirmed = named ? CredUIConfirmCredentialsW(target, TRUE) : ERROR_INVALID_PARAMETER;
    LogEvent("proxy took the credentials; confirmed, error %lu", confirmed);
    if (g_proxySignIn.remember) (void)KeepProxyLogin(login.proxy, login.user, login.password);
}

bool ProxyThatAsked(wchar_t* proxy, size_t capacity, bool* refused) {
    ScopedLock hold(g_proxySignIn.lock);
    if (!g_proxySignIn.asked[0] || capacity == 0) return false;
    (void)lstrcpynW(proxy, g_proxySignIn.asked, static_cast<int>(capacity));
    *refused = g_proxySignIn.refused;
    return true;
}

void GiveProxyLogin(const wchar_t* proxy, const wchar_t* user, const wchar_t* password, bool remember) {
    ScopedLock hold(g_proxySignIn.lock);
    WipeGiven();
    (void)lstrcpynW(g_proxySignIn.proxy, proxy, ProxyNameSize);
    (void)lstrcpynW(g_proxySignIn.user, user, ProxyUserSize);
    (void)lstrcpynW(g_proxySignIn.password, password, ProxyPasswordSize);
    g_proxySignIn.fresh = true;
    g_proxySignIn.remember = remember;
}
