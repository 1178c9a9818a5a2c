// Shared by the tests of the settings and their users: a fresh or filled settings record, a
// scratch folder, whole-file access, and folder lookups that point into the scratch folder.
#pragma once

#include "storage/settings.h"
#include "storage/storage_paths.h"
#include "support/files.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <string>

// Puts the process-wide record back to the state of a fresh start.
inline void FreshSettings() {
    for (char* text : {g_settings.host, g_settings.directory, g_settings.port, g_settings.user, g_settings.password})
        *text = '\0';
    g_settings.remember = g_settings.autoSignIn = g_settings.passwordKept = false;
    g_settings.secure = false;
    g_settings.state = SettingsState::Initial;
}

// Fills the process-wide record.
inline void SetRecord(const char* host, const char* directory, const char* port, const char* user = "",
                      const char* password = "", bool remember = false, bool secure = false) {
    (void)lstrcpynA(g_settings.host, host, sizeof g_settings.host);
    (void)lstrcpynA(g_settings.directory, directory, sizeof g_settings.directory);
    (void)lstrcpynA(g_settings.port, port, sizeof g_settings.port);
    (void)lstrcpynA(g_settings.user, user, sizeof g_settings.user);
    (void)lstrcpynA(g_settings.password, password, sizeof g_settings.password);
    g_settings.remember = remember;
    g_settings.secure = secure;
}

// The whole record as one line, to compare records.
inline std::string RecordText() {
    return std::string(g_settings.host) + "|" + g_settings.directory + "|" + g_settings.port + "|" + g_settings.user +
           "|" + g_settings.password + (g_settings.remember ? "|remember" : "") + (g_settings.secure ? "|https" : "");
}

inline std::string g_localFolder;
inline std::string g_commonFolder;
// Windows 10.
inline DWORD WINAPI FakeVersion() { return 0x0A000006; }

inline HRESULT WINAPI FakeFolderPath(HWND, int folder, HANDLE, DWORD, LPSTR path) {
    lstrcpynA(path, (folder == CSIDL_LOCAL_APPDATA ? g_localFolder : g_commonFolder).c_str(), MAX_PATH);
    return S_OK;
}

// An NT-family system whose data folders are "local" and "common" in a scratch folder.
struct FakeFoldersTest : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(CreateDirectoryA(scratch.c_str(), nullptr));
        g_localFolder = scratch + "\\local";
        g_commonFolder = scratch + "\\common";
        saved = g_storagePlatform;
        g_storagePlatform = {FakeVersion, FakeFolderPath};
        FreshSettings();
    }
    void TearDown() override {
        g_storagePlatform = saved;
        std::error_code ignored;
        (void)std::filesystem::remove_all(scratch, ignored);
    }
    // A new empty folder under the temporary folder, removed with everything in it.
    const std::string scratch = (std::filesystem::temp_directory_path() /
                                 ("pws" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount())))
                                    .string();
    StoragePlatform saved;
};
