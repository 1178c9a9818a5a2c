#include "storage/heap_text.h"

#include <windows.h>
#include <string.h>

namespace {

// Room kept after the bytes for a terminator that ends narrow and wide text alike.
const size_t kTerminator = 2;
const size_t kFirstCapacity = 256;

bool Reserve(HeapText* text, size_t needed) {
    if (needed <= text->capacity) return true;
    size_t capacity = text->capacity ? text->capacity : kFirstCapacity;
    while (capacity < needed) {
        if (capacity > static_cast<size_t>(-1) / 2) return false;
        capacity *= 2;
    }
    HANDLE heap = GetProcessHeap();
    void* grown = text->bytes ? HeapReAlloc(heap, 0, text->bytes, capacity) : HeapAlloc(heap, 0, capacity);
    if (!grown) return false;
    text->bytes = static_cast<char*>(grown);
    text->capacity = capacity;
    return true;
}

}  // namespace

HeapText::~HeapText() { ClearHeapText(this); }

char* AppendRoom(HeapText* text, size_t count) {
    if (text->failed) return nullptr;
    if (count > static_cast<size_t>(-1) - text->length - kTerminator ||
        !Reserve(text, text->length + count + kTerminator)) {
        text->failed = true;
        return nullptr;
    }
    char* room = text->bytes + text->length;
    memset(room, 0, count + kTerminator);
    text->length += count;
    return room;
}

bool AppendBytes(HeapText* text, const void* data, size_t count) {
    char* room = AppendRoom(text, count);
    if (room && count) memcpy(room, data, count);
    return room != nullptr;
}

bool AppendText(HeapText* text, const char* s) { return AppendBytes(text, s, strlen(s)); }

const char* NarrowText(const HeapText& text) { return text.bytes ? text.bytes : ""; }

const wchar_t* WideText(const HeapText& text) {
    return text.bytes ? reinterpret_cast<const wchar_t*>(text.bytes) : L"";
}

void ClearHeapText(HeapText* text) {
    if (text->bytes) (void)HeapFree(GetProcessHeap(), 0, text->bytes);
    text->bytes = nullptr;
    text->length = 0;
    text->capacity = 0;
    text->failed = false;
}
