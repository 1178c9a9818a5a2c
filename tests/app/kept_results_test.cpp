// Worker results that land while a modal loop runs are kept and handled afterwards, in order.
#include "fake_platform.h"

#include "app/kept_results.h"
#include "app/message_loop.h"
#include "app/report_result.h"
#include "app/sign_in_flow.h"
#include "app/request_thread.h"
#include "res/resource.h"

namespace {

class KeptResultTest : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        ASSERT_TRUE(InstallResultKeeper());
    }
    void TearDown() override {
        RemoveResultKeeper();
        WPARAM kind;
        LPARAM code;
        while (TakeKeptResult(&kind, &code)) {
        }
        MSG message;
        while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        }
        ControllerTest::TearDown();
    }
};

void PostResult(WPARAM kind, LPARAM code) {
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP_WORKER_RESULT, kind, code));
}

// What a dialog's modal loop does with each queued message: offer it to the message filter,
// and drop a thread message the filter did not take.
void RunModalLoopOverQueue() {
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        if (!CallMsgFilterA(&message, MSGF_DIALOGBOX)) DispatchMessageA(&message);
    }
}

bool QueueHoldsWorkerResult() {
    MSG message;
    return PeekMessageA(&message, NULL, WM_APP_WORKER_RESULT, WM_APP_WORKER_RESULT, PM_NOREMOVE) != FALSE;
}

TEST(KeptResultQueue, GivesResultsBackOldestFirstAndRefusesWhenFull) {
    for (size_t i = 0; i < KeptResultCapacity; ++i) ASSERT_TRUE(KeepWorkerResult(i % 4, LPARAM(i)));
    EXPECT_FALSE(KeepWorkerResult(1, 1));
    WPARAM kind;
    LPARAM code;
    for (size_t i = 0; i < KeptResultCapacity; ++i) {
        ASSERT_TRUE(TakeKeptResult(&kind, &code));
        EXPECT_EQ(i % 4, kind);
        EXPECT_EQ(LPARAM(i), code);
    }
    EXPECT_FALSE(TakeKeptResult(&kind, &code));
    // The ring wraps around.
    ASSERT_TRUE(KeepWorkerResult(3, 7));
    ASSERT_TRUE(TakeKeptResult(&kind, &code));
    EXPECT_EQ(3u, kind);
    EXPECT_EQ(7, code);
}

TEST_F(KeptResultTest, CheckServerResultDuringABoxOpensTheDialogOnlyAfterIt) {
    g_app.state = SignedIn;
    g_fake.dialogEnd = IDCANCEL;
    g_fake.whileBoxOpen = [] {
        PostResult(CheckServer, 1);
        RunModalLoopOverQueue();
        EXPECT_TRUE(g_fake.dialogs.empty()) << "no sign-in dialog inside another modal loop";
    };
    ReportResult(InvalidResponse | Failure);
    EXPECT_TRUE(g_fake.dialogs.empty());
    EXPECT_FALSE(QueueHoldsWorkerResult());

    HandleKeptResults();
    ASSERT_EQ(1u, g_fake.dialogs.size());
    EXPECT_EQ(UINT(IDD_SIGNIN), g_fake.dialogs[0].templateId);
    EXPECT_EQ(NotSignedIn, g_app.state);
}

TEST_F(KeptResultTest, KeptResultsAreHandledInTheOrderTheyArrived) {
    g_app.state = SigningIn;
    SetSessionInterval(60000);
    g_fake.whileDialogOpen = [] {
        PostResult(SignIn, 1);
        PostResult(Refresh, CredentialsRejected | Failure);
        RunModalLoopOverQueue();
    };
    HandleWorkerResult(CheckServer, 1);
    EXPECT_EQ(SigningIn, g_app.state);

    HandleKeptResults();
    EXPECT_EQ(Error, g_app.state) << "the refresh failure came last";
    EXPECT_EQ(1u, g_fake.timersSet.size());
    EXPECT_EQ(1u, g_fake.boxes.size());
}

TEST_F(KeptResultTest, ResultsOutsideModalLoopsStayInTheQueue) {
    PostResult(SignIn, 1);
    WPARAM kind;
    LPARAM code;
    EXPECT_FALSE(TakeKeptResult(&kind, &code));
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, NULL, 0, 0, PM_REMOVE));
    EXPECT_EQ(UINT(WM_APP_WORKER_RESULT), message.message);
    SetSessionInterval(60000);
    HandleQueuedMessage(&message);
    EXPECT_EQ(SignedIn, g_app.state);
}

// Closes the open message box of this thread; set as a thread timer while it is open.
void CALLBACK CloseMessageBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = FindWindowA("#32770", "Pagewren");
    if (!box) return;
    (void)KillTimer(NULL, timer);
    (void)PostMessageA(box, WM_COMMAND, IDOK, 0);
}

int WINAPI RealMessageBoxClosedSoon(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
    g_fake.boxes.push_back({text, caption, flags, g_app.state, g_fake.tray.size()});
    if (g_fake.whileBoxOpen) g_fake.whileBoxOpen();
    EXPECT_NE(0u, SetTimer(NULL, 0, 100, CloseMessageBox));
    return MessageBoxA(owner, text, caption, flags);
}

TEST_F(KeptResultTest, ResultDuringARealMessageBoxIsHandledAfterItCloses) {
    g_platform.messageBox = RealMessageBoxClosedSoon;
    g_app.state = SignedIn;
    SetSessionInterval(60000);
    // Posted before the box opens, so the box's own loop is the one that takes it.
    g_fake.whileBoxOpen = [] { PostResult(Refresh, 1); };

    ReportResult(InvalidResponse | Failure);
    EXPECT_EQ(Error, g_app.state) << "the kept success must wait for the box to close";
    EXPECT_TRUE(g_fake.timersSet.empty());
    EXPECT_FALSE(QueueHoldsWorkerResult()) << "the box's loop took the result";

    HandleKeptResults();
    EXPECT_EQ(SignedIn, g_app.state);
    ASSERT_EQ(1u, g_fake.timersSet.size());
    EXPECT_EQ(60000u, g_fake.timersSet[0].period);
    EXPECT_EQ("Pagewren - Signed In", LastTrayTip());
}

}  // namespace
