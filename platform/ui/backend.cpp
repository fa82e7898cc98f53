#include "ui/backend.h"

#include <cstdlib>
#include <mutex>

#include "ui/headless/headless_backend.h"
#include "ui/x11/x11_backend.h"

namespace plat::ui {
namespace {

std::unique_ptr<Backend> Choose() {
    const char* forced = std::getenv("LUMETRA_UI_BACKEND");
    const std::string choice = forced ? forced : "";
    if (choice != "headless") {
        const char* display = std::getenv("DISPLAY");
        if (choice == "x11" || (display && *display)) {
            if (auto x11 = MakeX11Backend()) return x11;
        }
    }
    return std::make_unique<HeadlessBackend>();
}

}  // namespace

Backend& CurrentBackend() {
    static std::once_flag once;
    static Backend* backend = nullptr;
    std::call_once(once, [] { backend = Choose().release(); });  // lives until exit
    return *backend;
}

std::string BackendName() { return CurrentBackend().Name(); }

void ShutdownBackend() { CurrentBackend().Shutdown(); }

}  // namespace plat::ui
