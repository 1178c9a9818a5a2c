// The real hidden main window, and worker results that land while a real modal loop runs.
#include "fake_platform.h"

#include "app/kept_results.h"
#include "app/main_window.h"
#include "app/message_loop.h"
#include "app/report_result.h"
#include "app/request_thread.h"
#include "app/sign_in_flow.h"
#include "res/resource.h"

namespace {

TEST_F(ControllerTest, MainWindowStaysHiddenAndExitEndsTheLoop) {
    lstrcpynA(g_app.className, "PagewrenTest", sizeof g_app.className);
    HWND window = CreateMainWindow(GetModuleHandleA(NULL));
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(GetDesktopWindow(), GetAncestor(window, GA_PARENT)) << "message-only windows miss broadcasts";
    (void)ShowWindow(window, SW_SHOWNORMAL);
    (void)SetWindowPos(window, HWND_TOP, 10, 10, 200, 100, SWP_SHOWWINDOW);
    EXPECT_FALSE(IsWindowVisible(window));

    g_app.state = SignedIn;
    EXPECT_EQ(0, SendMessageA(window, WM_COMMAND, IDM_EXIT, 0));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(std::vector<UINT_PTR>{IDT_REFRESH}, g_fake.timersKilled);
    EXPECT_EQ(DWORD(NIM_DELETE), g_fake.trayOperations.back());
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, message.wParam);

    // A worker result still queued at exit shows nothing.
    HandleWorkerResult(CheckServer, 1);
    EXPECT_TRUE(g_fake.dialogs.empty());
}

// Closes this thread's open message box; set as a thread timer while it is open.
void CALLBACK CloseMessageBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = FindWindowA("#32770", "Pagewren");
    if (!box) return;
    (void)KillTimer(NULL, timer);
    (void)PostMessageA(box, WM_COMMAND, IDOK, 0);
}

int WINAPI RealMessageBoxClosedSoon(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
    RecordBox(text, flags);
    // Posted before the box opens, so the box's own loop is the one that takes them.
    EXPECT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP_WORKER_RESULT, CheckServer, 1));
    EXPECT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP_WORKER_RESULT, SignIn, 1));
    EXPECT_NE(0u, SetTimer(NULL, 0, 100, CloseMessageBox));
    return MessageBoxA(owner, text, caption, flags);
}

TEST_F(ControllerTest, ResultsDuringAMessageBoxAreHandledAfterItClosesInOrder) {
    ASSERT_TRUE(InstallResultKeeper());
    g_platform.messageBox = RealMessageBoxClosedSoon;
    g_fake.dialogEnd = IDCANCEL;
    g_app.state = SignedIn;
    SetSessionInterval(60000);

    ReportResult(InvalidResponse | Failure);
    EXPECT_EQ(Error, g_app.state);
    EXPECT_TRUE(g_fake.dialogs.empty()) << "no sign-in dialog inside another modal loop";
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, NULL, WM_APP_WORKER_RESULT, WM_APP_WORKER_RESULT, PM_NOREMOVE))
        << "the box's loop took the results";

    HandleKeptResults();
    RemoveResultKeeper();
    EXPECT_EQ(std::vector<UINT>{IDD_SIGNIN}, g_fake.dialogs);
    EXPECT_EQ(SignedIn, g_app.state) << "the sign-in came after the cancelled dialog";
    EXPECT_EQ(std::vector<UINT>{60000}, g_fake.timersSet);
}

}  // namespace
