#include "storage/kept_password.h"

#include "storage/scoped_lock.h"
#include "storage/settings.h"
#include "storage/support_log.h"
#include "storage/text_encoding.h"

#include <string.h>

BOOL(WINAPI* g_writeCredential)(PCREDENTIALW credential, DWORD flags);

namespace {

// "Pagewren:https://" + a host of up to 4095 characters + ":65535".
enum : size_t { TargetSize = SettingsTextSize + 32 };
// A generic credential's blob holds at most CRED_MAX_CREDENTIAL_BLOB_SIZE bytes.
enum : size_t { BlobCharacters = CRED_MAX_CREDENTIAL_BLOB_SIZE / sizeof(wchar_t) };

}  // namespace

bool KeptPasswordTarget(wchar_t* target, size_t capacity) {
    ScopedLock hold(g_settings.lock);
    const WORD port = PortInUse(g_settings.port, g_settings.secure);
    wchar_t host[SettingsTextSize];
    if (!TextToWideBuffer(g_settings.host, CP_ACP, host, SettingsTextSize)) return false;
    wchar_t tail[8];
    (void)wsprintfW(tail, L":%u", static_cast<unsigned>(port));
    const wchar_t* head = g_settings.secure ? L"Pagewren:https://" : L"Pagewren:http://";
    if (static_cast<size_t>(lstrlenW(head) + lstrlenW(host) + lstrlenW(tail)) >= capacity) return false;
    (void)lstrcpyW(target, head);
    (void)lstrcatW(target, host);
    (void)lstrcatW(target, tail);
    return true;
}

bool KeepPassword() {
    ScopedLock hold(g_settings.lock);
    wchar_t target[TargetSize];
    wchar_t user[SettingsTextSize];
    if (!KeptPasswordTarget(target, TargetSize) ||
        !TextToWideBuffer(g_settings.user, CP_UTF8, user, SettingsTextSize)) {
        return false;
    }
    wchar_t password[BlobCharacters];
    const bool converted = TextToWideBuffer(g_settings.password, CP_UTF8, password, BlobCharacters);
    bool kept = false;
    if (converted) {
        CREDENTIALW credential = {};
        credential.Type = CRED_TYPE_GENERIC;
        credential.TargetName = target;
        credential.UserName = user;
        credential.CredentialBlob = reinterpret_cast<LPBYTE>(password);
        credential.CredentialBlobSize = static_cast<DWORD>(lstrlenW(password) * sizeof(wchar_t));
        credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
        kept = (g_writeCredential ? g_writeCredential : CredWriteW)(&credential, 0) != FALSE;
        LogEvent("credential store: write, error %lu", kept ? 0 : GetLastError());
    }
    SecureZeroMemory(password, sizeof password);
    // An older password kept for the origin would otherwise be filled in at the next start, and
    // sending it would count towards the server's lockout.
    if (!kept) (void)DeleteKeptPassword();
    return kept;
}

bool ReadKeptPassword() {
    ScopedLock hold(g_settings.lock);
    if (!g_settings.user[0] || g_settings.password[0]) return false;
    wchar_t target[TargetSize];
    wchar_t user[SettingsTextSize];
    if (!KeptPasswordTarget(target, TargetSize) ||
        !TextToWideBuffer(g_settings.user, CP_UTF8, user, SettingsTextSize)) {
        return false;
    }
    PCREDENTIALW credential = nullptr;
    const bool read = CredReadW(target, CRED_TYPE_GENERIC, 0, &credential) != FALSE;
    LogEvent("credential store: read, error %lu", read ? 0 : GetLastError());
    if (!read) return false;
    const DWORD characters = credential->CredentialBlobSize / sizeof(wchar_t);
    // Kept for another e-mail address, the password is not this user's to fill in.
    bool filled = credential->UserName && lstrcmpiW(credential->UserName, user) == 0;
    if (filled && characters > 0) {
        const int made = WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<LPCWSTR>(credential->CredentialBlob),
                                             static_cast<int>(characters), g_settings.password,
                                             static_cast<int>(sizeof g_settings.password - 1), nullptr, nullptr);
        filled = made > 0;
        g_settings.password[filled ? made : 0] = '\0';
    }
    SecureZeroMemory(credential->CredentialBlob, credential->CredentialBlobSize);
    CredFree(credential);
    return filled;
}

bool DeleteKeptPassword() {
    wchar_t target[TargetSize];
    if (!KeptPasswordTarget(target, TargetSize)) return false;
    const DWORD error = CredDeleteW(target, CRED_TYPE_GENERIC, 0) ? 0 : GetLastError();
    LogEvent("credential store: delete, error %lu", error);
    return error == 0 || error == ERROR_NOT_FOUND;
}
