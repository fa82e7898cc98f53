#include "commands/CommandTable.h"

#include <array>

#include "GuiLog.h"

namespace cmd {
namespace {

struct LoggedCommand {
    UINT id;
    const char16_t* line;
};

constexpr std::array kLoggedCommands = {
    LoggedCommand{kAlwaysOnTop, u"USER: OnAlwaysOnTop() Status: %d\n"},
    LoggedCommand{kHorizontal, u"USER: OnHorizontalMode() Status: %d\n"},
    LoggedCommand{kSnapToBorders, u"USER: OnSnapToBorders() Status: %d\n"},
    LoggedCommand{kCelsiusFahrenheit, u"USER: OnCelsiusFahrenheit()\n"},
    LoggedCommand{kShowCD, u"USER: OnCDDVDDrives() Status: %d\n"},
    LoggedCommand{kShowTape, u"USER: OnTapeDrives() Status: %d\n"},
    LoggedCommand{kShowNetwork, u"USER: OnVDrives() Status: %d\n"},
    LoggedCommand{kShowRemovable, u"USER: OnRemovableDrives() Status: %d\n"},
    LoggedCommand{kSmartDisplay, u"USER: OnSmartDetails() Status: %d\n"},
    LoggedCommand{kSmartDetails, u"USER: OnSmartDetails()\n"},
    LoggedCommand{kShortSelfTest, u"USER: OnShortSelfTest()\n"},
    LoggedCommand{kResetAlert, u"USER: OnResetAlert()\n"},
    LoggedCommand{kAutostart, u"USER: OnAutostartup() Status: %d\n"},
    LoggedCommand{kExit, u"USER: OnExit()\n"},
};

constexpr std::array kButtons = {
    SkinButtonAction{u"BUTTON_EXIT", 0, 0},
    SkinButtonAction{u"BUTTON_MINIMIZE", 0, kMinimizeToTray},
    SkinButtonAction{u"BUTTON_SMART", 0, 0},
    SkinButtonAction{u"BUTTON_OPTIONS", kMsgOptionsStrip, 0},
    SkinButtonAction{u"BUTTON_CD", kMsgShowCD, kShowCD},
    SkinButtonAction{u"BUTTON_NET", kMsgShowNetwork, kShowNetwork},
    SkinButtonAction{u"BUTTON_TAPE", kMsgShowTape, kShowTape},
    SkinButtonAction{u"BUTTON_REMOVABLE", kMsgShowRemovable, kShowRemovable},
    SkinButtonAction{u"BUTTON_ONLINE_HELP", kMsgHelp, kHelp},
    SkinButtonAction{u"BUTTON_ABOUT_BOX", kMsgAbout, kAbout},
    SkinButtonAction{u"BUTTON_AUTO_HIDE", kMsgAutoHide, kAutoHide},
    SkinButtonAction{u"BUTTON_AUTO_SNAP", kMsgSnap, kSnapToBorders},
    SkinButtonAction{u"BUTTON_ALWAYS_ON_TOP", kMsgAlwaysOnTop, kAlwaysOnTop},
    SkinButtonAction{u"BUTTON_KEYBOARD_LED", kMsgKeyboardLed, kKeyboardLed},
};

}  // namespace

const char16_t* CommandLogLine(UINT id) {
    for (const auto& entry : kLoggedCommands)
        if (entry.id == id) return entry.line;
    return nullptr;
}

void LogCommand(UINT id, DWORD status) {
    if (IsOpacityCommand(id)) {
        gui::Trace(u"USER: OnAlpha%d()\n", int(id - kOpacity0) * 10);
    } else if (const char16_t* line = CommandLogLine(id)) {
        gui::Trace(line, status);
    }
}

const SkinButtonAction* FindSkinButtonAction(std::u16string_view name) {
    for (const auto& button : kButtons)
        if (button.name == name) return &button;
    return nullptr;
}

UINT CommandOfButtonMessage(UINT message) {
    for (const auto& button : kButtons)
        if (button.message == message) return button.command;
    return 0;
}

}  // namespace cmd
