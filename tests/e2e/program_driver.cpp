#include "e2e/program_driver.h"

#include "support/files.h"

#include "res/resource.h"

#include <shlobj.h>
#include <stdlib.h>

namespace {

struct DialogSearch {
    DWORD processId;
    const char* title;
    int controlId;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM lParam) {
    DialogSearch* search = reinterpret_cast<DialogSearch*>(lParam);
    DWORD owner = 0;
    (void)GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
    char className[64] = {};
    char title[256] = {};
    (void)GetClassNameA(window, className, sizeof className);
    (void)GetWindowTextA(window, title, sizeof title);
    if (lstrcmpA(className, "#32770") != 0 || lstrcmpA(title, search->title) != 0) return TRUE;
    if (search->controlId != 0 && !GetDlgItem(window, search->controlId)) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

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

bool LaunchProgram(ProgramRun* run) {
    const char* path = getenv("PAGEWREN_EXE");
    if (!path || !*path) return false;
    char commandLine[MAX_PATH + 2] = {};
    wsprintfA(commandLine, "\"%s\"", path);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    return CreateProcessA(path, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &run->process) != FALSE;
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
    (void)CloseHandle(run.process.hThread);
    (void)CloseHandle(run.process.hProcess);
    run.process = PROCESS_INFORMATION();
}

HWND FindMainWindow() { return FindWindowA("Pagewren", "Pagewren"); }

HWND FindProgramDialog(const ProgramRun& run, const char* title, int controlId) {
    DialogSearch search = {run.process.dwProcessId, title, controlId, nullptr};
    (void)EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string ControlText(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    if (!control) return std::string();
    char text[4096] = {};
    (void)SendMessageA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

bool ControlVisible(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    return control && IsWindowVisible(control);
}

void SetControlText(HWND dialog, int controlId, const char* text) {
    (void)SendMessageA(GetDlgItem(dialog, controlId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void PressEnter(HWND dialog, int controlId) {
    HWND control = GetDlgItem(dialog, controlId);
    (void)PostMessageA(control, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    (void)PostMessageA(control, WM_KEYUP, VK_RETURN, 0xC01C0001);
}

std::string UserConfigPath() {
    char folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder))) return std::string();
    return std::string(folder) + "\\Pagewren\\config.xml";
}

bool WriteUserConfig(const std::string& content) {
    std::string path = UserConfigPath();
    std::string folder = path.substr(0, path.rfind('\\'));
    return !path.empty() && (CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) &&
           WriteFileBytes(path, content);
}

void RemoveUserConfig() { (void)DeleteFileA(UserConfigPath().c_str()); }
