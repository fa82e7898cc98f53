#include "ui/message_queue.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "base/clock.h"
#include "base/last_error.h"
#include "base/thread.h"
#include "base/win_errors.h"
#include "ui/backend.h"
#include "ui/def_window_proc.h"
#include "ui/input.h"
#include "ui/present_queue.h"
#include "ui/window.h"

namespace plat::ui {
namespace {

struct ThreadQueue;

struct SentMessage {
    MSG msg;
    LRESULT result = 0;
    bool done = false;  // under the sender's queue lock
    std::shared_ptr<ThreadQueue> sender;
};

struct Timer {
    HWND hwnd = nullptr;
    std::uintptr_t id = 0;
    UINT interval = 0;
    std::uint64_t due = 0;
    TIMERPROC proc = nullptr;
};

struct ThreadQueue {
    explicit ThreadQueue(DWORD t) : thread(t) {}
    const DWORD thread;
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::vector<Timer> timers;
    bool quit = false;
    int quitCode = 0;
    bool alive = true;
    std::uint64_t wakeSeq = 0;  // bumped by every change a waiter must see
    MSG last;

    void WakeLocked() {
        ++wakeSeq;
        cv.notify_all();
    }
};

struct Registry {
    std::mutex mutex;
    std::map<DWORD, std::shared_ptr<ThreadQueue>> queues;
    std::uintptr_t nextTimerId = 0x1000;
};

Registry& TheRegistry() {
    static Registry* r = new Registry;
    return *r;
}

std::atomic<SystemMessageHook> g_hook{nullptr};
thread_local int t_inSend = 0;

std::shared_ptr<ThreadQueue> QueueOf(DWORD thread, bool create) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.queues.find(thread);
    if (it != r.queues.end()) return it->second;
    if (!create) return nullptr;
    return r.queues[thread] = std::make_shared<ThreadQueue>(thread);
}

// Ends a thread's queue when the thread ends: messages still waiting to be
// sent to it complete with 0 so their senders do not wait forever.
struct QueueOwner {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueOwner() {
        if (!queue) return;
        std::deque<std::shared_ptr<SentMessage>> pending;
        {
            std::lock_guard lock(queue->mutex);
            queue->alive = false;
            pending.swap(queue->sent);
        }
        for (auto& sm : pending) {
            std::lock_guard lock(sm->sender->mutex);
            sm->done = true;
            sm->sender->WakeLocked();
        }
        Registry& r = TheRegistry();
        std::lock_guard lock(r.mutex);
        r.queues.erase(queue->thread);
    }
};

std::shared_ptr<ThreadQueue> CurrentQueue() {
    thread_local QueueOwner owner;
    if (!owner.queue) {
        owner.queue = QueueOf(GetCurrentThreadId(), true);
        StartThreadKeyState();
    }
    return owner.queue;
}

LRESULT CallProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    WNDPROC proc = nullptr;
    {
        std::lock_guard lock(WindowsMutex());
        auto w = Lookup<Window>(hwnd);
        if (!w) return 0;
        proc = w->proc;
    }
    return proc ? proc(hwnd, message, wp, lp) : 0;
}

void ProcessSent(ThreadQueue& q) {
    for (;;) {
        std::shared_ptr<SentMessage> sm;
        {
            std::lock_guard lock(q.mutex);
            if (q.sent.empty()) return;
            sm = q.sent.front();
            q.sent.pop_front();
        }
        ++t_inSend;
        const LRESULT result = CallProc(sm->msg.hwnd, sm->msg.message, sm->msg.wParam, sm->msg.lParam);
        --t_inSend;
        std::lock_guard lock(sm->sender->mutex);
        sm->result = result;
        sm->done = true;
        sm->sender->WakeLocked();
    }
}

bool InRange(UINT message, UINT min, UINT max) { return (min == 0 && max == 0) || (message >= min && message <= max); }

bool Matches(const MSG& m, HWND filter, UINT min, UINT max) {
    if (!InRange(m.message, min, max)) return false;
    if (!filter) return true;
    if (filter == reinterpret_cast<HWND>(-1)) return m.hwnd == nullptr;
    return m.hwnd == filter || IsChild(filter, m.hwnd);
}

bool PaintCandidate(DWORD thread, HWND filter, UINT min, UINT max, MSG* out) {
    if (!InRange(WM_PAINT, min, max)) return false;
    const POINT pt = MessagePoint();  // the input lock comes before the window lock
    std::lock_guard lock(WindowsMutex());
    for (const auto& w : AllWindows()) {
        if (w->thread != thread || w->destroying || w->update.IsEmpty() || !IsShown(*w)) continue;
        MSG m{w->handle, WM_PAINT, 0, 0, DWORD(GetTickCount()), pt};
        if (!Matches(m, filter, min, max)) continue;
        *out = m;
        return true;
    }
    return false;
}


