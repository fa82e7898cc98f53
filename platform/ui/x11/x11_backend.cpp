#include "ui/x11/x11_backend.h"
namespace plat::ui {
std::unique_ptr<Backend> MakeX11Backend() { return nullptr; }
unsigned long NativeWindowId(HWND) { return 0; }
}
