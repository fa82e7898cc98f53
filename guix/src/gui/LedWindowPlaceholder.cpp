#include "LedWindowPlaceholder.h"

#include "ui/message_queue.h"

BOOL CLedWindowPlaceholder::OnInitDialog() { return TRUE; }

// Closing the only window ends the program, as the LED window does.
void CLedWindowPlaceholder::PostNcDestroy() { PostQuitMessage(0); }
