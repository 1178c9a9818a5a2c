#include "net/proxy_script.h"

#include <winhttp.h>

namespace {

typedef BOOL(WINAPI* GetUserConfig)(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG*);
typedef HINTERNET(WINAPI* OpenSession)(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD);
typedef BOOL(WINAPI* SetTimeouts)(HINTERNET, int, int, int, int);
typedef BOOL(WINAPI* GetProxyForUrl)(HINTERNET, LPCWSTR, WINHTTP_AUTOPROXY_OPTIONS*, WINHTTP_PROXY_INFO*);
typedef BOOL(WINAPI* CloseSession)(HINTERNET);

// WinHTTP from the system folder only, so that no DLL beside the program is loaded instead.
HMODULE LoadWinHttp() {
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    const wchar_t kName[] = L"\\winhttp.dll";
    if (length == 0 || length + sizeof kName / sizeof kName[0] > MAX_PATH) return nullptr;
    for (size_t i = 0; i < sizeof kName / sizeof kName[0]; ++i) path[length + i] = kName[i];
    return LoadLibraryW(path);
}

template <typename Call>
Call Find(HMODULE module, const char* name) {
    return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void FreeText(LPWSTR text) {
    if (text) (void)GlobalFree(text);
}

bool CopyList(const wchar_t* from, wchar_t* to, size_t capacity) {
    if (!from || capacity == 0 || lstrlenW(from) + size_t(1) > capacity) return false;
    (void)lstrcpynW(to, from, static_cast<int>(capacity));
    return true;
}

}  // namespace

bool ProxiesFromAutoConfiguration(const wchar_t* url, DWORD timeoutMs, wchar_t* list, size_t capacity) {
    HMODULE winHttp = LoadWinHttp();
    if (!winHttp) return false;
    const auto getUserConfig = Find<GetUserConfig>(winHttp, "WinHttpGetIEProxyConfigForCurrentUser");
    const auto openSession = Find<OpenSession>(winHttp, "WinHttpOpen");
    const auto setTimeouts = Find<SetTimeouts>(winHttp, "WinHttpSetTimeouts");
    const auto getProxy = Find<GetProxyForUrl>(winHttp, "WinHttpGetProxyForUrl");
    const auto closeHandle = Find<CloseSession>(winHttp, "WinHttpCloseHandle");
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    bool found = false;
    if (getUserConfig && openSession && setTimeouts && getProxy && closeHandle && getUserConfig(&config) &&
        (config.fAutoDetect || config.lpszAutoConfigUrl)) {
        WINHTTP_AUTOPROXY_OPTIONS options = {};
        options.dwFlags = (config.lpszAutoConfigUrl ? WINHTTP_AUTOPROXY_CONFIG_URL : 0) |
                          (config.fAutoDetect ? WINHTTP_AUTOPROXY_AUTO_DETECT : 0);
        options.dwAutoDetectFlags =
            config.fAutoDetect ? WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A : 0;
        options.lpszAutoConfigUrl = config.lpszAutoConfigUrl;
        // The script may sit behind the Windows logon, as WinINet fetches it.
        options.fAutoLogonIfChallenged = TRUE;
        HINTERNET session = openSession(L"Pagewren", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                        WINHTTP_NO_PROXY_BYPASS, 0);
        const int wait = static_cast<int>(timeoutMs);
        WINHTTP_PROXY_INFO answer = {};
        found = session && setTimeouts(session, wait, wait, wait, wait) && getProxy(session, url, &options, &answer) &&
                answer.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && CopyList(answer.lpszProxy, list, capacity);
        FreeText(answer.lpszProxy);
        FreeText(answer.lpszProxyBypass);
        if (session) (void)closeHandle(session);
    }
    FreeText(config.lpszAutoConfigUrl);
    FreeText(config.lpszProxy);
    FreeText(config.lpszProxyBypass);
    (void)FreeLibrary(winHttp);
    return found;
}
