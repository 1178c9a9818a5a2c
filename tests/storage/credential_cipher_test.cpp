#include "storage/credential_cipher.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Decrypted(const std::string& encoded) {
    char out[CredentialTextSize] = "untouched";
    EXPECT_TRUE(DecryptCredential(encoded.c_str(), out)) << encoded;
    return out;
}

// Passwords as earlier versions stored them. Their key stream is fixed, so "password" XOR its
// stored bytes gives the stream, and a plain byte equal to it is stored as a zero byte.
TEST(CredentialCipher, ReadsWhatEarlierVersionsStored) {
    const std::pair<const char*, const char*> known[] = {
        {"FYdbhFa7/JU=", "password"},
        {"FYdPklam658JQW/oHw==", "pagewren-demo"},
        {"", ""},
        // A line break ends the stored text.
        {"FYdb\r\nhFa7/JU=", "pas"},
        // The stream's first byte is 0x65 ('e'): "e" is stored as one zero byte.
        {"AA==", "e"},
    };
    for (const auto& [stored, plain] : known) EXPECT_EQ(plain, Decrypted(stored));

    char out[CredentialTextSize] = "untouched";
    EXPECT_FALSE(DecryptCredential(std::string(CredentialTextSize / 3 * 4 + 4, 'A').c_str(), out));
    EXPECT_STREQ("untouched", out);
}

}  // namespace
