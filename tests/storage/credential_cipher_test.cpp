#include "storage/credential_cipher.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Passwords as earlier versions stored them. Their key stream is fixed, so "password" XOR its
// stored bytes gives the stream, and a plain byte equal to it is stored as a zero byte.
TEST(CredentialCipher, ReadsWhatEarlierVersionsStored) {
    const std::string tooLong(CredentialTextSize / 3 * 4 + 4, 'A');
    const std::pair<const char*, const char*> known[] = {
        {"FYdbhFa7/JU=", "password"},
        {"", ""},
        // A line break ends the stored text.
        {"FYdb\r\nhFa7/JU=", "pas"},
        // The stream's first byte is 0x65 ('e'): "e" is stored as one zero byte.
        {"AA==", "e"},
        // Too long for the buffer: refused, and the buffer left as it was.
        {tooLong.c_str(), nullptr},
    };
    for (const auto& [stored, plain] : known) {
        char out[CredentialTextSize] = "untouched";
        EXPECT_EQ(plain != nullptr, DecryptCredential(stored, out)) << stored;
        EXPECT_STREQ(plain ? plain : "untouched", out) << stored;
    }
}

}  // namespace
