#include "net/basic_auth.h"

#include <string.h>

namespace {

enum : size_t {
    OriginSlots = 4,
    CredentialsSize = 2 * SettingsTextSize,
};

const char kHeaderName[] = "Authorization: Basic ";

struct OriginSlot {
    bool secure;
    WORD port;
    char host[SettingsTextSize];
    OriginAuth auth;
};

// Exchange threads left behind at their deadline may still finish and write here, so the
// record is never destroyed. Zero at start, for an image without initialised writable data:
// a spin lock of Interlocked operations, as Windows XP has no lock that needs no set-up.
struct OriginMemory {
    LONG volatile lock;
    size_t next;  // the slot a new origin takes once all are used
    OriginSlot slots[OriginSlots];
};
OriginMemory g_origins;

void LockOrigins() {
    while (InterlockedCompareExchange(&g_origins.lock, 1, 0) != 0) (void)SwitchToThread();
}

void UnlockOrigins() { (void)InterlockedExchange(&g_origins.lock, 0); }

// The settings' origin's slot, or null; the caller holds the lock.
OriginSlot* Find(const ServerSettings& settings) {
    const WORD port = PortInUse(settings.port, settings.secure);
    for (OriginSlot& slot : g_origins.slots) {
        if (slot.auth != OriginAuth::Unknown && slot.secure == settings.secure && slot.port == port &&
            strcmp(slot.host, settings.host) == 0) {
            return &slot;
        }
    }
    return nullptr;
}

// user ":" password as stored (UTF-8) or in the system code page, without terminator; false
// when the code page lacks a character or out is too small. Best-fit look-alikes would send a
// password other than the user's.
bool JoinCredentials(const ServerSettings& settings, BasicForm form, char* out, size_t capacity, size_t* length) {
    const size_t user = strlen(settings.user);
    const size_t password = strlen(settings.password);
    if (user + 1 + password > capacity) return false;
    memcpy(out, settings.user, user);
    out[user] = ':';
    memcpy(out + user + 1, settings.password, password);
    *length = user + 1 + password;
    if (form == BasicForm::Utf8) return true;
    wchar_t wide[CredentialsSize];
    const int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, out, static_cast<int>(*length), wide,
                                          static_cast<int>(sizeof wide / sizeof wide[0]));
    BOOL usedDefault = FALSE;
    const int bytes = count > 0 ? WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, count, out,
                                                      static_cast<int>(capacity), nullptr, &usedDefault)
                                : 0;
    SecureZeroMemory(wide, sizeof wide);
    if (bytes <= 0 || usedDefault) return false;
    *length = static_cast<size_t>(bytes);
    return true;
}

bool BeyondAscii(const char* text) {
    for (; *text; ++text)
        if (static_cast<BYTE>(*text) >= 0x80) return true;
    return false;
}

// Worked out rather than looked up: a table of the 64 digits took the 32-bit image's constants
// past a page.
char Base64Digit(DWORD value) {
    value &= 63;
    if (value < 26) return static_cast<char>('A' + value);
    if (value < 52) return static_cast<char>('a' + value - 26);
    if (value < 62) return static_cast<char>('0' + value - 52);
    return value == 62 ? '+' : '/';
}

// Base64 with padding of count bytes into out, which has room for 4 * ((count + 2) / 3) + 1.
void Encode(const BYTE* bytes, size_t count, char* out) {
    for (size_t i = 0; i < count; i += 3, out += 4) {
        const DWORD group = DWORD(bytes[i]) << 16 | (i + 1 < count ? DWORD(bytes[i + 1]) << 8 : 0) |
                            (i + 2 < count ? DWORD(bytes[i + 2]) : 0);
        out[0] = Base64Digit(group >> 18);
        out[1] = Base64Digit(group >> 12);
        out[2] = i + 1 < count ? Base64Digit(group >> 6) : '=';
        out[3] = i + 2 < count ? Base64Digit(group) : '=';
    }
    *out = '\0';
}

}  // namespace

OriginAuth RecallOrigin(const ServerSettings& settings) {
    LockOrigins();
    const OriginSlot* slot = Find(settings);
    const OriginAuth auth = slot ? slot->auth : OriginAuth::Unknown;
    UnlockOrigins();
    return auth;
}

void RememberOrigin(const ServerSettings& settings, OriginAuth auth) {
    if (auth == OriginAuth::Unknown) return;
    LockOrigins();
    OriginSlot* slot = Find(settings);
    if (!slot) {
        slot = &g_origins.slots[g_origins.next];
        g_origins.next = (g_origins.next + 1) % OriginSlots;
        slot->secure = settings.secure;
        slot->port = PortInUse(settings.port, settings.secure);
        (void)lstrcpynA(slot->host, settings.host, sizeof slot->host);
    }
    slot->auth = auth;
    UnlockOrigins();
}

void ForgetBasicOrigins() {
    LockOrigins();
    g_origins.next = 0;
    for (OriginSlot& slot : g_origins.slots) slot.auth = OriginAuth::Unknown;
    UnlockOrigins();
}

bool CredentialsBeyondAscii(const ServerSettings& settings) {
    return BeyondAscii(settings.user) || BeyondAscii(settings.password);
}

bool BuildBasicHeader(const ServerSettings& settings, BasicForm form, char* header, size_t capacity) {
    char joined[CredentialsSize];
    size_t length = 0;
    const bool built = JoinCredentials(settings, form, joined, sizeof joined, &length) &&
                       sizeof kHeaderName + 4 * ((length + 2) / 3) <= capacity;
    if (built) {
        memcpy(header, kHeaderName, sizeof kHeaderName - 1);
        Encode(reinterpret_cast<const BYTE*>(joined), length, header + sizeof kHeaderName - 1);
    }
    SecureZeroMemory(joined, sizeof joined);
    return built;
}
