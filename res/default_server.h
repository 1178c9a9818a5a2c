// The service's own server, used when no configuration file names one.
// Plain macros, so that the resource script can show the same name.
#pragma once

#define DEFAULT_SERVER_HOST "pagewren.com"
#define DEFAULT_SERVER_WEB_ADDRESS "www.pagewren.com"
