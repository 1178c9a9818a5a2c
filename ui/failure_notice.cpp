#include "ui/failure_notice.h"

#include "net/session.h"
#include "res/resource.h"
#include "storage/resource_text.h"
#include "ui/ui_platform_calls.h"

enum : int {
    CaptionSize = 1024,
    MessageTextSize = 4096,
};

void ShowFailureNotice(HWND owner, ResultCode code) {
    if (!IsFailure(code)) return;
    UINT textId = 0;
    UINT flags = MB_OK | MB_TOPMOST | MB_ICONWARNING;
    switch (FailureCategory(code)) {
    case ServerUnreachable:
    case SignInRefused:
        return;
    case InvalidResponse:
        textId = IDS_INVALID_RESPONSE;
        break;
    case CredentialsRejected:
        textId = IDS_SIGN_IN_FAILED;
        break;
    case InternalError:
        textId = IDS_UNKNOWN_ERROR;
        flags = MB_OK | MB_TOPMOST | MB_ICONERROR;
        break;
    case ServerError:
        textId = IDS_SERVER_ERROR;
        break;
    case TimestampError:
        textId = IDS_TIMESTAMP_ERROR;
        flags = MB_OK | MB_TOPMOST | MB_ICONERROR;
        break;
    default:
        textId = IDS_UNKNOWN_ERROR;
        break;
    }

    char caption[CaptionSize];
    LoadResourceText(IDS_APP_TITLE, caption, sizeof caption);
    char text[MessageTextSize];
    LoadResourceText(textId, text, sizeof text);
    if (textId == IDS_SERVER_ERROR) {
        char description[SessionDescriptionSize];
        (void)CopyErrorDescription(g_session, description, sizeof description);
        // A description too long for the box is cut, never overflowed.
        (void)AppendText(text, sizeof text, description);
    }
    (void)g_uiPlatform.messageBox(owner, text, caption, flags);
}
