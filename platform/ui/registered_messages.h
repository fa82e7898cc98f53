// RegisterWindowMessageW: a message number agreed on by name, unique in the
// process, for messages between parts that share no header (the
// notification area's "TaskbarCreated", for one). The same name, in any
// case, always gives the same number, from 0xC000 up; an empty or null name
// gives 0 with ERROR_INVALID_PARAMETER.
#pragma once

#include "ui/ui_types.h"

UINT RegisterWindowMessageW(LPCWSTR name);
