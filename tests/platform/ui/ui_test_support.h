// Shared fixture of the window-system tests: the headless backend, a window
// class whose procedure records every message and can be given a handler
// per window, and a pump that dispatches what is queued.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "ui/headless/headless_backend.h"
#include "ui/ui.h"

namespace uitest {

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

using Handler = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;

class UiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A window of the recording class; destroyed after the test.
    HWND Make(DWORD style, RECT rect, HWND parent = nullptr, DWORD ex_style = 0, UINT class_style = 0);
    void On(HWND hwnd, Handler handler);
    // Dispatches everything queued for this thread (no waiting).
    void Pump();
    // Messages of `message` seen by `hwnd` (all windows with null).
    std::vector<Seen> SeenOf(UINT message, HWND hwnd = nullptr);
    std::vector<UINT> Sequence(HWND hwnd);
    void ClearSeen();
    plat::ui::HeadlessBackend& Headless();

public:
    // The recording class without class styles, for windows made on other threads.
    static LPCWSTR TestClass();
    static LRESULT Proc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);

private:
    std::vector<HWND> m_windows;
};

std::uint32_t Pixel(const plat::ui::Bitmap& b, int x, int y);  // 0x00RRGGBB

// Ordinary input, queued for whoever handles it next.
void Click(POINT screen);  // left button pressed and released there
void PressKey(int vk);     // pressed and released
// Lower-case letters and digits as keys (TranslateMessage makes the
// characters); other characters as a backend's InjectChar.
void TypeText(std::u16string_view text);
POINT CentreOf(HWND hwnd);  // on the screen

}  // namespace uitest
