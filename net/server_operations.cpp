#include "net/server_operations.h"

#include "net/exchange_log.h"
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

// Only the service speaks for its clock: its answer document, else its own 401 challenge. A
// proxy's 407, any other page and an answer cut short leave the offset as it was.
void HearServiceClock(Session& session, const ExchangeClock& clock, bool answerDocument) {
    const bool fromAnswer = answerDocument && clock.answerDated;
    if (!fromAnswer && !clock.challengeDated) return;
    const int64_t offset = fromAnswer ? clock.answerOffset : clock.challengeOffset;
    // The token's expiry is on the server's clock, which the user's may miss by hours.
    if (StoreServerClockOffset(session, offset)) LogServerClock(offset);
}

// Signs in or refreshes: no answer at all gives 18 (26 when the password went out), a final 401
// gives refused, an answer that could not be read whole gives 66, any other answer goes to the
// reader.
ResultCode ExchangeForAnswer(Session& session, const ServerSettings& settings, ExchangeKind kind,
                             const char* pathTail, ResultCode refused) {
    HeapText answer;
    OriginAuth unconfirmed = OriginAuth::Unknown;
    ExchangeClock clock = {};
    const ExchangeOutcome outcome = RunExchange(settings, {pathTail, kind, true, true, true}, &answer, &unconfirmed, &clock);
    if (outcome != ExchangeOutcome::AnswerText) HearServiceClock(session, clock, false);
    switch (outcome) {
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
            const int64_t* offset = clock.answerDated      ? &clock.answerOffset
                                    : clock.challengeDated ? &clock.challengeOffset
                                                           : nullptr;
            const ResultCode result = readServerAnswer(WideText(answer), session, offset);
            // An answer document shows that the server took the credentials, whatever the status.
            if (result != 0) RememberOrigin(settings, unconfirmed);
            HearServiceClock(session, clock, result != 0);
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
    ExchangeClock clock = {};
    const ExchangeOutcome outcome =
        RunExchange(settings, {kSignInScript, ExchangeKind::Check, false, false, false}, nullptr, nullptr, &clock);
    HearServiceClock(session, clock, false);
    switch (outcome) {
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
    ExchangeClock clock = {};
    const ExchangeOutcome outcome =
        RunExchange(settings, {kSignInScript, ExchangeKind::SignIn, true, true, false}, nullptr, nullptr, &clock);
    HearServiceClock(session, clock, false);
    switch (outcome) {
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
