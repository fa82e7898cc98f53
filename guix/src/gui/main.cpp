// lumex: the GUI program of Zelmor Lumetra.
#include <clocale>

#include "LUMEXGUIApp.h"
#include "TerminationSignals.h"
#include "base/thread.h"
#include "ui/backend.h"

int main() {
    std::setlocale(LC_ALL, "");
    gui::StopOnTerminationSignals(GetCurrentThreadId());
    int result;
    {
        CLUMEXGUIApp app;
        result = AfxWinMain();
    }
    plat::ui::ShutdownBackend();
    return result;
}
