// The reason a failure gives, as one short phrase for the service program's
// messages: the program's own wording for the errors it expects, else the
// system's message for the code.
#pragma once

#include <span>
#include <string>

#include "base/wintypes.h"

struct FailureReason {
    DWORD error;
    const char* text;
};

// "TEXT (error N)" with the text of `error` from `reasons`, else from the
// system's messages; "error N" when neither knows it.
std::string FailureText(DWORD error, std::span<const FailureReason> reasons = {});
