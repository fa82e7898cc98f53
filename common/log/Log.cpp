#include "log/Log.h"

#include <unistd.h>

#include "base/clock.h"
#include "base/hresult.h"
#include "base/last_error.h"
#include "base/thread.h"
#include "base/win_errors.h"
#include "log/BinaryRecord.h"
#include "log/EventSource.h"
#include "log/LogPath.h"
#include "log/Multibyte.h"

using namespace logging;

HRESULT CLog::Init(const WCHAR* name, BOOL event_log, LONG level, BOOL thread_prefix) {
    if (!name) return E_INVALIDARG;
    std::lock_guard guard(m_lock);
    m_name.assign(name, plat::WideLengthBounded(name, kMaxName));
    SetLevel(level);
    m_eventLog = event_log;
    m_threadPrefix = thread_prefix;
    if (!m_eventLog || m_eventSource) return S_OK;
    m_eventSource = OpenEventSource(m_name);
    if (m_eventSource) return S_OK;
    m_eventLog = FALSE;
    Print(this, 5, u"CLOG", u"RegisterEventSource() failed (%i)", GetLastError());
    return E_FAIL;
}

void CLog::SetLevel(LONG level) {
    std::lock_guard guard(m_lock);
    m_level = level < 0 ? 0 : level;
}

void CLog::SetConsole(int fd, BOOL full_line) {
    std::lock_guard guard(m_lock);
    m_console = fd < 0 ? kNoConsole : fd;
    m_consoleFullLine = full_line;
}

void CLog::SetFlush(BOOL flush) {
    std::lock_guard guard(m_lock);
    m_flush = flush;
}

BOOL CLog::OpenFile(const WCHAR* path, int index, BOOL scramble, BYTE scramble_count) {
    if (index != kTextOutput && index != kBinaryOutput) return FALSE;
    std::lock_guard guard(m_lock);
    Output& output = m_outputs[static_cast<std::size_t>(index)];
    if (!path || !*path) return output.file.Close() ? TRUE : FALSE;
    const std::u16string expanded = ExpandLogPath(path);
    if (expanded.size() > kMaxPath) {
        output.file.Close();
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    output.scramble = scramble;
    output.scrambleCount = scramble_count;
    return output.file.Open(plat::Utf16ToUtf8(expanded)) ? TRUE : FALSE;
}

namespace {

// Guards every log's parent link and child list, so that the loop check and
// the change are one step and no log's own lock is taken on the way.
std::mutex& Links() {
    static std::mutex links;
    return links;
}

void Unlink(std::vector<CLog*>& children, CLog* child) { std::erase(children, child); }

}  // namespace

CLog::~CLog() {
    {
        std::lock_guard links(Links());
        for (CLog* child : m_children) child->m_parent = nullptr;
        if (CLog* parent = m_parent.load()) Unlink(parent->m_children, this);
    }
    Close();
}

BOOL CLog::SetParent(CLog* parent) {
    std::lock_guard links(Links());
    for (CLog* p = parent; p; p = p->Parent()) {
        if (p == this) return FALSE;
    }
    if (CLog* old = m_parent.load()) Unlink(old->m_children, this);
    m_parent = parent;
    if (!parent) return TRUE;
    parent->m_children.push_back(this);
    SetLevel(parent->GetLevel());
    return TRUE;
}

CLog* CLog::Parent() const { return m_parent.load(); }

void CLog::WriteText(LONG level, std::u16string_view category, const std::u16string& text) {
    const std::u16string_view part(text);
    Write(level, 0, category, 0, std::span(&part, 1));
}

void CLog::Write(LONG level, DWORD event_id, std::u16string_view category, DWORD tag,
                 std::span<const std::u16string_view> parts) {
    if (CLog* parent = Parent()) {
        parent->Write(level, event_id, category, tag, parts);
        return;
    }
    if (!Passes(level)) return;

    LogEntry entry;
    entry.tag = tag;
    entry.level = level;
    entry.time = plat::CurrentClock().NowFileTime();
    entry.category = category.substr(0, kMaxCategory);
    const std::u16string message = ComposeMessage(m_threadPrefix, GetCurrentThreadId(), parts, event_id);
    entry.message = message.substr(0, kMaxStoredText);
    const std::u16string line = FormatLine(entry.time, level, entry.category, message);

    {
        std::lock_guard guard(m_lock);
        if (m_eventLog && m_eventSource) ReportLogEvent(m_eventSource, level, event_id, parts);
    }
    WriteFiles(entry);
    WriteConsole(line, message.substr(0, kMaxLineMessage));
}

void CLog::WriteFiles(const LogEntry& entry) {
    for (int index : {kTextOutput, kBinaryOutput}) {
        std::lock_guard guard(m_lock);
        WriteOutput(index, entry);
    }
}

// Failures are ignored: the entry is then missing from this output only.
void CLog::WriteOutput(int index, const LogEntry& entry) {
    Output& output = m_outputs[static_cast<std::size_t>(index)];
    if (!output.file.IsOpen()) return;
    std::string bytes;
    if (index == kTextOutput) {
        bytes = ToMultibyte(FormatLine(entry.time, entry.level, entry.category, entry.message), kMaxTextLineBytes);
        bytes += "\r\n";
    } else {
        bytes = BuildBinaryRecord(entry, output.scramble, output.scrambleCount);
    }
    output.file.Write(bytes.data(), bytes.size());
    if (m_flush) output.file.Flush();
}

void CLog::WriteConsole(const std::u16string& line, const std::u16string& message) {
    std::lock_guard guard(m_lock);
    if (m_console == kNoConsole) return;
    std::string text = plat::Utf16ToUtf8(m_consoleFullLine ? line : message);
    text += '\n';
    [[maybe_unused]] const ssize_t written = ::write(m_console, text.data(), text.size());
}

void CLog::Close() {
    std::lock_guard guard(m_lock);
    if (m_eventSource) CloseEventSource(m_eventSource);
    m_eventSource = nullptr;
    for (Output& output : m_outputs) output.file.Close();
}
