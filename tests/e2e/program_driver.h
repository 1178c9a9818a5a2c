// Runs Pagewren.exe as a separate process and looks at it from outside: its windows,
// their texts, its configuration file and its exit code. Every wait pumps this thread's
// messages, since the program's tray calls are sent to a window of the test process.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "support/controls.h"

struct ProgramRun {
    PROCESS_INFORMATION process = {};
};

// Polls condition, pumping messages, until it holds or timeoutMs pass.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// Starts a process with the command line; false when it cannot be started.
bool StartProcess(std::string commandLine, ProgramRun* run);
// Starts Pagewren.exe (path from the environment variable, PAGEWREN_EXE unless named); false
// when it cannot be started.
bool LaunchProgram(ProgramRun* run, const char* pathVariable = "PAGEWREN_EXE");
// Waits for the process to end; its exit code, or STILL_ACTIVE on time-out.
DWORD WaitForProgramExit(ProgramRun& run, DWORD timeoutMs);
// Asks the program to exit through its Exit command, then ends it by force if it lingers.
void StopProgram(ProgramRun& run);
// Closes the handles of a process that has ended.
void CloseProcessHandles(ProgramRun& run);

// The hidden main window of the running program, or null.
HWND FindMainWindow();
// A visible dialog of the program whose title is title and that holds a control with id
// controlId (0: any), or null.
HWND FindProgramDialog(const ProgramRun& run, const char* title, int controlId);
// A folder of the shell (CSIDL_*), or "" when it has none.
std::string KnownFolder(int csidl);
// The per-user configuration file the program reads and writes.
std::string UserConfigPath();
// Writes the per-user configuration file, creating its folder.
bool WriteUserConfig(const std::string& content);
// Deletes the per-user configuration file if it exists.
void RemoveUserConfig();
