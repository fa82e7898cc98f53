// The LED window's drawing: paint and the activity redraw, the panel with its
// rows, LEDs, used-space bars and letters, the S.M.A.R.T. boxes, and the
// alert check after every redraw.
//
// Every drawing goes into one memory bitmap of the client size (kept between
// frames) under the drawing lock and reaches the window in one copy, so the
// LEDs never flicker; none runs while a layout rebuilds the skin. A frame
// first describes the panel (PanelPiece.h); a paint, a layout, a resize or a
// tint change draws it whole, an activity redraw only the pieces that look
// different from the frame on the screen, and nothing when none does.
#include <algorithm>
#include <vector>

#include "DriveFreeSpace.h"
#include "LUMEXGUIDlg.h"
#include "SmartBoxLook.h"
#include "ui/text.h"
#include "ui/icon.h"

namespace {

constexpr int kRowIconAdvance = 32;
constexpr int kSmartBoxAdvance = 62;
constexpr int kPlainAdvance = 4;
constexpr int kFreeSpaceEvery = 39;
constexpr COLORREF kLetterColour = 0xFEFFFF;
constexpr UINT kTextFlags = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;

}  // namespace

BOOL CLUMEXGUIDlg::OnEraseBkgnd(HDC) { return TRUE; }

void CLUMEXGUIDlg::OnPaint() {
    PAINTSTRUCT ps;
    if (IsIconic(m_hWnd)) {
        HDC dc = BeginPaint(m_hWnd, &ps);
        RECT client{};
        GetClientRect(&client);
        const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
        DrawIcon(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, m_iconNormal);
        EndPaint(m_hWnd, &ps);
        return;
    }
    if (m_closing) {
        DestroyWindow();
        return;
    }
    HDC dc = BeginPaint(m_hWnd, &ps);
    const bool draw = m_initialised && !m_layoutBusy;
    if (draw) {
        EnterCriticalSection(&m_drawingLock);
        DrawFrame(dc);
        LeaveCriticalSection(&m_drawingLock);
    }
    EndPaint(m_hWnd, &ps);
    if (draw) RebuildTooltips();
}

void CLUMEXGUIDlg::RedrawActivity() {
    EnterCriticalSection(&m_drawingLock);
    if (!IsWindowVisible(m_hWnd) || m_layoutBusy) {
        UpdateKeyboardLed();
    } else if (m_initialised && !m_destroying) {
        DrawFrame(nullptr);
    }
    LeaveCriticalSection(&m_drawingLock);
    CheckAlert();
}

void CLUMEXGUIDlg::DrawFrame(HDC paint_dc) {
    RECT client{};
    GetClientRect(&client);
    if (client.right <= 0 || client.bottom <= 0) return;
    PanelPieces pieces = DescribePanel();
    const int tint = GetColorIndex();
    const bool resized = !m_frame || m_frameSize.cx != client.right || m_frameSize.cy != client.bottom;
    bool whole = paint_dc || !m_shownValid || resized || tint != m_imagesTint;
    RECT area = whole ? client : ChangedArea(m_shown, pieces, client);
    m_shown = std::move(pieces);
    if (IsRectEmpty(&area)) return;
    HDC window_dc = paint_dc ? paint_dc : GetDC(m_hWnd);
    if (!window_dc) return;
    if (resized) {
        m_frame.Reset(CreateCompatibleBitmap(window_dc, client.right, client.bottom));
        m_frameSize = {client.right, client.bottom};
    }
    if (tint != m_imagesTint) {
        m_ledImages.Tint(tint);
        m_rowIcons.Tint(tint);
        m_smartImages.Tint(tint);
        m_imagesTint = tint;
    }
    skin::MemoryDC memory(m_frame.Get());
    if (!whole) {
        IntersectClipRect(memory.Get(), area.left, area.top, area.right, area.bottom);
        if (DrawFace(memory.Get())) {  // the face itself changed: everything again
            SelectClipRgn(memory.Get(), nullptr);
            whole = true;
            area = client;
        }
    }
    if (whole) DrawBackground(memory.Get());
    RECT overlap{};
    for (const PanelPiece& piece : m_shown)
        if (whole || IntersectRect(&overlap, &piece.bounds, &area)) DrawPiece(memory.Get(), piece);
    BitBlt(window_dc, area.left, area.top, area.right - area.left, area.bottom - area.top, memory.Get(), area.left,
           area.top, SRCCOPY);
    if (!paint_dc) ReleaseDC(m_hWnd, window_dc);
    m_shownValid = true;
}

void CLUMEXGUIDlg::DrawPiece(HDC dc, const PanelPiece& piece) {
    const TintedImageList& images = ImagesOf(piece.images);
    images.Draw(dc, piece.image, piece.x, piece.y);
    if (piece.bar >= 0) images.DrawLeft(dc, piece.bar, piece.x, piece.y, piece.barWidth);
    if (piece.overlay >= 0) images.Draw(dc, piece.overlay, piece.x, piece.y);
    if (!piece.text.empty()) DrawCentredText(dc, piece.text, piece.textRect, piece.colour);
}

