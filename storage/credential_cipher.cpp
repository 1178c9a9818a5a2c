#include "storage/credential_cipher.h"

#include <windows.h>
#include <wincrypt.h>
#include <string.h>

namespace {

const char kPassPhrase[] = "{5D0B7C3E-92A4-4F61-8E2D-7A19C04B3F58}";
// Key length in the upper 16 bits of CryptDeriveKey's flags: 128 bits.
const DWORD kKeyFlags = 128u << 16;

// The provider context and the RC4 key made from the pass phrase; released on scope exit.
struct CipherKey {
    HCRYPTPROV provider = 0;
    HCRYPTKEY key = 0;
    CipherKey() = default;
    CipherKey(const CipherKey&) = delete;
    CipherKey& operator=(const CipherKey&) = delete;
    ~CipherKey() {
        if (key) (void)CryptDestroyKey(key);
        if (provider) (void)CryptReleaseContext(provider, 0);
    }
};

// A verification context needs no key container, which a user may not have;
// the derived key is the same as with the default container.
bool MakeKey(CipherKey* cipher) {
    if (!CryptAcquireContextA(&cipher->provider, nullptr, MS_ENHANCED_PROV_A, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        cipher->provider = 0;
        return false;
    }
    HCRYPTHASH hash = 0;
    if (!CryptCreateHash(cipher->provider, CALG_MD5, 0, 0, &hash)) return false;
    bool made = CryptHashData(hash, reinterpret_cast<const BYTE*>(kPassPhrase), sizeof kPassPhrase - 1, 0) &&
                CryptDeriveKey(cipher->provider, CALG_RC4, hash, kKeyFlags, &cipher->key);
    if (!made) cipher->key = 0;
    (void)CryptDestroyHash(hash);
    return made;
}

int AlphabetIndex(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

bool DecryptCredential(const char* encoded, char* out) {
    if (!encoded || !out) return false;
    // One byte is kept for the terminator of the password.
    BYTE work[CredentialTextSize];
    size_t length = 0;
    if (!Base64Decode(encoded, work, sizeof work - 1, &length)) return false;
    CipherKey cipher;
    if (!MakeKey(&cipher)) return false;
    DWORD count = static_cast<DWORD>(length);
    const bool decrypted = CryptDecrypt(cipher.key, 0, TRUE, 0, work, &count) != FALSE;
    if (decrypted) {
        memcpy(out, work, count);
        out[count] = '\0';
    }
    SecureZeroMemory(work, sizeof work);
    return decrypted;
}

bool Base64Decode(const char* text, unsigned char* out, size_t capacity, size_t* count) {
    *count = 0;
    if (!text) return true;
    unsigned long group = 0;
    int held = 0;
    size_t length = 0;
    unsigned char bytes[3];
    for (const char* p = text;; ++p) {
        int value = *p ? AlphabetIndex(*p) : -1;
        if (value >= 0) {
            group = (group << 6) | static_cast<unsigned long>(value);
            if (++held < 4) continue;
        }
        // A last group of two or three characters carries one or two bytes.
        int made = held == 4 ? 3 : held - 1;
        if (made > 0) {
            if (held < 4) group <<= 6 * (4 - held);
            bytes[0] = static_cast<unsigned char>((group >> 16) & 0xFF);
            bytes[1] = static_cast<unsigned char>((group >> 8) & 0xFF);
            bytes[2] = static_cast<unsigned char>(group & 0xFF);
            if (static_cast<size_t>(made) > capacity - length) return false;
            memcpy(out + length, bytes, static_cast<size_t>(made));
            length += static_cast<size_t>(made);
            *count = length;
        }
        if (held < 4) return true;
        group = 0;
        held = 0;
    }
}
