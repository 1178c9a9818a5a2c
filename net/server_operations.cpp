#include "net/server_operations.h"

#include "net/http_exchange.h"
#include "net/response_reader.h"
#include "storage/scoped_lock.h"
#include "storage/settings.h"

#include <string.h>

namespace {

const char kSignInScript[] = "auth-tray.php";
const char kRefreshScript[] = "tray.php?token=";
const char kRefreshAction[] = "&action=1";

// An e-mail address without a password would only be refused, and every refusal counts
// towards a lockout of the account: such credentials never leave the computer.
bool LacksPassword(const ServerSettings& settings) { return settings.password[0] == '\0'; }

// Signs in or refreshes: no answer at all gives 18 (26 when the password went out), a final 401
// gives refused, an answer that could not be read whole gives 66, any other answer goes to the
// reader.
ResultCode ExchangeForAnswer(Session& session, const ServerSettings& settings, ExchangeKind kind,
                             const char* pathTail, ResultCode refused) {
    HeapText answer;
    OriginAuth unconfirmed = OriginAuth::Unknown;
    switch (RunExchange(settings, {pathTail, kind, true, true, true}, &answer, &unconfirmed)) {
        case ExchangeOutcome::NotSent:
            return Failure | ServerUnreachable;
        case ExchangeOutcome::Unanswered:
            // The controller rides it out too, but counts it: the server may have refused it.
            return Failure | ServerUnreachable | PasswordUnanswered;
        case ExchangeOutcome::Unverified:
            return Failure | IdentityUnverified;
        case ExchangeOutcome::Refused:
            return refused;
        case ExchangeOutcome::ProxyRefused:
            return Failure | ProxyRefused;
        case ExchangeOutcome::AnswerText: {
            const ResultCode result = readServerAnswer(WideText(answer), session);
            // An answer document shows that the server took the credentials, whatever the status.
            if (result != 0) RememberOrigin(settings, unconfirmed);
            return result;
        }
        default:
            return Failure | InvalidResponse;
    }
}

}  // namespace

ResultCode checkServer(Session& session) {
    ScopedLock hold(session.lock);
    ServerSettings settings;
    CopyServerSettings(&settings);
    // Any HTTP answer counts, the 401 challenge to a request without credentials included.
    switch (RunExchange(settings, {kSignInScript, ExchangeKind::Check, false, false, false}, nullptr)) {
        case ExchangeOutcome::NotSent:
            return Failure | ServerUnreachable;
        case ExchangeOutcome::Unverified:
            // Not an outage: trying again quietly would not make the certificate any better.
            return Failure | IdentityUnverified;
        case ExchangeOutcome::ProxyRefused:
            // The proxy answered, not the server: whether the server answers is not known yet.
            return Failure | ProxyRefused;
        default:
            return Success;
    }
}

ResultCode verifyCredentials(Session& session) {
    ScopedLock hold(session.lock);
    ServerSettings settings;
    CopyServerSettings(&settings);
    // Only rejected credentials are screened out here; an unreachable or unverified server
    // shows in signIn.
    if (LacksPassword(settings)) return Failure | CredentialsRejected;
    switch (RunExchange(settings, {kSignInScript, ExchangeKind::SignIn, true, true, false}, nullptr)) {
        case ExchangeOutcome::Refused:
            return Failure | CredentialsRejected;
        case ExchangeOutcome::ProxyRefused:
            // Not the user's password: the proxy has not let the request through to the server.
            return Failure | ProxyRefused;
        default:
            return Success;
    }
}

ResultCode signIn(Session& session) {
    ScopedLock hold(session.lock);
    ServerSettings settings;
    CopyServerSettings(&settings);
    if (LacksPassword(settings)) return Failure | SignInRefused;
    return ExchangeForAnswer(session, settings, ExchangeKind::SignIn, kSignInScript, Failure | SignInRefused);
}

ResultCode refreshSession(Session& session) {
    ScopedLock hold(session.lock);
    ServerSettings settings;
    CopyServerSettings(&settings);
    // Nothing loaded and nothing entered since start: there are no credentials to refresh with.
    if (settings.state == SettingsState::Initial) return Failure | InternalError;
    if (LacksPassword(settings)) return Failure | CredentialsRejected;
    // Sized for the longest token, so nothing is ever cut.
    char pathTail[sizeof kRefreshScript + sizeof session.token + sizeof kRefreshAction];
    size_t tokenLength = strlen(session.token);
    memcpy(pathTail, kRefreshScript, sizeof kRefreshScript - 1);
    memcpy(pathTail + sizeof kRefreshScript - 1, session.token, tokenLength);
    memcpy(pathTail + sizeof kRefreshScript - 1 + tokenLength, kRefreshAction, sizeof kRefreshAction);
    return ExchangeForAnswer(session, settings, ExchangeKind::Refresh, pathTail, Failure | CredentialsRejected);
}
