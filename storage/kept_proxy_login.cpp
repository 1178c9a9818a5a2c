#include "storage/kept_proxy_login.h"

#include "storage/support_log.h"
#include "storage/resource_text.h"

#include <wincred.h>

namespace {

// "Pagewren proxy:" + "host:port" of the longest name a proxy setting holds.
enum : size_t { TargetSize = 320 };

}  // namespace

bool ProxyLoginTarget(const wchar_t* proxy, wchar_t* target, size_t capacity) {
    const wchar_t kHead[] = L"Pagewren proxy:";
    if (capacity == 0) return false;
    target[0] = L'\0';
    return AppendText(target, capacity, kHead) && AppendText(target, capacity, proxy);
}

bool KeepProxyLogin(const wchar_t* proxy, const wchar_t* user, const wchar_t* password) {
    wchar_t target[TargetSize];
    if (!ProxyLoginTarget(proxy, target, TargetSize)) return false;
    CREDENTIALW credential = {};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = target;
    credential.UserName = const_cast<wchar_t*>(user);
    credential.CredentialBlob = reinterpret_cast<LPBYTE>(const_cast<wchar_t*>(password));
    credential.CredentialBlobSize = static_cast<DWORD>(lstrlenW(password) * sizeof(wchar_t));
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    const bool kept = CredWriteW(&credential, 0) != FALSE;
    LogEvent("credential store: proxy write, error %lu", kept ? 0 : GetLastError());
    return kept;
}

bool ReadKeptProxyLogin(const wchar_t* proxy, wchar_t* user, size_t userCapacity, wchar_t* password,
                        size_t passwordCapacity) {
    wchar_t target[TargetSize];
    if (!ProxyLoginTarget(proxy, target, TargetSize)) return false;
    PCREDENTIALW credential = nullptr;
    if (!CredReadW(target, CRED_TYPE_GENERIC, 0, &credential)) {
        LogEvent("credential store: proxy read, error %lu", GetLastError());
        return false;
    }
    (void)lstrcpynW(user, credential->UserName ? credential->UserName : L"", static_cast<int>(userCapacity));
    // The blob has no terminator: at most its own characters are copied.
    const size_t characters = credential->CredentialBlobSize / sizeof(wchar_t);
    (void)lstrcpynW(password, reinterpret_cast<const wchar_t*>(credential->CredentialBlob),
                    static_cast<int>(characters + 1 < passwordCapacity ? characters + 1 : passwordCapacity));
    SecureZeroMemory(credential->CredentialBlob, credential->CredentialBlobSize);
    CredFree(credential);
    LogEvent("credential store: proxy read, error 0");
    return user[0] != L'\0';
}

bool ForgetKeptProxyLogin(const wchar_t* proxy) {
    wchar_t target[TargetSize];
    if (!ProxyLoginTarget(proxy, target, TargetSize)) return false;
    const DWORD error = CredDeleteW(target, CRED_TYPE_GENERIC, 0) ? 0 : GetLastError();
    LogEvent("credential store: proxy delete, error %lu", error);
    return error == 0 || error == ERROR_NOT_FOUND;
}
