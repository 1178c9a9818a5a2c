// Where the configuration file lives: the data folders, the storage folder, the file path.
// Every path is a 260-byte buffer (MAX_PATH); a result that would not fit is a failure.
#pragma once

#include <windows.h>

enum class StorageScope : int { AllUsers = 1, CurrentUser = 2 };

// The platform calls behind the data-folder lookups; tests point them at their own folders.
// A null entry, as at start, is the system's own call (GetVersion, SHGetFolderPathA).
struct StoragePlatform {
    DWORD(WINAPI* getVersion)();
    HRESULT(WINAPI* getFolderPath)(HWND owner, int folder, HANDLE token, DWORD flags, LPSTR path);
};
extern StoragePlatform g_storagePlatform;

// The user's local application-data folder, without a trailing backslash.
bool GetUserDataFolder(char* out);
// The all-users application-data folder, without a trailing backslash.
bool GetCommonDataFolder(char* out);
// The drive and directory of the program's own file, with a trailing backslash.
bool GetModuleFolder(char* out);
// The scope's data folder followed by "\Pagewren\" from the string table.
bool GetStorageFolder(StorageScope scope, char* out);
// The scope's storage folder followed by "config.xml" from the string table.
bool GetConfigPath(StorageScope scope, char* out);
// Creates every folder along path that does not exist yet; false at the first that cannot be.
bool CreateFolderPath(const char* path);
