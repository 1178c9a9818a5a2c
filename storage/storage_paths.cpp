#include "storage/storage_paths.h"

#include "res/resource.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <string.h>

StoragePlatform g_storagePlatform;

namespace {

// Appends text to out, a MAX_PATH buffer; false when the result would not fit.
bool AppendPath(char* out, const char* text) {
    size_t used = strlen(out);
    size_t length = strlen(text);
    if (used + length >= MAX_PATH) return false;
    memcpy(out + used, text, length + 1);
    return true;
}

// Appends a string-table text; a missing string is a failure.
bool AppendString(char* out, UINT id) {
    char text[MAX_PATH];
    if (LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text) <= 0) return false;
    return AppendPath(out, text);
}

bool GetDataFolder(int folder, DWORD type, char* out) {
    if (!out) return false;
    // The Windows 9x family has no per-user data folders: the program's own folder stands in.
    const auto getVersion = g_storagePlatform.getVersion ? g_storagePlatform.getVersion : GetVersion;
    if (getVersion() >= 0x80000000u) return GetModuleFolder(out);
    char path[MAX_PATH];
    memset(path, 0, sizeof path);
    const auto getFolderPath = g_storagePlatform.getFolderPath ? g_storagePlatform.getFolderPath : SHGetFolderPathA;
    if (FAILED(getFolderPath(nullptr, folder, nullptr, type, path))) return false;
    lstrcpynA(out, path, MAX_PATH);
    return true;
}

// True when path names an existing folder (not a file).
bool IsFolder(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool GetUserDataFolder(char* out) { return GetDataFolder(CSIDL_LOCAL_APPDATA, SHGFP_TYPE_CURRENT, out); }

bool GetCommonDataFolder(char* out) { return GetDataFolder(CSIDL_COMMON_APPDATA, SHGFP_TYPE_DEFAULT, out); }

bool GetModuleFolder(char* out) {
    if (!out) return false;
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(GetModuleHandleA(nullptr), path, sizeof path);
    // A result that fills the buffer was cut short.
    if (length == 0 || length >= sizeof path) return false;
    // Cut after the last backslash; PathFindFileNameA knows double-byte characters.
    *PathFindFileNameA(path) = '\0';
    lstrcpynA(out, path, MAX_PATH);
    return true;
}

bool GetStorageFolder(StorageScope scope, char* out) {
    if (!out) return false;
    bool found = false;
    if (scope == StorageScope::AllUsers) {
        found = GetCommonDataFolder(out);
    } else if (scope == StorageScope::CurrentUser) {
        found = GetUserDataFolder(out);
    }
    return found && AppendString(out, IDS_APPDATA_FOLDER);
}

bool GetConfigPath(StorageScope scope, char* out) {
    return GetStorageFolder(scope, out) && AppendString(out, IDS_CONFIG_FILE);
}

bool CreateFolderPath(const char* path) {
    if (!path || strlen(path) >= MAX_PATH) return false;
    char prefix[MAX_PATH] = "";
    bool first = true;
    const char* cursor = path;
    while (*cursor) {
        if (*cursor == '\\') {
            cursor = CharNextA(cursor);
            continue;
        }
        const char* start = cursor;
        while (*cursor && *cursor != '\\') cursor = CharNextA(cursor);
        size_t length = static_cast<size_t>(cursor - start);
        size_t used = strlen(prefix);
        if (first) {
            // The first component, normally the drive, is taken as it is.
            memcpy(prefix, start, length);
            prefix[length] = '\0';
            first = false;
            continue;
        }
        if (used + 1 + length >= sizeof prefix) return false;
        prefix[used] = '\\';
        memcpy(prefix + used + 1, start, length);
        prefix[used + 1 + length] = '\0';
        if (!CreateDirectoryA(prefix, nullptr)) {
            // A file of that name is no folder to write into.
            if (GetLastError() != ERROR_ALREADY_EXISTS || !IsFolder(prefix)) return false;
        }
    }
    return !first;
}
