// The sign-in a company proxy asks for (status 407): which proxy is in force, the user name
// and password for it that the user gave in this run or that Windows keeps, and what became of
// them. They go to that proxy only, as WinINet's proxy options; WinINet answers its scheme. A
// proxy that takes the Windows logon (see challenge_table.h) is left to WinINet with it.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <stddef.h>

enum : size_t {
    ProxyNameSize = 272,       // "host:port", or the quoted realm of a proxy known by no address
    ProxyUserSize = 514,       // the longest user name Windows' prompt takes, and the NUL
    ProxyPasswordSize = 257,   // the longest password Windows' prompt takes, and the NUL
};

// One exchange's copy of the proxy's credentials; the password is wiped with the exchange.
struct ProxyLogin {
    wchar_t proxy[ProxyNameSize];  // the proxy in force; empty without one
    wchar_t user[ProxyUserSize];
    wchar_t password[ProxyPasswordSize];
    bool held;  // user and password are set on the requests
    bool windowsLogon;  // the proxy takes the Windows logon, so WinINet may answer its challenge
};

// Fills login for an exchange on internet, the session handle: the proxy that last asked in this
// run, else the one Windows' settings list for plain or secure HTTP, and the credentials given
// for it in this run, else those Windows keeps.
void FindProxyLogin(HINTERNET internet, bool secure, ProxyLogin* login);
// After a first 407 to request: names the proxy that asked, by the automatic configuration's
// answer for url, the settings' list, or the realm it names, and notes whether it takes the
// Windows logon; true when the request should go once more: WinINet may now answer with the
// Windows logon (winInetAnswered: it was let to already), or credentials are now held.
bool ReconsiderProxyLogin(HINTERNET internet, HINTERNET request, const wchar_t* url, bool secure,
                          bool winInetAnswered, DWORD timeoutMs, ProxyLogin* login);
// Sets the login's credentials as the proxy's on request; true also when none are held.
bool SetProxyLogin(HINTERNET request, const ProxyLogin& login);
// After the final status of a request sent with login. A 407 logs the proxy and its schemes,
// records that it asked, and forgets credentials it refused; any other status confirms
// credentials the user gave and keeps them where the user asked for it.
void SettleProxyLogin(HINTERNET request, DWORD status, const ProxyLogin& login);

// The proxy that last asked for a sign-in into proxy, and whether it refused credentials;
// false when none asked.
bool ProxyThatAsked(wchar_t* proxy, size_t capacity, bool* refused);
// The credentials the user gave for proxy, for the exchanges that follow; remember: keep them
// once the proxy took them.
void GiveProxyLogin(const wchar_t* proxy, const wchar_t* user, const wchar_t* password, bool remember);
