// The product's machine key, below which the service keeps the drives'
// history. An installer creates it (sentrak -Service does); without it the
// service runs but keeps no history, and says so once when it starts.
#pragma once

#include "base/ntstatus.h"

// Creates HKLM\SOFTWARE\Zelmor\Zelmor Lumetra\3.1 when missing; says on
// stderr when it cannot.
void CreateProductKey();

// Says on stderr, in one line, that the history will not be kept and what
// to do about it, when `probe` (the engine's ProbeHistory) is a failure.
void SayWhenHistoryIsNotKept(NTSTATUS probe);
