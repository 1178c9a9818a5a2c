#include "storage/support_log.h"

#include "storage/scoped_lock.h"
#include "storage/storage_paths.h"
#include "storage/text_encoding.h"

#include <stdarg.h>
#include <string.h>

DWORD g_supportLogLimit;

namespace {

enum : int {
    EventSize = 1025,  // wvsprintfA and wvsprintfW write at most 1024 characters and the NUL
    PrefixSize = 64,
    LineSize = PrefixSize + 3 * EventSize,  // UTF-8 takes up to three bytes per character here
};

const char kLogName[] = "Pagewren.log";
const char kOlderLogName[] = "Pagewren.1.log";
const char kToken[] = "token=";
const char kTokenMark[] = "<token>";
const char kAction[] = "&action=";

// Set once by StartSupportLog before any other thread runs; only read afterwards.
bool s_started;
char s_path[MAX_PATH];
char s_olderPath[MAX_PATH];
DWORD s_roleSlot;
// Keeps the lines of several threads whole and in order, and the file's turn with them.
CRITICAL_SECTION s_lock;

bool JoinPath(const char* folder, const char* name, char* out) {
    if (strlen(folder) + strlen(name) >= MAX_PATH) return false;
    lstrcpynA(out, folder, MAX_PATH);
    lstrcatA(out, name);
    return true;
}

HANDLE OpenLog() {
    // Shared every way, so that the file can be read, copied or deleted while the program runs.
    return CreateFileA(s_path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Appends the line, first turning a file that would grow past the limit into the older one.
// When the turn fails (another program holds the older file) the line is dropped, so the two
// files never grow past their bound.
void WriteLine(const char* line, DWORD length) {
    HANDLE file = OpenLog();
    if (file == INVALID_HANDLE_VALUE) return;
    const DWORD limit = g_supportLogLimit ? g_supportLogLimit : SupportLogLimit;
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    if (size != INVALID_FILE_SIZE && size > 0 && (high || size + length > limit)) {
        (void)CloseHandle(file);
        if (!MoveFileExA(s_path, s_olderPath, MOVEFILE_REPLACE_EXISTING)) return;
        file = OpenLog();
        if (file == INVALID_HANDLE_VALUE) return;
    }
    DWORD written = 0;
    (void)WriteFile(file, line, length, &written, nullptr);
    (void)CloseHandle(file);
}

// The time and role, then the event in UTF-8 with control characters made spaces; its length.
int FormatLine(wchar_t* event, char* line) {
    SYSTEMTIME now;
    GetSystemTime(&now);
    const char* role = s_roleSlot ? static_cast<const char*>(TlsGetValue(s_roleSlot - 1)) : nullptr;
    int length = wsprintfA(line, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ %s ", now.wYear, now.wMonth, now.wDay,
                           now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, role ? role : "main");
    for (wchar_t* c = event; *c; ++c)
        if (*c < L' ') *c = L' ';
    const int made = WideCharToMultiByte(CP_UTF8, 0, event, -1, line + length, LineSize - length - 2, nullptr, nullptr);
    length += made > 0 ? made - 1 : 0;
    line[length++] = '\r';
    line[length++] = '\n';
    return length;
}

void WriteEvent(wchar_t* event) {
    char line[LineSize];
    ScopedLock hold(s_lock);
    const int length = FormatLine(event, line);
    WriteLine(line, static_cast<DWORD>(length));
}

// Appends count bytes of text to out, cut to its capacity.
void AppendCut(char* out, size_t capacity, size_t* used, const char* text, size_t count) {
    if (count > capacity - 1 - *used) count = capacity - 1 - *used;
    memcpy(out + *used, text, count);
    *used += count;
    out[*used] = '\0';
}

}  // namespace

bool StartSupportLog() {
    if (s_started) return true;
    char folder[MAX_PATH];
    if (!GetStorageFolder(StorageScope::CurrentUser, folder) || !CreateFolderPath(folder) ||
        !JoinPath(folder, kLogName, s_path) || !JoinPath(folder, kOlderLogName, s_olderPath)) {
        return false;
    }
    const DWORD slot = TlsAlloc();
    if (slot == TLS_OUT_OF_INDEXES) return false;
    s_roleSlot = slot + 1;
    InitializeCriticalSection(&s_lock);
    s_started = true;
    return true;
}

void SetLogThreadRole(const char* role) {
    if (s_roleSlot) (void)TlsSetValue(s_roleSlot - 1, const_cast<char*>(role));
}

void LogEvent(const char* format, ...) {
    if (!s_started) return;
    char event[EventSize];
    va_list arguments;
    va_start(arguments, format);
    (void)wvsprintfA(event, format, arguments);
    va_end(arguments);
    wchar_t wide[EventSize];
    (void)TextToWideBuffer(event, CP_ACP, wide, EventSize);
    WriteEvent(wide);
}

void LogEventW(const wchar_t* format, ...) {
    if (!s_started) return;
    wchar_t event[EventSize];
    va_list arguments;
    va_start(arguments, format);
    (void)wvsprintfW(event, format, arguments);
    va_end(arguments);
    WriteEvent(event);
}

void RedactToken(const char* address, char* out, size_t capacity) {
    if (capacity == 0) return;
    out[0] = '\0';
    size_t used = 0;
    const char* value = strstr(address, kToken);
    if (!value) return AppendCut(out, capacity, &used, address, strlen(address));
    value += sizeof kToken - 1;
    // The token goes into the address as it is, "&" and all, and the program's own "&action="
    // follows it last; without one, everything after "token=" counts as the token.
    const char* rest = value + strlen(value);
    for (const char* action = strstr(value, kAction); action; action = strstr(action + 1, kAction)) rest = action;
    AppendCut(out, capacity, &used, address, static_cast<size_t>(value - address));
    AppendCut(out, capacity, &used, kTokenMark, sizeof kTokenMark - 1);
    AppendCut(out, capacity, &used, rest, strlen(rest));
}
