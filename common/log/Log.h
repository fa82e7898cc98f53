// CLog: the levelled log of the common library. An entry that passes the
// level filter is composed into one line ("stamp LVL: CATEGORY:message")
// and handed to up to four outputs: a text file (output 0), a binary record
// file (output 1), a console and the event log. A log with a parent forwards
// every entry to the parent instead.
//
// Threads: every operation is safe from any thread. One recursive lock
// guards the configuration and is held around each output's write (and its
// flush), never while an entry is composed, so concurrent entries interleave
// only at entry boundaries. The level is read without the lock.
// Lock order: child before parent. Only ReadOptions, which holds the log's
// lock throughout, can write to a parent with it held; Write itself hands an
// entry to the parent without holding its own lock.
#pragma once

#include <array>
#include <atomic>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/format.h"
#include "base/text.h"
#include "base/wintypes.h"
#include "log/LogEntry.h"
#include "log/LogFile.h"
#include "log/LogLevel.h"
#include "log/LogLine.h"

struct HKEY__;
using HKEY = HKEY__*;

class CLog {
public:
    static constexpr int kTextOutput = 0;
    static constexpr int kBinaryOutput = 1;
    static constexpr int kNoConsole = -1;
    static constexpr std::size_t kMaxName = 40;
    static constexpr std::size_t kMaxPath = 259;
    static constexpr std::size_t kMaxTextLineBytes = 8191;
    // Bit positions the GUI's binary log strings are rotated by when the
    // caller of ReadOptions passes a count of 0.
    static constexpr BYTE kDefaultScrambleCount = 3;

    CLog() = default;
    virtual ~CLog();
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // Names the log (the event source), stores the level (0 if negative), the
    // event-log switch and the thread-prefix flag, and registers the event
    // source when the switch is on. S_OK, E_INVALIDARG for a missing name,
    // E_FAIL when the event source cannot be registered (the event log is
    // then off and the failure is logged in category "CLOG").
    HRESULT Init(const WCHAR* name, BOOL event_log, LONG level, BOOL thread_prefix);
    void SetLevel(LONG level);
    LONG GetLevel() const { return m_level.load(std::memory_order_relaxed); }
    // Echo to a file descriptor (kNoConsole: none): the whole line, or the
    // message alone when full_line is 0.
    void SetConsole(int fd, BOOL full_line);
    // Flush after every file write (the default) or not.
    void SetFlush(BOOL flush);
    // Opens output 0 (text) or 1 (binary) at `path` with "%D" and "%P"
    // expanded; an output already open is closed first. An empty or missing
    // path closes the output instead. 1 when a file was opened (or, when
    // closing, was open), 0 otherwise.
    BOOL OpenFile(const WCHAR* path, int index, BOOL scramble, BYTE scramble_count);
    // Forwards every entry to `parent` (nullptr: none) and takes its level.
    // FALSE, and nothing changes, when the parent chain would loop back.
    // Destroying a parent detaches its children, which then write to their
    // own outputs; a parent must still outlive entries being written.
    BOOL SetParent(CLog* parent);
    // Filters, composes and writes one entry from up to three message parts.
    void Write(LONG level, DWORD event_id, std::u16string_view category, DWORD tag,
               std::span<const std::u16string_view> parts);
    // Deregisters the event source and closes both files; may be repeated.
    void Close();

    // Configures the log from the values under `root`\`key_path` and starts
    // a log file with the diagnostics dump (see LogOptions.cpp and
    // docs/logging.md). Holds the lock throughout, so other threads' entries
    // wait for the configuration. `module` is passed to DumpDiagnostics.
    // S_OK, E_INVALIDARG for a missing root or key path, or Init's failure.
    HRESULT ReadOptions(void* module, HKEY root, const WCHAR* key_path, BYTE scramble_count);

    bool Passes(LONG level) const { return logging::LevelPasses(level, GetLevel()); }

    // Formats with printf-style rules (a u"..." or "..." format) and writes
    // one entry. Nothing is formatted, converted or allocated when the level
    // does not pass. A null log is ignored. Category: u"" for none.
    template <typename Category, typename Format, typename... Args>
    static void Print(CLog* log, LONG level, const Category& category, const Format& format, const Args&... args) {
        if (!log || !log->Passes(level)) return;
        log->WriteText(level, std::u16string_view(category), FormatText(format, args...));
    }

private:
    struct Output {
        logging::LogFile file;
        BOOL scramble = FALSE;
        BYTE scrambleCount = 0;
    };

    template <typename... Args>
    static std::u16string FormatText(std::u16string_view format, const Args&... args) {
        return plat::FormatN(logging::kMaxFormatted, format, args...);
    }
    template <typename... Args>
    static std::u16string FormatText(std::string_view format, const Args&... args) {
        return plat::FormatN(logging::kMaxFormatted, plat::Utf8ToUtf16(format), args...);
    }
    void WriteText(LONG level, std::u16string_view category, const std::u16string& text);
    CLog* Parent() const;
    void WriteFiles(const logging::LogEntry& entry);
    void WriteOutput(int index, const logging::LogEntry& entry);
    void WriteConsole(const std::u16string& line, const std::u16string& message);

    std::atomic<LONG> m_level{0};
    std::atomic<BOOL> m_threadPrefix{TRUE};
    std::u16string m_name;
    BOOL m_eventLog = FALSE;
    HANDLE m_eventSource = nullptr;
    int m_console = kNoConsole;
    BOOL m_consoleFullLine = FALSE;
    std::array<Output, 2> m_outputs;
    std::recursive_mutex m_lock;
    BOOL m_flush = TRUE;
    std::atomic<CLog*> m_parent{nullptr};
    std::vector<CLog*> m_children;  // guarded by the process-wide link lock
};
