// The password cipher of the configuration file: RC4 keyed with the MD5 digest of a
// built-in pass phrase, stored as Base64 text.
#pragma once

#include <stddef.h>

#include <string>

enum : size_t {
    // Both operations write into a caller's buffer of this size.
    CredentialTextSize = 4096,
    // The longest password whose Base64 text still fits CredentialTextSize.
    CredentialMaxPlainBytes = 3069,
};

// Encrypts a password into Base64 text in out; false (out untouched) when the cipher is
// unavailable or the password is longer than CredentialMaxPlainBytes.
bool EncryptCredential(const char* plain, char* out);
// Decrypts Base64 text into the password in out; false (out untouched) when the cipher fails.
bool DecryptCredential(const char* encoded, char* out);

// Standard Base64 with "=" fill and no line breaks.
std::string Base64Encode(const unsigned char* bytes, size_t count);
// The bytes of text up to its first "=" or character outside the alphabet.
std::string Base64Decode(const char* text);
