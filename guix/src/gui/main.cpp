// lumex: the GUI program of Zelmor Lumetra.
#include <clocale>

#include "LUMEXGUIApp.h"
#include "ui/backend.h"
#include "ui/session_end.h"

int main() {
    std::setlocale(LC_ALL, "");
    // SIGTERM, SIGINT, SIGHUP and a lost display end the session: the LED
    // window closes as its exit command does, so the settings are stored.
    // Asked for before the start, so a signal during it ends the program
    // the same way once its message loop runs.
    plat::ui::EndSessionOnSignals();
    int result;
    {
        CLUMEXGUIApp app;
        result = AfxWinMain();
    }
    plat::ui::ShutdownBackend();
    return result;
}
