// Linked into a copy of the program for the end-to-end tests: its exchange deadline shortened
// through the seam before WinMain runs, so that a dripped answer meets it within seconds.
#include "net/http_exchange.h"

static const bool kShortened = (g_exchangeDeadlineMs = 3000, true);
