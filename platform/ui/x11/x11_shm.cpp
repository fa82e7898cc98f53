#include "ui/x11/x11_shm.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
#include <cstring>

namespace plat::ui {
namespace {

bool g_attachFailed = false;

int RecordAttachError(Display*, XErrorEvent*) {
    g_attachFailed = true;
    return 0;
}

bool LocalDisplay(Display* display) {
    const char* name = DisplayString(display);
    return name && (name[0] == ':' || std::strncmp(name, "unix:", 5) == 0);
}

}  // namespace

bool ShmUsable(Display* display) {
    if (std::getenv("LUMETRA_UI_NO_SHM") || !LocalDisplay(display) || !XShmQueryExtension(display)) return false;
    // A trial segment: a server in another namespace refuses the attach.
    ShmImage trial;
    const bool ok = trial.Create(display, DefaultVisual(display, DefaultScreen(display)),
                                 DefaultDepth(display, DefaultScreen(display)), 1, 1);
    trial.Destroy(display);
    return ok;
}

bool ShmImage::Create(Display* display, Visual* visual, int depth, int width, int height) {
    Destroy(display);
    m_image = XShmCreateImage(display, visual, unsigned(depth), ZPixmap, nullptr, &m_info, unsigned(width), unsigned(height));
    if (!m_image) return false;
    m_info.shmid = shmget(IPC_PRIVATE, std::size_t(m_image->bytes_per_line) * m_image->height, IPC_CREAT | 0600);
    if (m_info.shmid < 0) {
        XDestroyImage(m_image);
        m_image = nullptr;
        return false;
    }
    m_info.shmaddr = m_image->data = static_cast<char*>(shmat(m_info.shmid, nullptr, 0));
    m_info.readOnly = False;
    g_attachFailed = false;
    XErrorHandler previous = XSetErrorHandler(&RecordAttachError);
    const bool attached = m_info.shmaddr != reinterpret_cast<char*>(-1) && XShmAttach(display, &m_info);
    XSync(display, False);
    XSetErrorHandler(previous);
    // Marked for removal now: the segment goes away with its last user,
    // even if the program dies.
    shmctl(m_info.shmid, IPC_RMID, nullptr);
    if (!attached || g_attachFailed) {
        if (m_info.shmaddr != reinterpret_cast<char*>(-1)) shmdt(m_info.shmaddr);
        m_image->data = nullptr;
        XDestroyImage(m_image);
        m_image = nullptr;
        return false;
    }
    return true;
}

void ShmImage::Destroy(Display* display) {
    if (!m_image) return;
    XShmDetach(display, &m_info);
    XSync(display, False);
    shmdt(m_info.shmaddr);
    m_image->data = nullptr;
    XDestroyImage(m_image);
    m_image = nullptr;
}

}  // namespace plat::ui
