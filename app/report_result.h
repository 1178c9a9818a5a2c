// Turns a failure code into the tray state and, for most categories, a message box.
#pragma once

#include "net/result_code.h"

// Does nothing for a code without the Failure bit.
void ReportResult(ResultCode code);
