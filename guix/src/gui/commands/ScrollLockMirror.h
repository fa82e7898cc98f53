// The keyboard-LED mirror: while the `KeyboardLed` option is on, the Scroll
// Lock light shows whether any visible drive is busy. The light is toggled
// with synthesised Scroll Lock presses (the platform sets the keyboard's
// indicator), and one process-wide mirror state remembers the busy state
// last shown.
//
// When the option is switched the mirror state is made to follow the light
// itself, so the light never shows the inverse of the activity.
//
// Thread rule: the mirror may be updated from whichever thread draws the
// window; one lock keeps two drawing threads from toggling twice.
#pragma once

namespace cmd {

// After every panel drawing and activity redraw: toggles Scroll Lock when
// `any_activity` differs from the mirror state. Nothing while the option
// (`keyboard_led`) is off.
void MirrorActivityOnScrollLock(bool keyboard_led, bool any_activity);

// Whether the Scroll Lock light is on (GetKeyState(VK_SCROLL) is exactly 1).
bool ScrollLockIsOn();
// Presses and releases Scroll Lock, which toggles its light.
void ToggleScrollLock();
// Turns the light off if it is on (switching the option, and at exit).
void SwitchScrollLockOff();

// Makes the mirror state the light's current state.
void FollowScrollLockLight();

// The busy state last shown (tests).
bool MirroredActivity();

}  // namespace cmd
