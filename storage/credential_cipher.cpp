#include "storage/credential_cipher.h"

#include <windows.h>
#include <wincrypt.h>
#include <string.h>

namespace {

const char kPassPhrase[] = "{5D0B7C3E-92A4-4F61-8E2D-7A19C04B3F58}";
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
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

bool EncryptCredential(const char* plain, char* out) {
    if (!plain || !out) return false;
    size_t length = strlen(plain);
    if (length > CredentialMaxPlainBytes) return false;
    CipherKey cipher;
    if (!MakeKey(&cipher)) return false;
    BYTE work[CredentialTextSize];
    memcpy(work, plain, length);
    DWORD count = static_cast<DWORD>(length);
    if (!CryptEncrypt(cipher.key, 0, TRUE, 0, work, &count, sizeof work)) return false;
    std::string text = Base64Encode(work, count);
    if (text.size() >= CredentialTextSize) return false;
    memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

bool DecryptCredential(const char* encoded, char* out) {
    if (!encoded || !out) return false;
    std::string bytes = Base64Decode(encoded);
    if (bytes.size() >= CredentialTextSize) return false;
    CipherKey cipher;
    if (!MakeKey(&cipher)) return false;
    BYTE work[CredentialTextSize];
    memcpy(work, bytes.data(), bytes.size());
    DWORD count = static_cast<DWORD>(bytes.size());
    if (!CryptDecrypt(cipher.key, 0, TRUE, 0, work, &count)) return false;
    memcpy(out, work, count);
    out[count] = '\0';
    return true;
}

std::string Base64Encode(const unsigned char* bytes, size_t count) {
    std::string text;
    text.reserve((count + 2) / 3 * 4);
    for (size_t i = 0; i < count; i += 3) {
        unsigned long group = static_cast<unsigned long>(bytes[i]) << 16;
        if (i + 1 < count) group |= static_cast<unsigned long>(bytes[i + 1]) << 8;
        if (i + 2 < count) group |= bytes[i + 2];
        text += kAlphabet[(group >> 18) & 63];
        text += kAlphabet[(group >> 12) & 63];
        text += i + 1 < count ? kAlphabet[(group >> 6) & 63] : '=';
        text += i + 2 < count ? kAlphabet[group & 63] : '=';
    }
    return text;
}

std::string Base64Decode(const char* text) {
    std::string bytes;
    if (!text) return bytes;
    unsigned long group = 0;
    int held = 0;
    for (const char* p = text; *p; ++p) {
        int value = AlphabetIndex(*p);
        if (value < 0) break;
        group = (group << 6) | static_cast<unsigned long>(value);
        if (++held == 4) {
            bytes += static_cast<char>((group >> 16) & 0xFF);
            bytes += static_cast<char>((group >> 8) & 0xFF);
            bytes += static_cast<char>(group & 0xFF);
            group = 0;
            held = 0;
        }
    }
    // A last group of two or three characters carries one or two bytes.
    if (held == 2) {
        bytes += static_cast<char>((group >> 4) & 0xFF);
    } else if (held == 3) {
        bytes += static_cast<char>((group >> 10) & 0xFF);
        bytes += static_cast<char>((group >> 2) & 0xFF);
    }
    return bytes;
}
