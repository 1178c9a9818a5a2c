// The password cipher of earlier versions' configuration files: RC4 keyed with the MD5 digest
// of a built-in pass phrase, stored as Base64 text. It is only read, so that such a file still
// signs in; Windows keeps the password from then on.
#pragma once

#include <stddef.h>

// The caller's buffer for the password holds this many bytes.
enum : size_t { CredentialTextSize = 4096 };

// Decrypts Base64 text into the password in out; false (out untouched) when the cipher fails.
bool DecryptCredential(const char* encoded, char* out);

// The bytes of text up to its first "=" or character outside the alphabet, into out, their
// number into count; false when they do not fit capacity.
bool Base64Decode(const char* text, unsigned char* out, size_t capacity, size_t* count);
