// The password cipher of the configuration file: RC4 keyed with the MD5 digest of a
// built-in pass phrase, stored as Base64 text.
#pragma once

#include <stddef.h>

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

// Standard Base64 with "=" fill and no line breaks, zero-terminated in out; false when the
// text does not fit capacity (which counts the NUL).
bool Base64Encode(const unsigned char* bytes, size_t count, char* out, size_t capacity);
// The bytes of text up to its first "=" or character outside the alphabet, into out, their
// number into count; false when they do not fit capacity.
bool Base64Decode(const char* text, unsigned char* out, size_t capacity, size_t* count);
