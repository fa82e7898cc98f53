// Pinning the GUI to one processor: the lowest-numbered processor the
// process may run on. The GUI's threads then never run at the same time,
// which the drawing and polling code was designed for. A failure is ignored
// by the caller: the program runs unpinned.
#pragma once

namespace gui {

// The lowest processor of the current affinity set, or -1 when it cannot
// be read.
int LowestAllowedProcessor();
// Restricts every thread of the process (and so the threads they start) to
// that processor. False when the set could not be read or applied.
bool PinToLowestProcessor();

}  // namespace gui
