// The addresses of the service's pages on the settings' server: the tray's pages, which carry
// the session token, and the sign-in dialog's links.
#pragma once

#include <stddef.h>

#include "net/session.h"
#include "storage/settings.h"

// The value of the address's action parameter.
enum PageAction : int {
    PageActionAllPages = 2,
    PageActionCurrentPage = 3,
};

// Room for the address of any page: the longest host, port and directory with the tray page,
// whose token makes it the longest page.
enum : size_t { PageAddressSize = 2 * SettingsTextSize + SettingsPortSize + SessionTokenSize + 64 };

// Writes "http://" (or "https://" for a secure server) host [":" port] directory page into
// out, with no separator added and nothing escaped; false, and an empty text, when it does not fit.
bool ComposeServerPageAddress(bool secure, const char* host, const char* port, const char* directory, const char* page,
                              char* out, size_t capacity);
// Builds the settings' server address of "tray.php?token=" token "&action=" action;
// false when it does not fit in capacity bytes.
bool BuildTrayPageAddress(PageAction action, char* out, size_t capacity);
