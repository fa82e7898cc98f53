// CSkinDialog: the base of every window of the GUI. It turns a dialog
// template into an irregularly shaped window drawn from skin images, owns
// four lists of skinned controls made from control records, lets its
// owner address them by name, reports their mouse events through the
// virtual operations named after the control kind, lets the user drag the
// window by any point, and offers a colour tint, snapping to the edges of
// the work area and auto-hiding at a snapped edge with a slide.
//
// Images. A dialog keeps a primary set (LoadSkinBitmaps; controls are cut
// from it), a second set (LoadSecondSkinBitmaps; the LED window's extra
// buttons and its sliders), a working set (copies of the primary set that
// TileFace, AppendPrimary, AppendSecond and StretchSkin rebuild; the
// window's size and region follow its mask) and a tint cache (tinted copies
// of the working face, hover, pressed and disabled images, rebuilt by
// DrawBackground only when the colour index or the working set changed).
//
// Controls. Look-ups by name compare the whole name exactly, case
// included, in list order; the first match is used and an unknown name does
// nothing. SetLabelColor and SetLabelTooltip take the label at `index`
// instead when the name is empty and 0 <= index < the number of labels.
//
// Snapping and auto-hide work against the work area of the monitor nearest
// to the window (on X11 the desktop's work area under a window manager, the
// screen without one). Timer 1125 drives auto-hide: every 1,500 ms while the
// window is shown, every 50 ms while it is slid out. A slide runs inside the
// timer handler, moving and repainting the window at every step, with a
// 1 ms pause between steps.
//
// Threads: the GUI thread, except SetLabelText, SetLabelColor,
// SetProgressPos, SetButtonState, SetColorIndex, GetColorIndex and
// DrawBackground, which other threads may call: they only store values and
// invalidate, and a label's text change reaches the GUI thread as a posted
// message. The controls lock guards the four lists, the images lock the
// image sets and the tint cache (so a background drawn on another thread
// never sees a set half rebuilt); the two are never held together, and
// neither while a message is sent to another thread.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "skin/SkinButton.h"
#include "skin/SkinDock.h"
#include "skin/SkinImageSet.h"
#include "skin/SkinLabel.h"
#include "skin/SkinProgress.h"
#include "skin/SkinRecord.h"
#include "skin/SkinSlider.h"
#include "ui/framework_dialog.h"

class CSkinDialog : public CDialog {
public:
    static constexpr UINT_PTR kAutoHideTimer = 1125;
    static constexpr UINT kAutoHideShownMs = 1500;
    static constexpr UINT kAutoHideHiddenMs = 50;
    static constexpr int kDefaultSnapDistance = 15;

    CSkinDialog(UINT template_id, CWnd* parent = nullptr);
    ~CSkinDialog() override;

    // Skin loading. The identifiers are resources of the resource library
    // (AfxGetResourceHandle). LoadSkinBitmaps first removes every control
    // and every image, then loads the primary set, the working set and the
    // tint cache, gives the window the mask's size (keeping its position),
    // builds its region from the mask and redraws it. A missing bitmap
    // leaves its slot empty.
    void LoadSkinBitmaps(UINT face, UINT mask, UINT hover, UINT pressed, UINT disabled);
    // Replaces the second set; controls, size and region stay.
    void LoadSecondSkinBitmaps(UINT face, UINT mask, UINT hover, UINT pressed, UINT disabled);

    // Controls from records (a missing or empty string adds nothing). A
    // button or slider whose x or y argument is not 0 is moved so its
    // top-left corner is at (x, y); its images are still cut at the
    // record's own rectangle.
    void AddButtonFromString(UINT string_id, int x = 0, int y = 0);
    void AddAltButtonFromString(UINT string_id, int x = 0, int y = 0);  // cut from the second set
    void AddProgressFromString(UINT string_id);
    void AddSliderFromString(UINT string_id, UINT thumb_id, UINT pressed_thumb_id, int x = 0, int y = 0);
    void AddLabelFromString(UINT string_id);
    // A label from a record formatted at run time; a rectangle that is not
    // empty replaces the record's own.
    void AddLabelFromRecord(std::u16string_view record, const RECT& rect);
    // A label from a record already parsed (and perhaps changed).
    void AddLabel(const skin::LabelRecord& record);

