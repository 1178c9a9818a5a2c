#include "net/challenge_table.h"

#include <stddef.h>

namespace {

// WinINet answers every challenge the request lets it answer; the program answers only the
// server's Basic one itself, so that it chooses the bytes (see basic_auth.h). A proxy's
// integrated logon stays WinINet's, as for a browser on the same computer.
const ChallengeRule kRules[] = {
    {ChallengeFrom::Server, "Basic", Answerer::Program, AnswerWith::ServicePassword},
    {ChallengeFrom::Server, nullptr, Answerer::WinInet, AnswerWith::ServicePassword},
    {ChallengeFrom::Proxy, "NTLM", Answerer::WinInet, AnswerWith::WindowsLogon},
    {ChallengeFrom::Proxy, "Negotiate", Answerer::WinInet, AnswerWith::WindowsLogon},
    {ChallengeFrom::Proxy, nullptr, Answerer::WinInet, AnswerWith::ProxyPassword},
};

// The challenge's first word is scheme, in any case.
bool OffersScheme(const char* challenge, const char* scheme) {
    while (*challenge == ' ' || *challenge == '\t') ++challenge;
    size_t i = 0;
    for (; scheme[i]; ++i) {
        if ((challenge[i] | 0x20) != (scheme[i] | 0x20)) return false;
    }
    const char after = challenge[i];
    return after == '\0' || after == ' ' || after == '\t' || after == ',';
}

}  // namespace

const ChallengeRule& RuleForChallenge(ChallengeFrom from, const char* challenge) {
    for (const ChallengeRule& rule : kRules) {
        if (rule.from == from && (!rule.scheme || OffersScheme(challenge, rule.scheme))) return rule;
    }
    // The table ends each side with a rule for any scheme, so this is never reached.
    return kRules[0];
}
