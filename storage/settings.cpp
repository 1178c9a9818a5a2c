#include "storage/settings.h"

#include "res/default_server.h"
#include "storage/scoped_lock.h"
#include "storage/text_encoding.h"

#include <string.h>

Settings g_settings;

Settings::Settings()
    : remember(false),
      autoSignIn(false),
      passwordKept(false),
      secure(false),
      passwordInFile(false),
      state(SettingsState::Initial) {
    memset(host, 0, sizeof host);
    memset(directory, 0, sizeof directory);
    memset(port, 0, sizeof port);
    memset(user, 0, sizeof user);
    memset(password, 0, sizeof password);
    InitializeCriticalSection(&lock);
}

void ResetToDefaults() {
    ScopedLock hold(g_settings.lock);
    lstrcpynA(g_settings.host, DEFAULT_SERVER_HOST, sizeof g_settings.host);
    lstrcpynA(g_settings.directory, "/", sizeof g_settings.directory);
    memset(g_settings.user, 0, sizeof g_settings.user);
    SecureZeroMemory(g_settings.password, sizeof g_settings.password);
    g_settings.passwordInFile = false;
    g_settings.passwordKept = false;
    g_settings.remember = false;
}

const char* Host() { return g_settings.host; }
const char* Directory() { return g_settings.directory; }
const char* Port() { return g_settings.port; }
const char* User() { return g_settings.user; }
const char* Password() { return g_settings.password; }
bool Remember() { return g_settings.remember; }
bool AutoSignIn() { return g_settings.autoSignIn; }
bool PasswordKept() { return g_settings.passwordKept; }
bool Secure() { return g_settings.secure; }
SettingsState State() { return g_settings.state; }

namespace {

// Whether two UTF-8 e-mail addresses differ only in letter case, any script's.
bool SameUser(const char* a, const char* b) {
    wchar_t wideA[SettingsTextSize];
    wchar_t wideB[SettingsTextSize];
    if (!TextToWideBuffer(a, CP_UTF8, wideA, SettingsTextSize) ||
        !TextToWideBuffer(b, CP_UTF8, wideB, SettingsTextSize)) {
        return strcmp(a, b) == 0;
    }
    return lstrcmpiW(wideA, wideB) == 0;
}

}  // namespace

void SetUser(const char* user) {
    if (!user) return;
    ScopedLock hold(g_settings.lock);
    if (SameUser(user, g_settings.user)) return;
    lstrcpynA(g_settings.user, user, sizeof g_settings.user);
    // Windows kept the password for the other address.
    g_settings.passwordKept = false;
    g_settings.state = SettingsState::Modified;
}

void SetPassword(const char* password) {
    if (!password) return;
    ScopedLock hold(g_settings.lock);
    if (strcmp(password, g_settings.password) == 0) return;
    // No tail of the old password may stay behind the new one's end.
    SecureZeroMemory(g_settings.password, sizeof g_settings.password);
    lstrcpynA(g_settings.password, password, sizeof g_settings.password);
    g_settings.passwordKept = false;
    g_settings.state = SettingsState::Modified;
}

void SetRemember(bool remember) {
    ScopedLock hold(g_settings.lock);
    if (remember == g_settings.remember) return;
    g_settings.remember = remember;
    g_settings.state = SettingsState::Modified;
}

void SetAutoSignIn(bool autoSignIn) {
    ScopedLock hold(g_settings.lock);
    if (autoSignIn == g_settings.autoSignIn) return;
    g_settings.autoSignIn = autoSignIn;
    g_settings.state = SettingsState::Modified;
}

WORD PortFromText(const char* text) {
    if (!text) return 0;
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    // Only the low 16 bits count, so the value is kept modulo 65536 and never overflows.
    unsigned value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) value = (value * 10 + static_cast<unsigned>(*text - '0')) & 0xFFFFu;
    if (negative) value = (0x10000u - value) & 0xFFFFu;
    return static_cast<WORD>(value);
}

WORD PortInUse(const char* text, bool secure) {
    const WORD port = PortFromText(text);
    return port ? port : static_cast<WORD>(secure ? 443 : 80);
}

void CopyServerSettings(ServerSettings* out) {
    ScopedLock hold(g_settings.lock);
    memcpy(out->host, g_settings.host, sizeof out->host);
    memcpy(out->directory, g_settings.directory, sizeof out->directory);
    memcpy(out->port, g_settings.port, sizeof out->port);
    memcpy(out->user, g_settings.user, sizeof out->user);
    memcpy(out->password, g_settings.password, sizeof out->password);
    out->secure = g_settings.secure;
    out->state = g_settings.state;
}

void TakeCredentialSnapshot(CredentialSnapshot* out) {
    ScopedLock hold(g_settings.lock);
    memcpy(out->user, g_settings.user, sizeof out->user);
    memcpy(out->password, g_settings.password, sizeof out->password);
    out->remember = g_settings.remember;
    out->autoSignIn = g_settings.autoSignIn;
    out->passwordKept = g_settings.passwordKept;
    out->state = g_settings.state;
}

void RestoreCredentialSnapshot(CredentialSnapshot* snapshot) {
    {
        ScopedLock hold(g_settings.lock);
        memcpy(g_settings.user, snapshot->user, sizeof g_settings.user);
        memcpy(g_settings.password, snapshot->password, sizeof g_settings.password);
        g_settings.remember = snapshot->remember;
        g_settings.autoSignIn = snapshot->autoSignIn;
        g_settings.passwordKept = snapshot->passwordKept;
        g_settings.state = snapshot->state;
    }
    ForgetCredentialSnapshot(snapshot);
}

void ForgetCredentialSnapshot(CredentialSnapshot* snapshot) {
    SecureZeroMemory(snapshot->password, sizeof snapshot->password);
}
