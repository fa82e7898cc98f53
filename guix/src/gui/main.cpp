// lumex: the GUI program of Zelmor Lumetra.
#include <clocale>

#include "LUMEXGUIApp.h"
#include "ui/backend.h"

int main() {
    std::setlocale(LC_ALL, "");
    int result;
    {
        CLUMEXGUIApp app;
        result = AfxWinMain();
    }
    plat::ui::ShutdownBackend();
    return result;
}
