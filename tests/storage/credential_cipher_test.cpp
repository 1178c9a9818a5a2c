#include "storage/credential_cipher.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

namespace {

// A password of n printable bytes that differs from one length to the next.
std::string PasswordOfLength(size_t n) {
    std::string text(n, 'a');
    for (size_t i = 0; i < n; ++i) text[i] = static_cast<char>(33 + (i * 7 + n) % 94);
    return text;
}

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

TEST(CredentialCipher, KnownPasswordGivesTheSameStoredTextEverywhere) {
    EXPECT_EQ("FYdbhFa7/JU=", Encrypted("password"));
    EXPECT_EQ("password", Decrypted("FYdbhFa7/JU="));
}

TEST(CredentialCipher, EmptyPasswordIsEmptyText) {
    EXPECT_EQ("", Encrypted(""));
    EXPECT_EQ("", Decrypted(""));
}

TEST(CredentialCipher, ShortPasswordsArePaddedToFourCharacters) {
    struct {
        const char* plain;
        const char* tail;
    } cases[] = {{"a", "=="}, {"ab", "="}, {"abc", ""}};
    for (const auto& c : cases) {
        std::string text = Encrypted(c.plain);
        ASSERT_EQ(4u, text.size()) << c.plain;
        size_t fill = text.size() - text.find_last_not_of('=') - 1;
        EXPECT_EQ(strlen(c.tail), fill) << c.plain;
        EXPECT_EQ(c.plain, Decrypted(text));
    }
}

TEST(CredentialCipher, PasswordsUpToTheLimitRoundTrip) {
    // Every short length and a spread up to the limit: the key stream is the same for all,
    // so only the lengths matter, and each cipher call costs milliseconds under Wine.
    for (size_t n = 0; n <= CredentialMaxPlainBytes; n += n < 32 ? 1 : 61) {
        for (size_t length : {n, CredentialMaxPlainBytes - n % 3}) {
            std::string plain = PasswordOfLength(length);
            char encoded[CredentialTextSize];
            ASSERT_TRUE(EncryptCredential(plain.c_str(), encoded)) << length;
            ASSERT_EQ((length + 2) / 3 * 4, strlen(encoded)) << length;
            char decoded[CredentialTextSize];
            ASSERT_TRUE(DecryptCredential(encoded, decoded)) << length;
            ASSERT_EQ(plain, decoded) << length;
        }
    }
}

TEST(CredentialCipher, PasswordOverTheLimitIsRefusedAndOutputUntouched) {
    std::string plain = PasswordOfLength(CredentialMaxPlainBytes + 1);
    char out[CredentialTextSize] = "untouched";
    EXPECT_FALSE(EncryptCredential(plain.c_str(), out));
    EXPECT_STREQ("untouched", out);
}

TEST(CredentialCipher, LineBreakEndsTheStoredText) {
    std::string text = Encrypted("password");
    std::string broken = text.substr(0, 4) + "\r\n" + text.substr(4);
    EXPECT_EQ("pas", Decrypted(broken));
}

TEST(CredentialCipher, ZeroCipherByteDecryptsInFull) {
    // The key stream is fixed, so a plain byte equal to it encrypts to zero.
    std::string probe(8, 'A');
    std::string stream = Base64Decode(Encrypted(probe).c_str());
    ASSERT_EQ(probe.size(), stream.size());
    size_t at = 0;
    while (at < probe.size() && static_cast<char>(stream[at] ^ 'A') == '\0') ++at;
    ASSERT_LT(at, probe.size());
    std::string plain = probe;
    plain[at] = static_cast<char>(stream[at] ^ 'A');
    std::string text = Encrypted(plain);
    std::string cipher = Base64Decode(text.c_str());
    ASSERT_EQ(plain.size(), cipher.size());
    EXPECT_EQ('\0', cipher[at]);
    EXPECT_EQ(plain, Decrypted(text));
}

TEST(Base64, EncodesTheStandardVectors) {
    const char* const vectors[][2] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},       {"foo", "Zm9v"},
                                      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    for (const auto& v : vectors) {
        EXPECT_EQ(v[1], Base64Encode(reinterpret_cast<const unsigned char*>(v[0]), strlen(v[0])));
        EXPECT_EQ(v[0], Base64Decode(v[1]));
    }
    const unsigned char high[] = {0xFB, 0xFF, 0x00};
    EXPECT_EQ("+/8A", Base64Encode(high, sizeof high));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(high), sizeof high), Base64Decode("+/8A"));
}

TEST(Base64, EveryLengthUpToTheCipherLimitRoundTrips) {
    std::string bytes;
    for (size_t n = 0; n <= CredentialMaxPlainBytes; ++n) {
        std::string text = Base64Encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        ASSERT_EQ((n + 2) / 3 * 4, text.size()) << n;
        ASSERT_LT(text.size(), static_cast<size_t>(CredentialTextSize)) << n;
        ASSERT_EQ(bytes, Base64Decode(text.c_str())) << n;
        bytes += static_cast<char>(n * 37 % 256);
    }
}

TEST(Base64, DecodingStopsAtTheFirstCharacterOutsideTheAlphabet) {
    const char* const cases[][2] = {
        {"Zm9vYmFy", "foobar"}, {"Zm9v YmFy", "foo"}, {"Zm9v\nYmFy", "foo"}, {"Zm9v=YmFy", "foo"},
        {"Zm9vY", "foo"},       {"Zm9vYg", "foob"},   {"Zm9v!", "foo"},      {"-Zm9v", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c[1], Base64Decode(c[0])) << c[0];
    EXPECT_EQ("", Base64Decode(nullptr));
}

}  // namespace
