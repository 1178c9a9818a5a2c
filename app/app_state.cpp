#include "app/app_state.h"

AppState g_app = {};