    // By-name operations (see the header comment).
    void SetLabelText(std::u16string_view name, std::u16string_view text);
    void SetLabelColor(std::u16string_view name, int index, COLORREF colour);  // no repaint
    void SetLabelTooltip(std::u16string_view name, int index, const std::u16string& text);
    void SetProgressPos(std::u16string_view name, int percent);
    void SetSliderPos(std::u16string_view name, int position);
    void EnableButton(std::u16string_view name, BOOL enable);
    void SetButtonState(std::u16string_view name, BOOL state);

    void DeleteButtons();
    void DeleteSliders();
    void DeleteLabels();

    // The colour index the controls and the background are tinted with
    // (0: no tint).
    void SetColorIndex(int index) { m_colorIndex = index; }
    int GetColorIndex() const { return m_colorIndex; }

    // Returns the previous switch.
    BOOL EnableSnap(BOOL snap);
    void SetSnapDistance(int pixels) { m_snapDistance = pixels; }
    void SetAutoHide(BOOL auto_hide);
    BOOL IsDockedRight() const { return m_edge == skin::kEdgeRight; }
    // When docked at the right edge, moves `rect` horizontally so that its
    // right side lies on the work area's right side (width kept) and
    // returns 1; otherwise returns 0 and leaves it.
    BOOL KeepRightDocked(RECT* rect) const;

    // Image-set operations of the LED window.
    // The working face, hover, pressed, disabled and mask images become the
    // primary ones repeated `count` (at least 1) times side by side.
    void TileFace(int count);
    // Each working image followed on the right by the primary (second) image
    // of its role; the height becomes that of the appended image.
    void AppendPrimary();
    void AppendSecond();
    // Stretches the working mask and images to width x height, repeating
    // or dropping columns at `column` and rows at `row` (SkinStretch.h); the
    // skin takes the mask's size, the window is resized to it (position and
    // stacking kept) and its region rebuilt.
    void StretchSkin(int width, int height, int column, int row);
    // Stores the window rectangle, rebuilds the tint cache when needed, copies
    // the tinted face to `dc` and repaints the controls.
    void DrawBackground(HDC dc);
    // DrawBackground without the controls' repaint, for a drawing that
    // leaves them alone (the dialog clips its children out); true when the
    // tint cache was rebuilt, so the controls' look changed too.
    bool DrawFace(HDC dc);

    // Notifications, in this order of virtual slots. The index operations
    // are what the controls call; they pass the control's name to the name
    // operations, which a derived dialog overrides. All default to nothing.
    virtual void OnSkinProgress(const std::u16string& name);
    virtual void OnSkinButton(const std::u16string& name);
    virtual void OnSkinButtonIndex(int index);
    virtual void OnSkinSlider(const std::u16string& name, int code, int position);
    virtual void OnSkinSliderIndex(int index, int code, int position);
    virtual void OnSkinLabel(const std::u16string& name);
    virtual void OnSkinLabelIndex(int index);
    virtual void OnSkinMouseMove(const std::u16string& name, int x, int y);
    // Gives the window the shape of a mask bitmap. Without a result it shows
    // "Can not create region from Bitmap." (caption " "), and "Can not create
    // region." when the window refuses the region; the window then keeps its
    // rectangle. The window is invalidated in every case.
    virtual void SetRegionFromBitmap(HBITMAP mask);
    void OnSkinProgressIndex(int index);

    // What the dialog holds, for derived dialogs and tests.
    int SkinWidth() const { return m_skinWidth; }
    int SkinHeight() const { return m_skinHeight; }
    enum class ImageSet { Primary, Second, Working, Tinted };
    HBITMAP Image(ImageSet set, skin::SkinRole role) const;
    std::size_t ButtonCount() const;
    std::size_t SliderCount() const;
    std::size_t LabelCount() const;
    std::size_t ProgressCount() const;
    CSkinButton* Button(std::size_t index) const;
    CSkinSlider* Slider(std::size_t index) const;
    CSkinLabel* Label(std::size_t index) const;
    CSkinProgress* Progress(std::size_t index) const;
    CSkinButton* FindButton(std::u16string_view name) const;
    CSkinSlider* FindSlider(std::u16string_view name) const;
    CSkinLabel* FindLabel(std::u16string_view name) const;
    CSkinProgress* FindProgress(std::u16string_view name) const;
    // The labels whose rectangles lie strictly inside `rect` (parent client
    // coordinates): caption labels laid over a button.
    std::vector<CSkinLabel*> LabelsInside(const RECT& rect) const;

