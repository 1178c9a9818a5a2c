#include "storage/credential_cipher.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

std::string Encrypted(const std::string& plain) {
    char out[CredentialTextSize] = "";
    EXPECT_TRUE(EncryptCredential(plain.c_str(), out));
    return out;
}

std::string Decoded(const std::string& text) {
    unsigned char bytes[CredentialTextSize];
    size_t count = 0;
    EXPECT_TRUE(Base64Decode(text.c_str(), bytes, sizeof bytes, &count));
    return std::string(reinterpret_cast<const char*>(bytes), count);
}

std::string Decrypted(const std::string& encoded) {
    char out[CredentialTextSize] = "untouched";
    EXPECT_TRUE(DecryptCredential(encoded.c_str(), out));
    return out;
}

TEST(CredentialCipher, KnownVectorAndPadding) {
    EXPECT_EQ("FYdbhFa7/JU=", Encrypted("password"));
    EXPECT_EQ("password", Decrypted("FYdbhFa7/JU="));
    const unsigned char lastOfTheAlphabet[] = {0xFB, 0xFF};
    char encoded[5];
    ASSERT_TRUE(Base64Encode(lastOfTheAlphabet, sizeof lastOfTheAlphabet, encoded, sizeof encoded));
    EXPECT_STREQ("+/8=", encoded);
    EXPECT_FALSE(Base64Encode(lastOfTheAlphabet, sizeof lastOfTheAlphabet, encoded, 4)) << "no room for the NUL";
    const char* const cases[][2] = {{"", ""}, {"a", "=="}, {"ab", "="}, {"abc", ""}};
    for (const auto& c : cases) {
        std::string text = Encrypted(c[0]);
        EXPECT_EQ(*c[0] ? 4u : 0u, text.size()) << c[0];
        EXPECT_EQ(strlen(c[1]), text.size() - (text.find_last_not_of('=') + 1)) << c[0];
        EXPECT_EQ(c[0], Decrypted(text));
    }
}

TEST(CredentialCipher, RoundTripsUpToTheLimitAndRefusesOneByteMore) {
    // The key stream is the same for every password, so a spread of lengths suffices;
    // each cipher call costs milliseconds under Wine.
    for (size_t n = 0; n <= CredentialMaxPlainBytes; n += n < 32 ? 1 : 61) {
        for (size_t length : {n, CredentialMaxPlainBytes - n % 3}) {
            std::string plain(length, ' ');
            for (size_t i = 0; i < length; ++i) plain[i] = static_cast<char>(33 + (i * 7 + length) % 94);
            std::string text = Encrypted(plain);
            ASSERT_EQ((length + 2) / 3 * 4, text.size()) << length;
            ASSERT_EQ(plain, Decrypted(text)) << length;
        }
    }
    std::string over(CredentialMaxPlainBytes + 1, 'p');
    char out[CredentialTextSize] = "untouched";
    EXPECT_FALSE(EncryptCredential(over.c_str(), out));
    EXPECT_STREQ("untouched", out);
}

TEST(CredentialCipher, LineBreakEndsTheStoredTextButAZeroCipherByteDoesNot) {
    std::string text = Encrypted("password");
    EXPECT_EQ("pas", Decrypted(text.substr(0, 4) + "\r\n" + text.substr(4)));

    // The key stream is fixed, so a plain byte equal to it encrypts to zero.
    std::string key = Decoded(Encrypted(std::string(8, 'A')));
    for (char& k : key) k ^= 'A';
    size_t at = key.find_first_not_of('\0');
    ASSERT_LT(at, key.size());
    std::string plain(8, 'A');
    plain[at] = key[at];
    text = Encrypted(plain);
    ASSERT_EQ('\0', Decoded(text).at(at));
    EXPECT_EQ(plain, Decrypted(text));
}

}  // namespace
