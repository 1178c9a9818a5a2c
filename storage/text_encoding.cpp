#include "storage/text_encoding.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

namespace {

struct CharsetName {
    const char* name;
    UINT codePage;
};

// Names without a number in them; "windows-N", "cpN" and "iso-8859-N" are read below.
const CharsetName kCharsetNames[] = {
    {"utf-8", CP_UTF8},        {"utf8", CP_UTF8},         {"utf-16", CodePageUtf16},
    {"utf-16le", CodePageUtf16}, {"utf-16be", CodePageUtf16BigEndian},
    {"us-ascii", 20127},       {"ascii", 20127},          {"latin1", 1252},
    {"koi8-r", 20866},         {"koi8-u", 21866},         {"shift_jis", 932},
    {"sjis", 932},             {"windows-31j", 932},      {"euc-jp", 20932},
    {"iso-2022-jp", 50220},    {"gb2312", 936},           {"gbk", 936},
    {"gb18030", 54936},        {"big5", 950},             {"euc-kr", 949},
    {"ks_c_5601-1987", 949},
};

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The number after prefix in name, or 0 when name is not prefix followed by digits alone.
UINT NumberAfter(const char* name, const char* prefix) {
    const size_t length = strlen(prefix);
    if (strncmp(name, prefix, length) != 0 || name[length] < '0' || name[length] > '9') return 0;
    char* end = nullptr;
    const unsigned long number = strtoul(name + length, &end, 10);
    return *end == '\0' && number < 65536 ? static_cast<UINT>(number) : 0;
}

// The code page of a charset name of length bytes, in any letter case; 0 for one unknown here
// or to the system.
UINT CodePageOfName(const char* text, size_t length) {
    char name[32];
    if (length == 0 || length >= sizeof name) return 0;
    for (size_t i = 0; i < length; ++i) name[i] = AsciiLower(text[i]);
    name[length] = '\0';
    UINT codePage = 0;
    for (const CharsetName& known : kCharsetNames)
        if (strcmp(name, known.name) == 0) codePage = known.codePage;
    if (!codePage) codePage = NumberAfter(name, "windows-");
    if (!codePage) codePage = NumberAfter(name, "cp");
    if (!codePage) {
        // Latin-1 as browsers read it: servers that name it mean the Windows superset.
        const UINT part = NumberAfter(name, "iso-8859-");
        codePage = part == 1 ? 1252 : part ? 28590 + part : 0;
    }
    if (codePage == CP_UTF8 || codePage == CodePageUtf16 || codePage == CodePageUtf16BigEndian) return codePage;
    return codePage && IsValidCodePage(codePage) ? codePage : 0;
}

// Finds key (lower case) in text[0, length) in any letter case and returns the value after
// it and an "=", unquoted, with its length; null when there is none.
const char* FindValue(const char* text, size_t length, const char* key, size_t* valueLength) {
    const size_t keyLength = strlen(key);
    for (size_t at = 0; at + keyLength <= length; ++at) {
        size_t i = 0;
        while (i < keyLength && AsciiLower(text[at + i]) == key[i]) ++i;
        if (i < keyLength) continue;
        size_t p = at + keyLength;
        while (p < length && IsBlank(text[p])) ++p;
        if (p >= length || text[p] != '=') continue;
        ++p;
        while (p < length && IsBlank(text[p])) ++p;
        const char quote = p < length && (text[p] == '"' || text[p] == '\'') ? text[p++] : '\0';
        size_t end = p;
        while (end < length && text[end] != quote && (quote || (text[end] != ';' && !IsBlank(text[end])))) ++end;
        *valueLength = end - p;
        return text + p;
    }
    return nullptr;
}

// The encoding the XML declaration at the start of bytes names; 0 without one.
UINT DeclaredCodePage(const char* bytes, size_t length) {
    if (length < 6 || strncmp(bytes, "<?xml", 5) != 0 || !IsBlank(bytes[5])) return 0;
    size_t end = 5;
    while (end + 1 < length && !(bytes[end] == '?' && bytes[end + 1] == '>')) ++end;
    size_t nameLength = 0;
    const char* name = FindValue(bytes, end, "encoding", &nameLength);
    const UINT codePage = name ? CodePageOfName(name, nameLength) : 0;
    // Bytes that read as ASCII up to here are not UTF-16, whatever they say.
    return codePage == CodePageUtf16 || codePage == CodePageUtf16BigEndian ? 0 : codePage;
}

bool IsUtf8(const char* bytes, size_t length) {
    return length <= INT_MAX &&
           MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(length), nullptr, 0) > 0;
}