const TintedImageList& CLUMEXGUIDlg::ImagesOf(PanelPiece::Images images) const {
    switch (images) {
        case PanelPiece::Images::RowIcons: return m_rowIcons;
        case PanelPiece::Images::Leds: return m_ledImages;
        case PanelPiece::Images::SmartBoxes: break;
    }
    return m_smartImages;
}

PanelPiece CLUMEXGUIDlg::ImagePiece(PanelPiece::Images images, int image, int x, int y) const {
    const TintedImageList& list = ImagesOf(images);
    PanelPiece piece;
    piece.images = images;
    piece.image = image;
    piece.x = x;
    piece.y = y;
    piece.bounds = RECT{x, y, x + list.Width(), y + list.Height()};
    return piece;
}

PanelPieces CLUMEXGUIDlg::DescribePanel() {
    const DriveGroups& groups = m_driver.Groups();
    const int rows = std::min({m_previousRows, groups.RowCount(), kMaxRows});
    const bool horizontal = m_Settings.Horizontal != 0;
    // Stacked rows share one box column, right of the widest row's LEDs.
    int box_column = 0;
    if (!horizontal) {
        for (int row = 0; row < rows; ++row)
            if (groups.IsRowVisible(row, m_Settings)) box_column = std::max(box_column, groups.LetterCount(row));
        box_column = m_layout.Spacing() + m_layout.Margin() + kRowIconAdvance +
                     box_column * (m_layout.Spacing() + m_layout.LedWidth());
    }
    PanelPieces pieces;
    std::vector<std::pair<int, int>> gone;  // row and letter of drives that went
    int x = 0, y = 0;
    for (int row = 0; row < rows; ++row) {
        RowState& state = m_rows[row];
        if (!groups.IsRowVisible(row, m_Settings)) {
            state.box = state.smartArea = RECT{};
            continue;
        }
        const RECT r = DescribeRow(pieces, row, x, y, gone);
        RECT box_base = r;
        if (!horizontal) box_base.right = std::max(r.right, box_column);
        SmartDevice* device = groups.Smart(row);
        const bool box = device && m_Settings.SmartDisplay;
        if (box) DescribeSmartBox(pieces, SmartCopy(*device), box_base);
        const int next = box_base.right + (box ? kSmartBoxAdvance : kPlainAdvance);
        state.smartArea = RECT{r.right, r.top, next, r.bottom};
        if (horizontal)
            x = next;
        else
            y += m_layout.RowHeight();
    }
    UpdateKeyboardLed();
    if (gone.empty()) return pieces;
    // Last letters first, so the indexes still to remove stay valid.
    for (auto it = gone.rbegin(); it != gone.rend(); ++it) m_driver.Groups().RemoveRecord(it->first, it->second);
    if (m_hWnd) PostMessage(WM_TOOLS_STALE);
    return pieces;
}

RECT CLUMEXGUIDlg::DescribeRow(PanelPieces& pieces, int row, int x, int y, std::vector<std::pair<int, int>>& gone) {
    const int s = m_layout.Spacing(), led_w = m_layout.LedWidth(), led_h = m_layout.LedHeight();
    RowState& state = m_rows[row];
    const RECT first{x + s + m_layout.Margin(), y + s + m_layout.Margin(), x + s + m_layout.Margin() + led_w,
                     y + s + m_layout.Margin() + led_h};
    RECT r = first;
    if (m_Settings.ShowBorder) {
        const DriveGroups& groups = m_driver.Groups();
        pieces.push_back(ImagePiece(PanelPiece::Images::RowIcons, groups.GroupOf(row), first.left, first.top - 1));
        state.box = first;
        int left = first.left + s + kRowIconAdvance;
        const int letters = std::min(groups.LetterCount(row), kRowsPerGroup);
        const bool read_space = state.redraws == 0 || state.redraws > kFreeSpaceEvery;
        r.right = first.left + kRowIconAdvance;
        for (int j = 0; j < letters; ++j) {
            const RECT led{left, first.top, left + led_w, first.top + led_h};
            const DriveEntry& drive = *groups.Record(row, j);
            if (read_space && !ReadFreeSpace(row, j, drive)) gone.emplace_back(row, j);
            DescribeLed(pieces, row, j, drive, led);
            r.right = led.right;
            left += s + led_w;
        }
    }
    if (state.redraws > kFreeSpaceEvery) state.redraws = 1;
    ++state.redraws;
    return r;
}

