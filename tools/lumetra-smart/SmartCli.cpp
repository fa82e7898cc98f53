#include "SmartCli.h"

#include <nlohmann/json.hpp>

#include "ProbeReport.h"
#include "SmartHandler.h"
#include "base/clock.h"
#include "base/format.h"
#include "base/text.h"

namespace {

using nlohmann::ordered_json;

constexpr std::uint32_t kFollowIntervalMs = 1000;

std::string Field(const WCHAR* field, std::size_t chars) { return plat::Utf16ToUtf8(plat::FieldView(field, chars)); }

const char* SmartState(const SmartDevice& d) {
    if (!(d.flags & SMART_FLAG_SUPPORTED)) return "unsupported";
    return (d.flags & SMART_FLAG_ENABLED) ? "enabled" : "disabled";
}

const char* SelfTestText(BYTE status) {
    static const char* const kTexts[] = {
        "completed without error", "aborted by the host", "interrupted by a reset", "fatal error",
        "unknown test element failed", "electrical element failed", "servo/seek element failed",
        "read element failed", "handling damage suspected",
    };
    const BYTE code = SelfTestStatusCode(status);
    if (code == SMART_TEST_STATUS_RUNNING) return "in progress";
    return code < std::size(kTexts) ? kTexts[code] : "unknown result";
}

int SelfTestExit(BYTE status) {
    const BYTE code = SelfTestStatusCode(status);
    if (code == SMART_TEST_STATUS_COMPLETED) return kExitDone;
    if (code <= SMART_TEST_STATUS_INTERRUPTED) return kExitRefused;
    return kExitFailing;
}

// One session: the connected handler, the drives and the output streams.
class Session {
public:
    Session(const SmartCommand& command, WORD port, std::ostream& out, std::ostream& err)
        : m_command(command), m_handler(nullptr, port), m_out(out), m_err(err) {}

    int Run() {
        m_handler.Initialize();
        if (!m_handler.IsConnected()) {
            m_err << plat::Format("lumetra-smart: cannot reach the S.M.A.R.T. service on port %u: it is not "
                                  "running or refused the connection\n",
                                  unsigned(m_handler.Port()));
            return kExitNoService;
        }
        for (SmartDevice* d = m_handler.DeviceList(); d; d = d->next) {
            // The health byte is current only after a status query.
            if (d->flags & SMART_FLAG_ENABLED) m_handler.ReadStatus(d);
            m_drives.push_back(d);
        }
        if (m_command.verb == SmartVerb::List) return List();
        if (m_command.drive >= m_drives.size()) {
            m_err << plat::Format("lumetra-smart: no drive %u (the service lists %u)\n", m_command.drive,
                                  unsigned(m_drives.size()));
            return kExitUsage;
        }
        SmartDevice* drive = m_drives[m_command.drive];
        switch (m_command.verb) {
        case SmartVerb::Show: return Show(drive);
        case SmartVerb::Health: return Health(drive);
        case SmartVerb::Test: return Test(drive);
        case SmartVerb::Abort: return Simple("abort", m_handler.AbortSelfTest(drive));
        default: return Log(drive);
        }
    }

private:
    int Refused(const char* what) {
        m_err << plat::Format("lumetra-smart: drive %u: %s was refused\n", m_command.drive, what);
        return kExitRefused;
    }

    int List() {
        if (m_command.json) {
            std::vector<ProbedDevice> all;
            for (const SmartDevice* d : m_drives) all.push_back({d, {}});
            m_out << JsonReport(all);
            return kExitDone;
        }
        if (m_drives.empty()) m_out << "no drives found\n";
        for (std::size_t i = 0; i < m_drives.size(); ++i) {
            const SmartDevice& d = *m_drives[i];
            m_out << plat::Format("[%u] %-40s %-20s S.M.A.R.T. %-11s health %s\n", unsigned(i),
                                  Field(d.model, kModelChars), Field(d.serial, kSerialChars), SmartState(d),
                                  (d.flags & SMART_FLAG_ENABLED) ? (d.health ? "good" : "FAILING") : "n/a");
        }
        return kExitDone;
    }

    int Show(SmartDevice* drive) {
        const std::vector<ProbedDevice> one{{drive, {}}};
        m_out << (m_command.json ? JsonReport(one) : TextReport(one));
        return kExitDone;
    }

    int Health(SmartDevice* drive) {
        if (!m_handler.ReadStatus(drive)) return Refused("the health query");
        const bool good = drive->health != 0;
        if (m_command.json)
            m_out << ordered_json{{"drive", m_command.drive}, {"healthy", good}}.dump() << "\n";
        else
            m_out << (good ? "good\n" : "FAILING: the drive predicts a failure\n");
        return good ? kExitDone : kExitFailing;
    }

    int Simple(const char* what, bool succeeded) {
        if (!succeeded) return Refused(what);
        if (m_command.json) m_out << ordered_json{{"drive", m_command.drive}, {what, true}}.dump() << "\n";
        else m_out << what << ": done\n";
        return kExitDone;
    }

    // Starts the test and polls its progress until it is no longer running.
    int Test(SmartDevice* drive) {
        if (!m_handler.ExecuteSelfTest(drive, m_command.argument)) return Refused("the self-test");
        DWORD remaining = 0;
        BYTE status = SMART_TEST_STATUS_RUNNING;
        BYTE shown = 0xFF;
        for (;;) {
            if (!m_handler.ReadSelfTestData(drive, &remaining, &status)) return Refused("reading the self-test state");
            if (SelfTestStatusCode(status) != SMART_TEST_STATUS_RUNNING) break;
            if (status != shown && !m_command.json)
                m_out << plat::Format("self-test running: %d%% done, about %lu s left\n", SelfTestPercentDone(status),
                                      remaining) << std::flush;
            shown = status;
            plat::CurrentClock().Sleep(kFollowIntervalMs);
        }
        if (m_command.json)
            m_out << ordered_json{{"drive", m_command.drive}, {"status", status}, {"result", SelfTestText(status)}}
                         .dump()
                  << "\n";
        else
            m_out << "self-test " << SelfTestText(status) << "\n";
        return SelfTestExit(status);
    }

    int Log(SmartDevice* drive) {
        BYTE* block = nullptr;
        if (!m_handler.ReadLog(drive, m_command.argument, &block)) return Refused("reading the log");
        std::string hex;
        for (std::size_t i = 0; i < kSmartLogBlockSize; ++i) {
            hex += plat::Format("%02x", unsigned(block[i]));
            if (!m_command.json) hex += (i % 16 == 15) ? "\n" : " ";
        }
        delete[] block;
        if (m_command.json) m_out << ordered_json{{"drive", m_command.drive}, {"log", hex}}.dump() << "\n";
        else m_out << hex;
        return kExitDone;
    }

    const SmartCommand& m_command;
    CSmartHandler m_handler;
    std::ostream& m_out;
    std::ostream& m_err;
    std::vector<SmartDevice*> m_drives;
};

}  // namespace

int RunSmartCommand(const SmartCommand& command, WORD port, std::ostream& out, std::ostream& err) {
    return Session(command, port, out, err).Run();
}
