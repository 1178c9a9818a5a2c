// Conversions between the program's three encodings: the system code page (host, directory,
// port, token, paths), UTF-8 (the e-mail address, the password and the server's texts) and
// UTF-16 (the platform's wide calls and the XML component), and how an XML text's bytes are read.
#pragma once

#include <windows.h>
#include <stddef.h>

#include "storage/heap_text.h"

// Code page numbers the platform has no constant for.
enum : UINT { CodePageUtf16 = 1200, CodePageUtf16BigEndian = 1201 };

// Appends zero-terminated text in codePage converted to UTF-16; false when that fails.
bool TextToWide(const char* text, UINT codePage, HeapText* out);
// Appends zero-terminated UTF-16 text converted to codePage; false when that fails.
bool WideToText(const wchar_t* text, UINT codePage, HeapText* out);
// Text in codePage as zero-terminated UTF-16 in out (capacity counts the NUL); false, and an
// empty text, when it does not convert or fit. A text of n bytes always fits in n + 1.
bool TextToWideBuffer(const char* text, UINT codePage, wchar_t* out, size_t capacity);
// UTF-16 text as UTF-8 in out, cut after the last whole character that fits capacity bytes
// (the terminator counted); false when it was cut.
bool WideToUtf8Buffer(const wchar_t* text, char* out, size_t capacity);

// The code page an XML text's bytes are in, as XML reads them: that of a byte-order mark or of
// the declaration's encoding; else of the charset in contentType (a Content-Type header value,
// or null); else UTF-8 when the bytes are valid UTF-8; else the system code page (CP_ACP).
UINT XmlCodePage(const char* bytes, size_t length, const char* contentType);
// Appends the bytes in codePage (UTF-16 of either byte order included) as UTF-16, without a
// byte-order mark; false when they do not convert or memory runs out.
bool BytesToWide(const char* bytes, size_t length, UINT codePage, HeapText* out);
