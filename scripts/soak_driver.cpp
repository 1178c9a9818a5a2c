// Drives Pagewren.exe for a soak (scripts/soak.sh): signs in with a short token lifetime so
// the program refreshes every few seconds, meets each recoverable fault once, then lets every
// tenth refresh meet a random one, each time signing in again from the tray menu. Every few
// seconds it writes the refresh count and the program's handle, thread and GDI counts to a
// file the soak script samples.
// Usage: soak_driver SECONDS STATUS_FILE [FAULT_EVERY]: a fault every FAULT_EVERY refreshes
// (10; 0 for none), or "drip": after the sign-in every refresh meets an answer dripped a byte
// every 5 s, for the whole run, and the program retries as it does in an outage (the count
// column is then the refresh requests the server saw). Exit code 0 when every sign-in succeeded.
#include "e2e/fake_tray.h"
#include "e2e/program_driver.h"
#include "res/resource.h"
#include "support/kept_credentials.h"
#include "support/refserver_control.h"
#include "support/texts.h"

#include <winternl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char kEmail[] = "demo@pagewren.test";
const char kPassword[] = "pagewren-demo";
const DWORD kStepMs = 60000;
const char* const kFaults[] = {"reject", "error", "empty", "malformed", "huge", "status500",
                               "expired", "soon", "close", "slow&seconds=1", "longtoken", "bomb"};
const size_t kFaultCount = sizeof kFaults / sizeof kFaults[0];

size_t SignedInCalls() {
    size_t count = 0;
    for (const TrayCall& call : TrayCalls()) count += call.tip == kSignedIn;
    return count;
}

bool WaitForSignedIn(size_t before) {
    return WaitUntil([&] { return SignedInCalls() > before && CurrentTrayTip() == kSignedIn; }, kStepMs);
}

// Signs in from the tray menu, closing first any box the fault brought.
bool SignInFromTray(const ProgramRun& run, HWND main) {
    size_t before = SignedInCalls();
    (void)PostMessageA(main, WM_COMMAND, ID_SIGN_IN, 0);
    HWND dialog = nullptr;
    if (!WaitUntil([&] {
            HWND box = FindProgramDialog(run, "Pagewren", 0xFFFF);
            if (box) (void)PostMessageA(box, WM_COMMAND, IDOK, 0);
            return (dialog = FindProgramDialog(run, "Pagewren", IDC_EMAIL)) != nullptr;
        }, kStepMs))
        return false;
    PressEnter(dialog, IDC_PASSWORD);
    return WaitForSignedIn(before);
}

// Lets the next refresh meet fault, then signs in again from the tray menu.
bool MeetFault(const ProgramRun& run, HWND main, const char* fault) {
    size_t logBefore = ServerLog().size();
    const size_t signedIn = SignedInCalls();
    if (!ControlServer(std::string("fault?script=tray.php&mode=") + fault)) return false;
    // Only the next refresh meets it. A slow answer still signs the program in; until it has,
    // a sign-in from the tray would find the session back by itself and open no dialog.
    const bool slow = strncmp(fault, "slow", 4) == 0;
    if (!WaitUntil([&] { return FaultMetSince(logBefore); }, kStepMs) ||
        !ControlServer("fault?script=tray.php&mode=none") ||
        (slow && !WaitUntil([&] { return SignedInCalls() > signedIn; }, kStepMs))) {
        fprintf(stderr, "soak: no refresh met %s\n", fault);
        return false;
    }
    if (SignInFromTray(run, main)) return true;
    fprintf(stderr, "soak: no sign-in from the tray after %s\n", fault);
    return false;
}

// The handle and thread counts of a process from the system's process list; GetProcessHandleCount
// answers 0 for another process under Wine.
bool ProcessCounts(DWORD processId, ULONG* handles, ULONG* threads) {
    // Looked up rather than imported: the import check allows only the documented system DLLs.
    typedef LONG(NTAPI * Query)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    Query query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<BYTE> buffer(1 << 20);
    ULONG needed = 0;
    if (!query || query(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) != 0)
        return false;
    for (size_t at = 0;;) {
        const SYSTEM_PROCESS_INFORMATION* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(&buffer[at]);
        if (reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId) == processId) {
            *handles = entry->HandleCount;
            *threads = entry->NumberOfThreads;
            return true;
        }
        if (entry->NextEntryOffset == 0) return false;
        at += entry->NextEntryOffset;
    }
}

bool WriteStatus(const char* path, const ProgramRun& run, unsigned refreshes, unsigned faults) {
    ULONG handles = 0, threads = 0;
    if (!ProcessCounts(run.process.dwProcessId, &handles, &threads)) return false;
    // Wine keeps no GDI count and answers 0; on Windows this is the figure to watch.
    DWORD gdi = GetGuiResources(run.process.hProcess, GR_GDIOBJECTS);
    // Written aside and moved into place, so that the soak script never reads half a line.
    const std::string aside = std::string(path) + ".new";
    FILE* out = fopen(aside.c_str(), "wb");
    if (!out) return false;
    fprintf(out, "%u %u %lu %lu %lu\n", refreshes, faults, handles, threads, gdi);
    return fclose(out) == 0 && MoveFileExA(aside.c_str(), path, MOVEFILE_REPLACE_EXISTING);
}

