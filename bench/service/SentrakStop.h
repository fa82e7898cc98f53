// The service's whole stop, timed: the real sentrak in its own process,
// keeping the drives' history, with registered peers that never read nor
// close; from SIGTERM to the program's exit, which comes after the socket
// server is down and the history is saved.
#pragma once

// Prints the stop time with `peers` such peers and whether the history was
// written. Runs below this process's LUMETRA_ROOT, whose product key it
// creates.
void MeasureSentrakStop(int peers);