    int DockEdge() const { return m_edge; }
    bool IsDocked() const { return m_docked; }
    bool IsHidden() const { return m_hidden; }
    BOOL IsSnapEnabled() const { return m_snap; }
    BOOL IsAutoHide() const { return m_autoHide; }
    int SnapDistance() const { return m_snapDistance; }
    RECT SavedWindowRect() const;
    // How often DrawBackground rebuilt the tint cache (a diagnostic).
    int TintCacheRebuilds() const { return m_tintRebuilds; }

    BOOL OnInitDialog() override;
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wp, LPARAM lp) override;

protected:
    BOOL OnEraseBkgnd(HDC dc) override;
    void OnPaint() override;
    void OnActivate(UINT state, HWND other, BOOL minimized) override;
    void OnShowWindow(BOOL show, UINT status) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnWindowPosChanging(WINDOWPOS* pos) override;
    void OnMove(int x, int y) override;
    void OnTimer(UINT_PTR id) override;
    void OnDestroy() override;

    // Repaints every control after the background was drawn.
    void RepaintControls();
    // Slides the docked window out of sight, or back in.
    void SlideOut();
    void SlideIn();

private:
    template <class Control>
    using ControlList = std::vector<std::unique_ptr<Control>>;

    template <class Control>
    static Control* FindIn(const ControlList<Control>& list, std::u16string_view name);
    // The list's size, its control at `index` or named `name` (null for
    // none), under the controls lock.
    template <class Control>
    std::size_t CountOf(const ControlList<Control>& list) const;
    template <class Control>
    Control* AtIndex(const ControlList<Control>& list, std::size_t index) const;
    template <class Control>
    Control* Named(const ControlList<Control>& list, std::u16string_view name) const;
    // The name of the list's control at `index`; false for none.
    template <class Control>
    bool NameOf(const ControlList<Control>& list, int index, std::u16string* name) const;
    template <class Control>
    void Retire(ControlList<Control>& list);
    void RetireAllControls();
    void FreeRetiredControls();

    std::u16string LoadRecord(UINT string_id) const;
    void AddButton(std::u16string_view record, const skin::SkinImageSet& images, int x, int y);
    // Places a new control where its record says and, with x or y, moves it.
    void PlaceControl(CWnd& control, int x, int y);
    // The label chosen by name, or by index when the name is empty.
    CSkinLabel* LabelByNameOrIndex(std::u16string_view name, int index) const;

    void ResizeToSkin();
    void MarkWorkingSetChanged() { m_rebuildTint = true; }
    void RebuildTintCache(int index);
    RECT WorkAreaNear(const RECT& rect) const;
    void StoreWindowRect();
    // Moves through the slide's rectangles, one step each millisecond,
    // painting each step when `paint`.
    void Slide(const std::vector<RECT>& steps, bool paint);

    mutable std::recursive_mutex m_controlsMutex;
    ControlList<CSkinButton> m_buttons;
    ControlList<CSkinSlider> m_sliders;
    ControlList<CSkinLabel> m_labels;
    ControlList<CSkinProgress> m_progress;
    // Removed controls that may still be inside one of their handlers.
    std::vector<std::unique_ptr<CWnd>> m_retired;

    int m_skinWidth = 0;
    int m_skinHeight = 0;

    mutable std::recursive_mutex m_imagesMutex;
    skin::SkinImageSet m_primary;
    skin::SkinImageSet m_second;
    skin::SkinImageSet m_working;
    skin::SkinImageSet m_tinted;  // no mask

    mutable std::mutex m_rectMutex;
    RECT m_windowRect{};

    BOOL m_snap = FALSE;
    BOOL m_autoHide = FALSE;
    bool m_docked = false;
    bool m_hidden = false;
    bool m_rebuildTint = false;
    bool m_sliding = false;
    int m_snapDistance = kDefaultSnapDistance;
    int m_edge = skin::kEdgeNone;
    std::atomic<int> m_colorIndex{0};
    int m_tintIndex = 0;  // the index the tint cache was made for
    int m_tintRebuilds = 0;
};
