// The X11 backend's notification area: the tray host the window system
// calls (with its tray lock held, never the display lock), forwarding to
// the system tray under the display lock. Icons and tips are prepared before
// that lock is taken: looking up handles and drawing text take the window
// system's locks.
#include "ui/icon.h"
#include "ui/tip_image.h"
#include "ui/x11/x11_backend_impl.h"

namespace plat::ui {
namespace {

class X11TrayHost final : public TrayHost {
public:
    explicit X11TrayHost(X11Backend& backend) : m_backend(backend) {}
    bool Show(const TrayIcon& icon) override { return m_backend.ShowTrayIcon(icon); }
    void Remove(HWND owner, UINT id) override { m_backend.RemoveTrayIcon(owner, id); }
    bool Available() override { return m_backend.TrayManagerRuns(); }

private:
    X11Backend& m_backend;
};

}  // namespace

void X11Backend::InstallTray() {
    SetTrayHost(std::make_shared<X11TrayHost>(*this));
    m_trayInstalled = true;
}

void X11Backend::RemoveTray() {
    if (m_trayInstalled) SetTrayHost(nullptr);
    m_trayInstalled = false;
}

bool X11Backend::ShowTrayIcon(const TrayIcon& icon) {
    std::shared_ptr<const Icon> image = Lookup<Icon>(icon.icon);
    std::shared_ptr<const Bitmap> tip = TipImage(icon.tip);
    Locked lock(*this);
    return !m_closed && m_tray->Show(icon, std::move(image), std::move(tip));
}

void X11Backend::RemoveTrayIcon(HWND owner, UINT id) {
    Locked lock(*this);
    if (!m_closed) m_tray->Remove(owner, id);
}

bool X11Backend::TrayManagerRuns() {
    Locked lock(*this);
    return !m_closed && m_tray->Available();
}

}  // namespace plat::ui
