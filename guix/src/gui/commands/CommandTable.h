// What the LED window's commands write to the GUI's log, and what its
// skinned buttons and their window messages stand for.
#pragma once

#include <string_view>

#include "commands/CommandIds.h"

namespace cmd {

// The "USER:" line a command writes; null for commands that write none (or,
// like help, write their own). Lines with "%d" take the new setting.
const char16_t* CommandLogLine(UINT id);

// Writes the command's line (with `status` for the lines that take one) to
// the GUI's log at level 5. Opacity commands write "USER: OnAlpha<p>()".
void LogCommand(UINT id, DWORD status = 0);

// A skinned button of the LED window, by the name in its record.
struct SkinButtonAction {
    std::u16string_view name;
    UINT message = 0;  // posted to the window; 0 when the button acts itself
    UINT command = 0;  // the command the message (or the button) runs; 0 for none
};

// The button's action, or null for a name the window does not know.
const SkinButtonAction* FindSkinButtonAction(std::u16string_view name);

// The command a button message (5040 to 5130) runs; 0 for other messages,
// 5030 (the options strip) included.
UINT CommandOfButtonMessage(UINT message);

}  // namespace cmd