void CLUMEXGUIDlg::DescribeLed(PanelPieces& pieces, int row, int j, const DriveEntry& drive, const RECT& box) {
    LedState& led = m_rows[row].Led(j);
    const bool read = m_driver.IsReading(drive.Letter()), write = m_driver.IsWriting(drive.Letter());
    led.image = read && write ? kLedBoth : read ? kLedReading : write ? kLedWriting : kLedIdle;
    led.rect = box;
    PanelPiece piece = ImagePiece(PanelPiece::Images::Leds, led.image, box.left, box.top);
    const int width = m_ledImages.Width();
    piece.bar = kLedUsedBar;
    piece.barWidth = width - width * led.freePercent / 100;
    if (drive.Letter() < LED_LETTER_NONE) {
        piece.text = std::u16string(1, drive.Letter());
        piece.textRect = RECT{box.left - 2, box.top, box.right, box.bottom - 5};
        piece.colour = kLetterColour;
        UnionRect(&piece.bounds, &piece.bounds, &piece.textRect);
    } else if (drive.IsCatchAll()) {
        piece.overlay = kLedNetwork;
    }
    pieces.push_back(std::move(piece));
}

// Stores the free space of letter j; false when the drive is gone: it
// failed and reports itself dismounted, so its record leaves the row and its
// LED is not drawn from the next redraw on.
bool CLUMEXGUIDlg::ReadFreeSpace(int row, int j, const DriveEntry& drive) {
    const DriveFreeSpace space = ReadDriveFreeSpace(drive.Letter(), m_freeSpaceEx);
    if (space.failed && drive.record.Dismounted) return false;
    LedState& led = m_rows[row].Led(j);
    led.freePercent = space.percent == -1 ? 100 : space.percent;
    led.freeGigabytes = space.gigabytes;
    return true;
}

SmartDevice CLUMEXGUIDlg::SmartCopy(const SmartDevice& device) const { return m_pSmartHandler->CopyRecord(device); }

void CLUMEXGUIDlg::DescribeSmartBox(PanelPieces& pieces, const SmartDevice& device, const RECT& r) {
    if (!m_Settings.SmartDisplay || !(device.flags & SMART_FLAG_SUPPORTED)) return;
    const bool healthy = device.health != 0;
    if (!healthy) RaiseAlert();
    const int left = r.right + 4, top = r.top - 1;
    PanelPiece piece = ImagePiece(PanelPiece::Images::SmartBoxes,
                                  healthy ? smartbox::kHealthyBox : smartbox::kFailingBox, left, top);
    piece.bar = healthy ? smartbox::kHealthyLife : smartbox::kFailingLife;
    piece.barWidth = m_smartImages.Width() * smartbox::LifePercent(device) / 100;
    if (smartbox::IsTooHot(device, m_Settings.MaxTemp)) RaiseAlert();
    piece.textRect = RECT{left, top, r.right + kSmartBoxAdvance, r.bottom};
    piece.textRect.top += (piece.textRect.bottom - piece.textRect.top) / 4;
    piece.text = smartbox::TemperatureText(device, m_Settings.Fahrenheit != 0);
    piece.colour = smartbox::TemperatureColour(device, m_Settings.MaxTemp);
    UnionRect(&piece.bounds, &piece.bounds, &piece.textRect);
    pieces.push_back(std::move(piece));
}

void CLUMEXGUIDlg::DrawCentredText(HDC dc, const std::u16string& text, RECT rect, COLORREF colour) {
    HGDIOBJ previous = SelectObject(dc, m_boldFont.Get());
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text.c_str(), int(text.size()), &rect, kTextFlags);
    SelectObject(dc, previous);
}

void CLUMEXGUIDlg::CheckAlert() {
    if (!m_Settings.SmartDisplay) return;
    EnterCriticalSection(&m_drawingLock);
    const DriveGroups& groups = m_driver.Groups();
    bool raise = false;
    for (int row = 0; row < groups.RowCount() && !raise; ++row) {
        const SmartDevice* device = groups.Smart(row);
        if (!device) continue;
        const SmartDevice copy = SmartCopy(*device);
        raise = (copy.flags & SMART_FLAG_SUPPORTED) && smartbox::RaisesAlert(copy, m_Settings.MaxTemp);
    }
    LeaveCriticalSection(&m_drawingLock);
    if (raise) RaiseAlert();
}

int CLUMEXGUIDlg::HitTestRow(POINT client) const {
    for (int row = 0; row < std::min(m_previousRows, kMaxRows); ++row)
        if (PtInRect(&m_rows[row].box, client) || PtInRect(&m_rows[row].smartArea, client)) return row;
    return -1;
}

bool CLUMEXGUIDlg::HitTestLetter(POINT client, int* row, int* letter) const {
    const DriveGroups& groups = m_driver.Groups();
    for (int r = 0; r < std::min(m_previousRows, groups.RowCount()); ++r) {
        for (int j = 0; j < std::min(groups.LetterCount(r), kRowsPerGroup); ++j) {
            if (!PtInRect(&m_rows[r].Led(j).rect, client)) continue;
            *row = r;
            *letter = j;
            return true;
        }
    }
    return false;
}
