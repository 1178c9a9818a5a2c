#include "e2e/program_driver.h"

#include "support/files.h"

#include "res/resource.h"

#include <shlobj.h>
#include <stdlib.h>

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (condition()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        (void)MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

bool StartProcess(std::string commandLine, ProgramRun* run) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &run->process) != FALSE;
}

bool LaunchProgram(ProgramRun* run, const char* pathVariable) {
    const char* path = getenv(pathVariable);
    return path && *path && StartProcess(std::string("\"") + path + "\"", run);
}

DWORD WaitForProgramExit(ProgramRun& run, DWORD timeoutMs) {
    if (!run.process.hProcess) return 0;
    DWORD code = STILL_ACTIVE;
    (void)WaitUntil([&] { return WaitForSingleObject(run.process.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs);
    if (!GetExitCodeProcess(run.process.hProcess, &code)) code = STILL_ACTIVE;
    return code;
}

void StopProgram(ProgramRun& run) {
    if (!run.process.hProcess) return;
    HWND main = FindMainWindow();
    if (main) (void)PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
    if (WaitForProgramExit(run, 10000) == STILL_ACTIVE) {
        (void)TerminateProcess(run.process.hProcess, 1);
        (void)WaitForSingleObject(run.process.hProcess, 5000);
    }
    CloseProcessHandles(run);
}

void CloseProcessHandles(ProgramRun& run) {
    if (run.process.hThread) (void)CloseHandle(run.process.hThread);
    if (run.process.hProcess) (void)CloseHandle(run.process.hProcess);
    run.process = PROCESS_INFORMATION();
}

HWND FindMainWindow() { return FindWindowA("Pagewren", "Pagewren"); }

HWND FindProgramDialog(const ProgramRun& run, const char* title, int controlId) {
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", title)) != nullptr;) {
        DWORD owner = 0;
        (void)GetWindowThreadProcessId(window, &owner);
        if (owner == run.process.dwProcessId && IsWindowVisible(window) && (!controlId || GetDlgItem(window, controlId)))
            return window;
    }
    return nullptr;
}

std::string KnownFolder(int csidl) {
    char folder[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder)) ? folder : std::string();
}

std::string UserConfigPath() { return KnownFolder(CSIDL_LOCAL_APPDATA) + "\\Pagewren\\config.xml"; }

bool WriteUserConfig(const std::string& content) {
    std::string path = UserConfigPath();
    std::string folder = path.substr(0, path.rfind('\\'));
    return !path.empty() && (CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) &&
           WriteFileBytes(path, content);
}

void RemoveUserConfig() { (void)DeleteFileA(UserConfigPath().c_str()); }
