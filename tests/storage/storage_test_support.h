// Shared by the storage tests: a fresh settings record, a scratch folder, whole-file access.
#pragma once

#include "storage/settings.h"

#include <windows.h>
#include <string.h>

#include <string>

// Puts the process-wide record back to the state of a fresh start.
inline void FreshSettings() {
    memset(g_settings.host, 0, sizeof g_settings.host);
    memset(g_settings.directory, 0, sizeof g_settings.directory);
    memset(g_settings.port, 0, sizeof g_settings.port);
    memset(g_settings.user, 0, sizeof g_settings.user);
    memset(g_settings.password, 0, sizeof g_settings.password);
    g_settings.remember = false;
    g_settings.state = SettingsState::Initial;
}

inline bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline bool IsFolderPath(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The whole content of a file; empty when it cannot be read.
inline std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

inline bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

inline void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

// A new empty folder under the temporary folder, removed with everything in it.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        char base[MAX_PATH];
        DWORD length = GetTempPathA(sizeof base, base);
        if (length == 0 || length >= sizeof base) return;
        for (unsigned attempt = 0; attempt < 1000; ++attempt) {
            std::string candidate = std::string(base) + "pwst" + std::to_string(GetCurrentProcessId()) + "_" +
                                    std::to_string(GetTickCount() + attempt);
            if (CreateDirectoryA(candidate.c_str(), nullptr)) {
                path = candidate;
                return;
            }
        }
    }
    ~ScratchFolder() {
        if (!path.empty()) RemoveTree(path);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
};
