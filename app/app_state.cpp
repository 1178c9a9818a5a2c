#include "app/app_state.h"

#include "storage/support_log.h"

AppState g_app = {};

bool Reconnecting() {
    return g_app.phase == SignInPhase::Reconnecting || (g_app.phase == SignInPhase::SigningInByItself && g_app.retryCount > 0);
}

void EnterState(TrayState next, const char* cause) {
    static const char* const names[] = {"NotSignedIn", "SigningIn", "SignedIn", "Error"};
    if (next != g_app.state) LogEvent("state %s -> %s: %s", names[g_app.state & 3], names[next & 3], cause);
    g_app.state = next;
}
