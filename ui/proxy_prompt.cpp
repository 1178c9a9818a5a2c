#include "ui/proxy_prompt.h"

#include "net/proxy_login.h"
#include "res/resource.h"
#include "storage/kept_proxy_login.h"
#include "storage/resource_text.h"
#include "storage/support_log.h"

#include <wincred.h>

namespace {

enum : int { MessageSize = 1024, CaptionSize = 128 };
enum : size_t { TargetSize = ProxyNameSize + 32 };

// Generic credentials, which Windows keeps only once the proxy took them and the program
// confirms them; refused ones are asked for again with the prompt saying so.
const DWORD kPromptFlags = CREDUI_FLAGS_GENERIC_CREDENTIALS | CREDUI_FLAGS_SHOW_SAVE_CHECK_BOX |
                           CREDUI_FLAGS_EXPECT_CONFIRMATION | CREDUI_FLAGS_ALWAYS_SHOW_UI;

// Some implementations of the prompt (Wine's) hand back a generic user name as target + "\" +
// name; the proxy knows only the name.
const wchar_t* UnqualifiedUser(const wchar_t* user, const wchar_t* target) {
    const int length = lstrlenW(target);
    const bool qualified = CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, user, length, target, length) == CSTR_EQUAL &&
                           user[length] == L'\\';
    return qualified ? user + length + 1 : user;
}

}  // namespace

bool PromptProxyLogin(HWND owner) {
    wchar_t proxy[ProxyNameSize];
    wchar_t target[TargetSize];
    bool refused = false;
    if (!ProxyThatAsked(proxy, ProxyNameSize, &refused) || !ProxyLoginTarget(proxy, target, TargetSize)) return false;
    wchar_t message[MessageSize];
    wchar_t caption[CaptionSize];
    LoadResourceText(IDS_PROXY_SIGN_IN, message, MessageSize);
    (void)AppendText(message, MessageSize, L"\r\n");
    (void)AppendText(message, MessageSize, proxy);
    LoadResourceText(IDS_APP_TITLE, caption, CaptionSize);
    CREDUI_INFOW info = {sizeof info, owner, message, caption, nullptr};
    wchar_t user[ProxyUserSize] = L"";
    wchar_t password[ProxyPasswordSize] = L"";
    BOOL save = FALSE;
    LogEventW(L"proxy sign-in asked for %s", proxy);
    const DWORD answer =
        CredUIPromptForCredentialsW(&info, target, nullptr, 0, user, ProxyUserSize, password, ProxyPasswordSize, &save,
                                    kPromptFlags | (refused ? CREDUI_FLAGS_INCORRECT_PASSWORD : 0));
    LogEvent("proxy sign-in prompt closed: %lu, keep %s", answer, save ? "yes" : "no");
    const wchar_t* name = UnqualifiedUser(user, target);
    const bool given = answer == NO_ERROR && name[0] != L'\0';
    if (given) GiveProxyLogin(proxy, name, password, save != FALSE);
    SecureZeroMemory(password, sizeof password);
    return given;
}
