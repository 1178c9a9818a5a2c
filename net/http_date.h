// The Date header of an HTTP answer, read as RFC 9110 has servers write it (IMF-fixdate, for
// example "Sun, 06 Nov 1994 08:49:37 GMT"), in ASCII.
#pragma once

#include <stdint.h>

// The instant as a UTC count (see utc_clock.h); 0 for any text that is not a valid IMF-fixdate,
// so that a proxy's or middlebox's odd header cannot move the server's clock.
int64_t HttpDateToUtc(const char* text);
