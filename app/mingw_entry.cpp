// Entry point of the MinGW builds in place of the C runtime's start-up code. The program uses
// none of that code's services (arguments, environment, standard streams, floating-point and
// thread-local set-up, pseudo-relocations); it needs only its static objects built before
// WinMain and destroyed after it. The MSVC build keeps its own runtime's start-up.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

namespace {

using StaticCall = void (*)();

// Destructors of static objects, in the order their constructors registered them.
StaticCall g_exitCalls[16];
int g_exitCallCount;

}  // namespace

extern "C" {

// The static constructors, as the linker lists them: a -1 entry, the constructors, a null entry.
extern StaticCall __CTOR_LIST__[];

// Records a call for the end of the program, as compiled static objects register their
// destructors; -1 when the table is full.
int atexit(StaticCall call) {
    if (g_exitCallCount == static_cast<int>(sizeof g_exitCalls / sizeof g_exitCalls[0])) return -1;
    g_exitCalls[g_exitCallCount++] = call;
    return 0;
}

// Runs the static constructors last to first (the order of the runtime's own start-up), WinMain,
// then the registered calls last to first, and ends the process with WinMain's result.
[[noreturn]] void WinMainCRTStartup() {
    StaticCall* first = __CTOR_LIST__ + 1;
    StaticCall* end = first;
    while (*end) ++end;
    while (end != first) (*--end)();
    // The program takes no arguments and shows no window at start.
    char noArguments[] = "";
    const int exitCode = WinMain(GetModuleHandleA(nullptr), nullptr, noArguments, SW_SHOWDEFAULT);
    while (g_exitCallCount > 0) g_exitCalls[--g_exitCallCount]();
    ExitProcess(static_cast<UINT>(exitCode));
}

}  // extern "C"