bool StartsWith(const char* bytes, size_t length, const char* mark, size_t markLength) {
    return length >= markLength && memcmp(bytes, mark, markLength) == 0;
}

}  // namespace

bool TextToWide(const char* text, UINT codePage, HeapText* out) {
    return BytesToWide(text, text ? strlen(text) : 0, codePage, out);
}

bool WideToText(const wchar_t* text, UINT codePage, HeapText* out) {
    if (out->failed) return false;
    if (!text || !*text) return true;
    const int count = static_cast<int>(wcslen(text));
    const int length = WideCharToMultiByte(codePage, 0, text, count, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return false;
    char* room = AppendRoom(out, static_cast<size_t>(length));
    return room && WideCharToMultiByte(codePage, 0, text, count, room, length, nullptr, nullptr) == length;
}

bool TextToWideBuffer(const char* text, UINT codePage, wchar_t* out, size_t capacity) {
    if (!out || capacity == 0 || capacity > INT_MAX) return false;
    if (text && MultiByteToWideChar(codePage, 0, text, -1, out, static_cast<int>(capacity)) > 0) return true;
    // A call that ran out of room may have written part of the text.
    out[0] = L'\0';
    return false;
}

bool WideToUtf8Buffer(const wchar_t* text, char* out, size_t capacity) {
    if (capacity == 0 || capacity > INT_MAX) return false;
    // What each character takes in UTF-8; a lone surrogate becomes U+FFFD, three bytes.
    size_t units = 0;
    size_t bytes = 0;
    while (text[units]) {
        const wchar_t c = text[units];
        const bool pair = IS_SURROGATE_PAIR(c, text[units + 1]);
        const size_t size = c < 0x80 ? 1 : c < 0x800 ? 2 : pair ? 4 : 3;
        if (bytes + size >= capacity) break;
        bytes += size;
        units += pair ? 2 : 1;
    }
    const int made = units ? WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(units), out,
                                                 static_cast<int>(capacity - 1), nullptr, nullptr)
                           : 0;
    out[made] = '\0';
    return static_cast<size_t>(made) == bytes && text[units] == L'\0';
}

UINT XmlCodePage(const char* bytes, size_t length, const char* contentType) {
    if (StartsWith(bytes, length, "\xEF\xBB\xBF", 3)) return CP_UTF8;
    if (StartsWith(bytes, length, "\xFF\xFE", 2) || StartsWith(bytes, length, "<\0?\0", 4)) return CodePageUtf16;
    if (StartsWith(bytes, length, "\xFE\xFF", 2) || StartsWith(bytes, length, "\0<\0?", 4)) {
        return CodePageUtf16BigEndian;
    }
    UINT codePage = DeclaredCodePage(bytes, length);
    size_t nameLength = 0;
    const char* name =
        !codePage && contentType ? FindValue(contentType, strlen(contentType), "charset", &nameLength) : nullptr;
    if (name) codePage = CodePageOfName(name, nameLength);
    if (!codePage && IsUtf8(bytes, length)) codePage = CP_UTF8;
    return codePage ? codePage : CP_ACP;
}

bool BytesToWide(const char* bytes, size_t length, UINT codePage, HeapText* out) {
    if (out->failed) return false;
    const bool utf16 = codePage == CodePageUtf16 || codePage == CodePageUtf16BigEndian;
    const size_t mark = codePage == CP_UTF8 && StartsWith(bytes, length, "\xEF\xBB\xBF", 3) ? 3
                        : utf16 && (StartsWith(bytes, length, "\xFF\xFE", 2) || StartsWith(bytes, length, "\xFE\xFF", 2))
                            ? 2
                            : 0;
    bytes += mark;
    length -= mark;
    if (length == 0) return true;
    if (utf16) {
        if (length % 2 != 0) return false;
        char* room = AppendRoom(out, length);
        if (!room) return false;
        // UTF-16 text in memory is little-endian.
        const size_t swap = codePage == CodePageUtf16BigEndian ? 1 : 0;
        for (size_t i = 0; i < length; i += 2) {
            room[i] = bytes[i + swap];
            room[i + 1] = bytes[i + 1 - swap];
        }
        return true;
    }
    if (length > INT_MAX) return false;
    const int count = static_cast<int>(length);
    const int made = MultiByteToWideChar(codePage, 0, bytes, count, nullptr, 0);
    if (made <= 0) return false;
    char* room = AppendRoom(out, static_cast<size_t>(made) * sizeof(wchar_t));
    return room && MultiByteToWideChar(codePage, 0, bytes, count, reinterpret_cast<wchar_t*>(room), made) == made;
}
