// Worker threads against the reference server: each posts one result of its own kind to the
// main thread, and the loop handles every one of them.
#include "fake_platform.h"

#include <objbase.h>

#include <algorithm>

#include "app/message_loop.h"
#include "app/request_thread.h"
#include "app/result_code.h"
#include "net/session.h"
#include "storage/scoped_lock.h"
#include "storage/settings.h"
#include "support/refserver_control.h"

namespace {

class RequestThreadTest : public ControllerTest {
protected:
    void SetUp() override {
        ControllerTest::SetUp();
        ASSERT_NE(0, TestServerPort()) << "run through scripts/with-refserver.sh";
        ASSERT_TRUE(ControlServer("reset"));
        ASSERT_TRUE(SUCCEEDED(CoInitialize(NULL)));
        SetMainThreadId(g_session, GetCurrentThreadId());
        ScopedLock hold(g_settings.lock);
        lstrcpynA(g_settings.host, "127.0.0.1", sizeof g_settings.host);
        lstrcpynA(g_settings.port, TestServerPortText().c_str(), sizeof g_settings.port);
        lstrcpynA(g_settings.user, "demo@pagewren.test", sizeof g_settings.user);
        lstrcpynA(g_settings.password, "pagewren-demo", sizeof g_settings.password);
        g_settings.state = SettingsState::Loaded;
    }
    void TearDown() override {
        CoUninitialize();
        ControllerTest::TearDown();
    }
};

TEST_F(RequestThreadTest, TwoWorkersStartedTogetherAreBothHandled) {
    g_app.state = SigningIn;
    g_fake.dialogEnd = IDCANCEL;
    ASSERT_TRUE(StartRequest(CheckServer));
    ASSERT_TRUE(StartRequest(SignIn));

    std::vector<MSG> results;
    for (DWORD start = GetTickCount(); results.size() < 2 && GetTickCount() - start < 30000;) {
        (void)MsgWaitForMultipleObjects(0, NULL, FALSE, 100, QS_POSTMESSAGE);
        MSG message;
        while (PeekMessageA(&message, NULL, WM_APP_WORKER_RESULT, WM_APP_WORKER_RESULT, PM_REMOVE)) {
            results.push_back(message);
        }
    }
    ASSERT_EQ(2u, results.size());
    std::vector<WPARAM> kinds = {results[0].wParam, results[1].wParam};
    std::sort(kinds.begin(), kinds.end());
    EXPECT_EQ((std::vector<WPARAM>{CheckServer, SignIn}), kinds);
    for (MSG& result : results) {
        EXPECT_EQ(LPARAM(Success), result.lParam) << "kind " << result.wParam;
        HandleQueuedMessage(&result);
    }
    EXPECT_EQ(1u, g_fake.dialogs.size()) << "the server check led to the dialog";
    ASSERT_EQ(1u, g_fake.timersSet.size()) << "the sign-in armed the refresh timer";
    EXPECT_GT(g_fake.timersSet[0], 3000000u);
}

TEST_F(RequestThreadTest, UnknownKindsCallNothingAndPostNothing) {
    for (uint32_t kind : {0u, 4u}) {
        RequestRecord* record = new RequestRecord;
        record->kind = static_cast<RequestKind>(kind);
        EXPECT_EQ(0u, RequestThreadMain(record));
    }
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, NULL, WM_APP_WORKER_RESULT, WM_APP_WORKER_RESULT, PM_NOREMOVE));
    EXPECT_TRUE(ServerLog().empty());
}

}  // namespace
