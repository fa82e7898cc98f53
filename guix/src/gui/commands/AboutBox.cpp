#include "commands/AboutBox.h"

#include <algorithm>
#include <string>

#include "LUMEXGUIApp.h"
#include "commands/CommandIds.h"
#include "resource/module.h"
#include "ui/device_context.h"
#include "ui/draw.h"
#include "ui/font.h"
#include "ui/gdi_objects.h"
#include "ui/input.h"
#include "ui/message_queue.h"
#include "ui/modal_loop.h"
#include "ui/paint.h"
#include "ui/resource_images.h"
#include "ui/text.h"
#include "ui/window.h"
#include "ui/window_pos.h"

namespace cmd {
namespace {

constexpr char16_t kClassName[] = u"LumexAboutBox";
constexpr int kMargin = 12;
constexpr int kTextWidth = 280;
constexpr int kTitleHeight = 22;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;

struct AboutContents {
    HBITMAP bitmap = nullptr;
    SIZE bitmapSize{};
    HFONT titleFont = nullptr;
    std::u16string text;  // strings 276 and 277, a blank line between
    ~AboutContents() {
        if (bitmap) DeleteObject(bitmap);
        if (titleFont) DeleteObject(titleFont);
    }
};

std::u16string LoadText(HMODULE resources, UINT id) {
    WCHAR text[1024] = {};
    const int length = LoadStringW(resources, id, text, int(std::size(text)));
    return std::u16string(text, std::size_t(std::max(length, 0)));
}

AboutContents* ContentsOf(HWND hwnd) {
    return reinterpret_cast<AboutContents*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

int TextLeft(const AboutContents& c) { return kMargin + (c.bitmap ? c.bitmapSize.cx + kMargin : 0); }

void Paint(HWND hwnd, const AboutContents& c) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client{};
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    if (c.bitmap) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, c.bitmap);
        BitBlt(dc, kMargin, kMargin, c.bitmapSize.cx, c.bitmapSize.cy, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
    }
    SetBkMode(dc, TRANSPARENT);
    const int left = TextLeft(c);
    RECT title{left, kMargin, left + kTextWidth, kMargin + kTitleHeight};
    HGDIOBJ old_font = SelectObject(dc, c.titleFont);
    DrawTextW(dc, CLUMEXGUIApp::kProductName, -1, &title, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    RECT body{left, title.bottom + 4, left + kTextWidth, client.bottom - kButtonHeight - 2 * kMargin};
    DrawTextW(dc, c.text.c_str(), -1, &body, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old_font);
    EndPaint(hwnd, &ps);
}

LRESULT AboutProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    AboutContents* contents = ContentsOf(hwnd);
    switch (message) {
        case WM_PAINT:
            if (contents) Paint(hwnd, *contents);
            return 0;
        case WM_ERASEBKGND: return 1;
        case WM_COMMAND:
            if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) DestroyWindow(hwnd);
            return 0;
        case WM_CLOSE: DestroyWindow(hwnd); return 0;
        case WM_NCDESTROY:
            delete contents;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            break;
    }
    return DefWindowProcW(hwnd, message, wp, lp);
}

void RegisterAboutClass() {
    static const bool registered = [] {
        WNDCLASSEXW wc;
        wc.lpfnWndProc = &AboutProc;
        wc.lpszClassName = kClassName;
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
}

}  // namespace

HWND CreateAboutBox(HWND owner, HMODULE resources) {
    RegisterAboutClass();
    auto contents = new AboutContents;
    contents->bitmap = LoadBitmapW(resources, MAKEINTRESOURCEW(kAboutBitmap));
    if (contents->bitmap) {
        BITMAP info{};
        GetObjectW(contents->bitmap, sizeof info, &info);
        contents->bitmapSize = {info.bmWidth, info.bmHeight};
    }
    contents->titleFont = CreateFontW(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, u"DejaVu Sans");
    contents->text = LoadText(resources, kAboutText1) + u"\n\n" + LoadText(resources, kAboutText2);

    const int width = TextLeft(*contents) + kTextWidth + kMargin;
    const int height = std::max<int>(contents->bitmapSize.cy + 2 * kMargin, 150) + kButtonHeight + kMargin;
    RECT area{};
    GetWindowRect(owner, &area);
    HWND box = CreateWindowExW(0, kClassName, CLUMEXGUIApp::kProductName, WS_POPUP | WS_CAPTION | WS_SYSMENU,
                               area.left, area.bottom + 8, width, height, owner, nullptr, nullptr, nullptr);
    if (!box) {
        delete contents;
        return nullptr;
    }
    SetWindowLongPtrW(box, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(contents));
    RECT client{};
    GetClientRect(box, &client);
    HWND ok = CreateWindowExW(0, u"BUTTON", u"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                              client.right - kMargin - kButtonWidth, client.bottom - kMargin - kButtonHeight,
                              kButtonWidth, kButtonHeight, box, reinterpret_cast<HMENU>(std::uintptr_t(IDOK)),
                              nullptr, nullptr);
    SendMessageW(ok, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    ShowWindow(box, SW_SHOW);
    SetFocus(ok);
    return box;
}

void ShowAboutBox(HWND owner, HMODULE resources) {
    HWND focus = GetFocus();
    HWND box = CreateAboutBox(owner, resources);
    if (!box) return;
    plat::ui::RunModalDialog(box, owner, focus, [box] { return !IsWindow(box); });
}

}  // namespace cmd
