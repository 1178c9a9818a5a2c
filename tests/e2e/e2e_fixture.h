// Shared set-up of the end-to-end tests: a fake notification area, a reset reference
// server, no configuration file, and the program stopped at the end of every test.
#pragma once

#include "e2e/fake_tray.h"
#include "e2e/program_driver.h"
#include "support/refserver_control.h"

#include <gtest/gtest.h>

#include <string>

// The account the reference server knows from its start.
extern const char kDemoEmail[];
extern const char kDemoPassword[];

// The demo password as earlier versions stored it in config.xml.
extern const char kDemoPasswordOldForm[];
// The Credential Manager's target of the reference server's origin.
std::string TestServerOrigin();

// Waits this long for anything the program does in answer to a step.
const DWORD kStepTimeoutMs = 20000;

// The program's support log beside config.xml, the older file first.
std::string SupportLog();

// Whether a window of the program answers a message within a second.
bool Responsive(HWND window);

// How many refresh requests the server has logged since the last reset.
size_t Refreshes();

struct ProgramTest : ::testing::Test {
    void SetUp() override;
    void TearDown() override;

    // A configuration file that points at the reference server (or at port), with the
    // given remembered credentials when user is not null.
    static std::string ConfigText(int port, const char* user = nullptr, const char* encryptedPassword = nullptr);
    // Starts the program (path from the environment variable) and waits for its sign-in dialog.
    HWND LaunchAndWaitForSignIn(const char* pathVariable = "PAGEWREN_EXE");
    // The same with the demo account remembered in the configuration file.
    HWND LaunchWithDemoAccount(const char* pathVariable = "PAGEWREN_EXE");
    // Waits for the program's sign-in dialog; it, or null.
    HWND WaitForSignInDialog();
    // Waits until the tray tooltip reads tip.
    bool WaitForTrayTip(const char* tip);
    // The program's message box, or null.
    HWND FindMessageBox();

    ProgramRun program;
};
