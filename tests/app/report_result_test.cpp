// ReportResult: the state, the message box and the tray update for every code the program knows.
#include "fake_platform.h"

#include <string>

#include "app/report_result.h"
#include "net/session.h"
#include "storage/scoped_lock.h"

namespace {

const UINT kWarning = MB_TOPMOST | MB_ICONWARNING;
const UINT kError = MB_TOPMOST | MB_ICONERROR;
const char* const kUnknown = "An unknown error occured.";

struct ReportRow {
    ResultCode code;
    TrayState after;
    const char* text;  // nullptr: no box
    UINT flags;
    const char* tip;
};

const ReportRow kRows[] = {
    {2, Error, kUnknown, kWarning, "Pagewren - Error"},
    {3, Error, kUnknown, kWarning, "Pagewren - Error"},
    {18, Error, nullptr, 0, "Pagewren - Error"},
    {34, NotSignedIn, nullptr, 0, "Pagewren - Not Signed In"},
    {66, Error, "Invalid server response.", kWarning, "Pagewren - Error"},
    {98, Error, kUnknown, kWarning, "Pagewren - Error"},
    {130, Error,
     "Pagewren could not sign in.\r\nPlease double click the Pagewren tray icon or select \"Sign In\"\r\n"
     "from the tray menu to retry.",
     kWarning, "Pagewren - Error"},
    {258, Error, kUnknown, kError, "Pagewren - Error"},
    {514, Error, "An error occured on the server. Mailbox quota exceeded", kWarning, "Pagewren - Error"},
    {1026, Error, "A timestamp error occured. Please make sure your system time is correct and then retry.", kError,
     "Pagewren - Error"},
    {0x802, Error, kUnknown, kWarning, "Pagewren - Error"},
};

class ReportResultTest : public ControllerTest, public ::testing::WithParamInterface<ReportRow> {};

TEST_P(ReportResultTest, SetsStateShowsBoxThenUpdatesTray) {
    const ReportRow& row = GetParam();
    {
        ScopedLock hold(g_session.lock);
        StoreErrorDescription(g_session, "Mailbox quota exceeded");
    }
    g_app.state = SignedIn;

    ReportResult(row.code);

    EXPECT_EQ(row.after, g_app.state);
    if (row.text) {
        ASSERT_EQ(1u, g_fake.boxes.size());
        const BoxShown& box = g_fake.boxes[0];
        EXPECT_EQ(row.text, box.text);
        EXPECT_EQ("Pagewren", box.caption);
        EXPECT_EQ(row.flags, box.flags);
        EXPECT_EQ(row.after, box.stateWhileOpen);
        EXPECT_EQ(0u, box.trayCallsBefore) << "the tray changes only once the box is closed";
    } else {
        EXPECT_TRUE(g_fake.boxes.empty());
    }
    ASSERT_EQ(1u, g_fake.tray.size());
    EXPECT_EQ(DWORD(NIM_MODIFY), g_fake.tray[0].operation);
    EXPECT_EQ(row.tip, LastTrayTip());
}

INSTANTIATE_TEST_SUITE_P(Codes, ReportResultTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<ReportRow>& info) {
                             return "code_" + std::to_string(info.param.code);
                         });

TEST_F(ControllerTest, CodesWithoutTheFailureBitChangeNothing) {
    for (TrayState state : {NotSignedIn, SigningIn, SignedIn, Error}) {
        for (ResultCode code : {0u, 1u, 16u, 0x101u}) {
            g_app.state = state;
            ReportResult(code);
            EXPECT_EQ(state, g_app.state) << code;
        }
    }
    EXPECT_TRUE(g_fake.boxes.empty());
    EXPECT_TRUE(g_fake.tray.empty());
}

TEST_F(ControllerTest, ServerErrorWithADescriptionTooLongForTheBoxIsCut) {
    std::string description(SessionDescriptionSize - 1, 'd');
    {
        ScopedLock hold(g_session.lock);
        StoreErrorDescription(g_session, description.c_str());
    }
    ReportResult(514);
    ASSERT_EQ(1u, g_fake.boxes.size());
    const std::string& text = g_fake.boxes[0].text;
    const std::string prefix = "An error occured on the server. ";
    EXPECT_EQ(4095u, text.size());
    EXPECT_EQ(prefix, text.substr(0, prefix.size()));
    EXPECT_EQ(std::string(4095 - prefix.size(), 'd'), text.substr(prefix.size()));
}

}  // namespace