// One pass of GetMessage / PeekMessage. Returns true with a message, false
// when `wait` is off and nothing is there.
bool Retrieve(MSG* out, HWND filter, UINT min, UINT max, UINT remove, bool wait) {
    auto q = CurrentQueue();
    for (;;) {
        ProcessSent(*q);
        std::uint64_t seq;
        {
            std::unique_lock lock(q->mutex);
            seq = q->wakeSeq;
            auto it = std::find_if(q->posted.begin(), q->posted.end(),
                                   [&](const MSG& m) { return Matches(m, filter, min, max); });
            if (it != q->posted.end()) {
                const MSG m = *it;
                if (remove & PM_REMOVE) q->posted.erase(it);
                lock.unlock();
                auto hook = g_hook.load();
                if ((remove & PM_REMOVE) && hook && hook(m)) continue;
                EndPaintRun();
                *out = m;
                q->last = m;
                if (remove & PM_REMOVE) NoteRetrievedKey(m);
                // F1 asks for help however the window handles the key.
                if ((remove & PM_REMOVE) && m.message == WM_KEYDOWN && m.wParam == WPARAM(VK_F1) && m.hwnd)
                    PostMessageW(m.hwnd, WM_KEYF1, 0, 0);
                return true;
            }
            if (q->quit) {
                *out = MSG{nullptr, WM_QUIT, WPARAM(q->quitCode), 0, DWORD(GetTickCount()), {}};
                if (remove & PM_REMOVE) q->quit = false;
                lock.unlock();
                EndPaintRun();
                return true;
            }
        }
        if (PaintCandidate(q->thread, filter, min, max, out)) {
            // A window's paint and its controls' are shown together.
            if (remove & PM_REMOVE) BeginPaintRun();
            return true;
        }
        EndPaintRun();
        const POINT pt = MessagePoint();
        std::unique_lock lock(q->mutex);
        const std::uint64_t now = CurrentClock().TickMs();
        Timer* next = nullptr;
        for (Timer& t : q->timers) {
            MSG m{t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), 0, {}};
            if (Matches(m, filter, min, max) && (!next || t.due < next->due)) next = &t;
        }
        if (next && next->due <= now) {
            *out = MSG{next->hwnd, WM_TIMER, next->id, reinterpret_cast<LPARAM>(next->proc), DWORD(now), pt};
            if (remove & PM_REMOVE) next->due = now + next->interval;
            q->last = *out;
            return true;
        }
        if (!wait) return false;
        if (q->wakeSeq != seq) continue;
        if (next) CurrentClock().WaitUntil(lock, q->cv, next->due);
        else q->cv.wait(lock);
    }
}

// Queues a posted message last, or first when it is to be retrieved next.
bool Enqueue(DWORD thread, const MSG& msg, bool next) {
    auto q = thread == GetCurrentThreadId() ? CurrentQueue() : QueueOf(thread, false);
    if (!q) return false;
    std::lock_guard lock(q->mutex);
    if (next) {
        q->posted.push_front(msg);
    } else if (msg.message == WM_MOUSEMOVE && !q->posted.empty() && q->posted.back().message == WM_MOUSEMOVE &&
               q->posted.back().hwnd == msg.hwnd) {
        q->posted.back() = msg;  // mouse moves are coalesced: only the latest position matters
    } else {
        q->posted.push_back(msg);
    }
    q->WakeLocked();
    return true;
}

}  // namespace

void EnsureCurrentQueue() { CurrentQueue(); }

bool PostToThread(DWORD thread, const MSG& msg) { return Enqueue(thread, msg, false); }

void WakeThread(DWORD thread) {
    auto q = QueueOf(thread, false);
    if (!q) return;
    std::lock_guard lock(q->mutex);
    q->WakeLocked();
}

void PurgeWindow(HWND hwnd) {
    std::vector<std::shared_ptr<ThreadQueue>> queues;
    {
        Registry& r = TheRegistry();
        std::lock_guard lock(r.mutex);
        for (auto& [id, q] : r.queues) queues.push_back(q);
    }
    for (auto& q : queues) {
        std::lock_guard lock(q->mutex);
        std::erase_if(q->posted, [&](const MSG& m) { return m.hwnd == hwnd; });
        std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == hwnd; });
    }
}

bool CurrentThreadHasMessages() {
    MSG m;
    return Retrieve(&m, nullptr, 0, 0, PM_NOREMOVE, false);
}

void SetSystemMessageHook(SystemMessageHook hook) { g_hook.store(hook); }

}  // namespace plat::ui

