// Who answers an authentication challenge, and with what: the server's 401 and a proxy's 407,
// by the scheme the challenge offers.
#pragma once

enum class ChallengeFrom : unsigned char { Server, Proxy };
enum class Answerer : unsigned char { Program, WinInet };
enum class AnswerWith : unsigned char {
    ServicePassword,  // the Pagewren e-mail address and password from the settings
    ProxyPassword,    // what the user gave at Windows' prompt for the proxy, or Windows keeps
    WindowsLogon,     // the user's Windows logon: no prompt, nothing kept
};

struct ChallengeRule {
    ChallengeFrom from;
    const char* scheme;  // null: any scheme that no rule before it names
    Answerer answerer;
    AnswerWith with;
};

// The rule for one WWW-Authenticate or Proxy-Authenticate value, by its first word in any case.
const ChallengeRule& RuleForChallenge(ChallengeFrom from, const char* challenge);
