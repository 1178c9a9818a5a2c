// The outcome word of every server operation and of the controller's own steps.
#pragma once

#include <stdint.h>

typedef uint32_t ResultCode;

// Success is exactly 1; every failure carries the Failure bit and one category bit.
enum : ResultCode {
    Success             = 1,
    Failure             = 2,
    ServerUnreachable   = 16,
    SignInRefused       = 32,
    InvalidResponse     = 64,
    CredentialsRejected = 128,
    InternalError       = 256,
    ServerError         = 512,
    TimestampError      = 1024,
    IdentityUnverified  = 2048,
    // A proxy between this computer and the server asks for its own sign-in (status 407).
    ProxyRefused        = 4096,
};

// Beside ServerUnreachable: the request went out with the password and no answer came, so the
// server may have refused it. Outside the category bits, so FailureCategory leaves it out.
enum : ResultCode { PasswordUnanswered = 8 };

// True when the word is a failure, that is when it carries the Failure bit.
inline bool IsFailure(ResultCode code) { return (code & Failure) != 0; }

// The category of a failure: the word with its low four bits cleared.
inline ResultCode FailureCategory(ResultCode code) { return code & ~ResultCode(0xF); }