using namespace plat::ui;

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT min, UINT max) {
    if (!msg || (hwnd && hwnd != reinterpret_cast<HWND>(-1) && !IsWindow(hwnd))) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    Retrieve(msg, hwnd, min, max, PM_REMOVE, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT min, UINT max, UINT remove) {
    if (!msg) return FALSE;
    return Retrieve(msg, hwnd, min, max, remove, false) ? TRUE : FALSE;
}

BOOL WaitMessage() {
    MSG m;
    Retrieve(&m, nullptr, 0, 0, PM_NOREMOVE, true);
    return TRUE;
}

namespace {

// A digit key's character: the display's layout when the backend knows it,
// else the US layout (Shift+1 is '!').
WCHAR DigitCharacter(int vk, bool shift) {
    if (const char16_t c = plat::ui::CurrentBackend().DigitKeyCharacter(vk, shift)) return WCHAR(c);
    static constexpr char16_t kShiftedUs[] = u")!@#$%^&*(";
    return shift ? WCHAR(kShiftedUs[vk - '0']) : WCHAR(vk);
}

}  // namespace

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || msg->message != WM_KEYDOWN) return FALSE;
    const int vk = int(msg->wParam);
    WCHAR ch = 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    const bool upper = shift != ((GetKeyState(VK_CAPITAL) & 1) != 0);
    if (vk >= 'A' && vk <= 'Z') ch = WCHAR(upper ? vk : vk - 'A' + 'a');
    else if (vk >= '0' && vk <= '9') ch = DigitCharacter(vk, shift);
    else if (vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_BACK || vk == VK_TAB)
        ch = WCHAR(vk);
    if (!ch) return FALSE;
    // The character is the next message retrieved, ahead of input that came
    // after its key, as on Windows.
    const MSG character{msg->hwnd, WM_CHAR, WPARAM(ch), msg->lParam, msg->time, msg->pt};
    const DWORD thread = GetWindowThreadProcessId(msg->hwnd, nullptr);
    return thread && Enqueue(thread, character, thread == GetCurrentThreadId());
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, DWORD(GetTickCount()));
        return 0;
    }
    if (!msg->hwnd) return 0;
    return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    MSG m{hwnd, message, wparam, lparam, DWORD(GetTickCount()), MessagePoint()};
    if (!hwnd) return PostToThread(GetCurrentThreadId(), m);
    if (hwnd == HWND_BROADCAST) {
        std::vector<HWND> targets;
        {
            std::lock_guard lock(WindowsMutex());
            targets = TopLevelWindows();
        }
        for (HWND h : targets) PostMessageW(h, message, wparam, lparam);
        return TRUE;
    }
    DWORD thread;
    {
        std::lock_guard lock(WindowsMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return FALSE;
        thread = w->thread;
    }
    return PostToThread(thread, m);
}

BOOL PostThreadMessageW(DWORD thread, UINT message, WPARAM wparam, LPARAM lparam) {
    if (PostToThread(thread, MSG{nullptr, message, wparam, lparam, DWORD(GetTickCount()), MessagePoint()})) return TRUE;
    SetLastError(ERROR_INVALID_PARAMETER);  // no such thread, or it has no queue
    return FALSE;
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD thread;
    {
        std::lock_guard lock(WindowsMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return 0;
        thread = w->thread;
    }
    if (thread == GetCurrentThreadId()) return CallProc(hwnd, message, wparam, lparam);

    auto self = CurrentQueue();
    auto sm = std::make_shared<SentMessage>();
    sm->msg = MSG{hwnd, message, wparam, lparam, DWORD(GetTickCount()), {}};
    sm->sender = self;
    {
        auto target = QueueOf(thread, false);
        if (!target) return 0;  // the window's thread has ended
        std::lock_guard lock(target->mutex);
        if (!target->alive) return 0;
        target->sent.push_back(sm);
        target->WakeLocked();
    }
    // Wait for the answer, serving messages sent to this thread meanwhile
    // so two threads sending to each other do not deadlock.
    for (;;) {
        ProcessSent(*self);
        std::unique_lock lock(self->mutex);
        if (sm->done) return sm->result;
        if (!self->sent.empty()) continue;
        self->cv.wait(lock);
    }
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    return proc ? proc(hwnd, message, wparam, lparam) : 0;
}

void PostQuitMessage(int exit_code) {
    auto q = CurrentQueue();
    std::lock_guard lock(q->mutex);
    q->quit = true;
    q->quitCode = exit_code;
    q->WakeLocked();
}

BOOL InSendMessage() { return t_inSend > 0; }

DWORD GetMessageTime() {
    auto q = CurrentQueue();
    std::lock_guard lock(q->mutex);
    return q->last.time;
}

DWORD GetMessagePos() {
    auto q = CurrentQueue();
    std::lock_guard lock(q->mutex);
    return DWORD(MAKELPARAM(q->last.pt.x, q->last.pt.y));
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc) {
    DWORD thread = GetCurrentThreadId();
    if (hwnd) {
        std::lock_guard lock(WindowsMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return 0;
        thread = w->thread;
    }
    const UINT interval = std::clamp<UINT>(elapse_ms, 10, 0x7FFFFFFF);
    auto q = thread == GetCurrentThreadId() ? CurrentQueue() : QueueOf(thread, false);
    if (!q) return 0;
    std::lock_guard lock(q->mutex);
    if (!hwnd) {
        Registry& r = TheRegistry();
        std::lock_guard rlock(r.mutex);
        id = r.nextTimerId++;
    }
    std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    q->timers.push_back(Timer{hwnd, id, interval, plat::CurrentClock().TickMs() + interval, proc});
    q->WakeLocked();
    return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    DWORD thread = GetCurrentThreadId();
    if (hwnd) {
        std::lock_guard lock(WindowsMutex());
        auto w = GetWindowObject(hwnd);
        if (!w) return FALSE;
        thread = w->thread;
    }
    auto q = QueueOf(thread, false);
    if (!q) return FALSE;
    std::lock_guard lock(q->mutex);
    if (!std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; })) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
