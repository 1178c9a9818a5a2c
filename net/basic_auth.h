// Basic authentication written by the program itself: the Authorization header in bytes it
// chooses, and what each origin's server asked for in this run, so that later requests to it
// carry the header from the start.
#pragma once

#include "storage/settings.h"

#include <stddef.h>

// How an origin's server authenticates, as far as this run has seen it.
enum class OriginAuth : int {
    Unknown = 0,    // never challenged a request
    Basic,          // asked for Basic; no form of non-ASCII credentials taken yet
    BasicUtf8,      // took non-ASCII credentials in UTF-8
    BasicCodePage,  // took non-ASCII credentials in the system code page
    ByWinInet,      // asked for another scheme: WinINet answers
};

// Which bytes the credentials go out in.
enum class BasicForm : int { Utf8, CodePage };

// Room for the header line: the name and the base64 of the longest user, ":" and password.
enum : size_t { BasicHeaderSize = 32 + 4 * ((2 * SettingsTextSize + 2) / 3) };

// What this run has learnt of the settings' origin (scheme, host and port in use).
OriginAuth RecallOrigin(const ServerSettings& settings);
// Records how the settings' origin authenticates, for the rest of the run.
void RememberOrigin(const ServerSettings& settings, OriginAuth auth);
// Forgets every origin, as at start.
void ForgetBasicOrigins();

// Whether the UTF-8 credentials hold a character beyond ASCII, so that the two forms differ.
bool CredentialsBeyondAscii(const ServerSettings& settings);
// Writes "Authorization: Basic " and the base64 of user ":" password in the form into header;
// false when the code page lacks one of their characters or header is too small.
bool BuildBasicHeader(const ServerSettings& settings, BasicForm form, char* header, size_t capacity);
