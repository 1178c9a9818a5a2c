// A text that grows on the process heap, for the few texts without a fixed bound: the
// configuration file being written and a server answer being received.
#pragma once

#include <stddef.h>
#include <wchar.h>

// Running out of memory is never ignored: the failing append returns false and the text
// stays failed, so a caller may append several times and test once.
struct HeapText {
    char* bytes = nullptr;  // followed by two zero bytes, so it reads as narrow or wide text
    size_t length = 0;      // bytes in use, the terminator not counted
    size_t capacity = 0;    // bytes allocated
    bool failed = false;

    HeapText() = default;
    ~HeapText();
    HeapText(const HeapText&) = delete;
    HeapText& operator=(const HeapText&) = delete;
};

// Appends count zero bytes and returns where they start, for filling in place; null when
// memory runs out or the text had failed before.
char* AppendRoom(HeapText* text, size_t count);
// Appends count bytes; false when memory runs out or the text had failed before.
bool AppendBytes(HeapText* text, const void* data, size_t count);
// Appends a zero-terminated text without its terminator.
bool AppendText(HeapText* text, const char* s);
// The text as zero-terminated 8-bit or UTF-16 text; empty when nothing was appended.
const char* NarrowText(const HeapText& text);
const wchar_t* WideText(const HeapText& text);
// Frees the memory and empties the text.
void ClearHeapText(HeapText* text);
