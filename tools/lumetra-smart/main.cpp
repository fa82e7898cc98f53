// lumetra-smart: reads S.M.A.R.T. data through the running service; see
// SmartUsage for the commands.
#include <iostream>

#include "SmartCli.h"
#include "marshal/SmartServicePort.h"

int main(int argc, char** argv) {
    std::string error;
    const std::optional<SmartCommand> command =
        ParseSmartCommand(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!command) {
        std::cerr << "lumetra-smart: " << error << "\n" << SmartUsage();
        return kExitUsage;
    }
    if (command->verb == SmartVerb::Help) {
        std::cout << SmartUsage();
        return kExitDone;
    }
    return RunSmartCommand(*command, SmartServicePort(), std::cout, std::cerr);
}
