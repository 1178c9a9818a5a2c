#include "storage/credential_cipher.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>

#include <string>

namespace {

std::string Encrypted(const std::string& plain) {
    char out[CredentialTextSize] = "";
    EXPECT_TRUE(EncryptCredential(plain.c_str(), out));
    return out;
}

std::string Decrypted(const std::string& encoded) {
    char out[CredentialTextSize] = "untouched";
    EXPECT_TRUE(DecryptCredential(encoded.c_str(), out));
    return out;
}

// The platform's own Base64 reader, to look at the cipher bytes.
std::string CipherBytes(const std::string& text) {
    BYTE bytes[CredentialTextSize];
    DWORD count = sizeof bytes;
    EXPECT_TRUE(CryptStringToBinaryA(text.c_str(), 0, CRYPT_STRING_BASE64, bytes, &count, nullptr, nullptr));
    return std::string(reinterpret_cast<char*>(bytes), count);
}

TEST(CredentialCipher, RoundTripsUpToTheLimitAndRefusesOneByteMore) {
    // The key stream is the same for every password, so a spread of lengths suffices;
    // each cipher call costs milliseconds under Wine.
    for (size_t length = 0; length <= CredentialMaxPlainBytes; length += length < 8 ? 1 : 509) {
        for (size_t n : {length, CredentialMaxPlainBytes - length % 3}) {
            std::string plain(n, ' ');
            for (size_t i = 0; i < n; ++i) plain[i] = static_cast<char>(33 + (i * 7 + n) % 94);
            std::string text = Encrypted(plain);
            ASSERT_EQ((n + 2) / 3 * 4, text.size()) << n;
            ASSERT_EQ(plain, Decrypted(text)) << n;
        }
    }
    char out[CredentialTextSize] = "untouched";
    EXPECT_FALSE(EncryptCredential(std::string(CredentialMaxPlainBytes + 1, 'p').c_str(), out));
    EXPECT_STREQ("untouched", out);
}

TEST(CredentialCipher, LineBreakEndsTheStoredTextButAZeroCipherByteDoesNot) {
    std::string text = Encrypted("password");
    EXPECT_EQ("pas", Decrypted(text.substr(0, 4) + "\r\n" + text.substr(4)));

    // The key stream is fixed, so a plain byte equal to it encrypts to zero.
    std::string key = CipherBytes(Encrypted(std::string(8, 'A')));
    for (char& k : key) k ^= 'A';
    size_t at = key.find_first_not_of('\0');
    ASSERT_LT(at, key.size());
    std::string plain(8, 'A');
    plain[at] = key[at];
    text = Encrypted(plain);
    ASSERT_EQ('\0', CipherBytes(text).at(at));
    EXPECT_EQ(plain, Decrypted(text));
}

}  // namespace