// Lets every refresh meet a dripped answer until the end, starting the first one with a tick of
// the refresh timer; the token lasts the whole run, so the program keeps retrying.
int DripRun(ProgramRun& run, HWND main, DWORD durationMs, const char* statusPath) {
    if (!ControlServer("fault?script=tray.php&mode=drip&seconds=5")) return 1;
    (void)PostMessageA(main, WM_TIMER, IDT_REFRESH, 0);
    int failures = 0;
    unsigned refreshes = 0;
    // The wait runs the fake tray's messages: the program's tray calls wait for them.
    for (DWORD start = GetTickCount(); GetTickCount() - start < durationMs && failures == 0;
         (void)WaitUntil([] { return false; }, 5000)) {
        refreshes = static_cast<unsigned>(ServerLog().size());
        if (!WriteStatus(statusPath, run, refreshes, 0)) ++failures;
    }
    if (!ControlServer("reset") || WaitForProgramExit(run, 0) != STILL_ACTIVE) ++failures;
    printf("%u refresh requests met the drip, %d failures\n", refreshes, failures);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int Fail(const char* step) {
    fprintf(stderr, "soak: %s failed\n", step);
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: %s SECONDS STATUS_FILE [FAULT_EVERY]\n", argv[0]);
        return 2;
    }
    const bool drip = argc == 4 && strcmp(argv[3], "drip") == 0;
    const unsigned faultEvery = argc == 4 ? static_cast<unsigned>(atoi(argv[3])) : 10;
    const DWORD durationMs = static_cast<DWORD>(atoi(argv[1])) * 1000;
    // As a user has it who ticked "Remember me": the password kept by Windows.
    if (!StartFakeTray() || !ControlServer("reset") || !ControlServer(drip ? "lifetime?seconds=86400" : "lifetime?seconds=303") ||
        !KeepCredential("Pagewren:http://127.0.0.1:" + TestServerPortText(), kEmail, kPassword))
        return Fail("set-up");
    if (!WriteUserConfig("<config><server host=\"127.0.0.1\" directory=\"/\" port=\"" + TestServerPortText() +
                         "\"><user>" + kEmail + "</user></server></config>"))
        return Fail("writing config.xml");
    ProgramRun run;
    if (!LaunchProgram(&run)) return Fail("starting the program");
    HWND dialog = nullptr;
    if (!WaitUntil([&] { return (dialog = FindProgramDialog(run, "Pagewren", IDC_EMAIL)) != nullptr; }, kStepMs)) return Fail("waiting for the dialog");
    PressEnter(dialog, IDC_PASSWORD);
    if (!WaitForSignedIn(0)) return Fail("signing in");
    HWND main = FindMainWindow();
    if (drip) {
        const int rc = DripRun(run, main, durationMs, argv[2]);
        StopProgram(run);
        StopFakeTray();
        return rc;
    }

    // Warm-up: every fault once, so that what the first of each costs (first use of a code
    // path, caches that fill once) is paid before the first sample.
    int failures = 0;
    if (faultEvery) {
        for (const char* fault : kFaults) failures += !MeetFault(run, main, fault);
        printf("warm-up: met each of the %u faults once\n", static_cast<unsigned>(kFaultCount));
        fflush(stdout);
    }

    unsigned refreshes = 0, faults = 0, seed = GetTickCount();
    size_t seen = SignedInCalls();
    DWORD start = GetTickCount(), lastStatus = 0;
    while (GetTickCount() - start < durationMs && failures == 0) {
        // Each successful refresh brings the tray up to date once.
        if (!WaitUntil([&] { return SignedInCalls() > seen; }, kStepMs)) ++failures;
        const size_t now = SignedInCalls();
        refreshes += static_cast<unsigned>(now - seen);
        seen = now;
        if (faultEvery && refreshes / faultEvery > faults) {
            ++faults;
            seed = seed * 1103515245u + 12345u;
            const char* fault = kFaults[(seed >> 16) % kFaultCount];
            failures += !MeetFault(run, main, fault);
            // The sign-in after it is not a refresh.
            seen = SignedInCalls();
            printf("refresh %u met %s\n", refreshes, fault);
            fflush(stdout);
        }
        if (GetTickCount() - lastStatus >= 5000) {
            lastStatus = GetTickCount();
            if (!WriteStatus(argv[2], run, refreshes, faults)) ++failures;
        }
    }
    if (WaitForProgramExit(run, 0) != STILL_ACTIVE) ++failures;
    StopProgram(run);
    StopFakeTray();
    printf("%u refreshes, %u faults, %d failures\n", refreshes, faults, failures);
    return failures == 0 ? 0 : 1;
}
