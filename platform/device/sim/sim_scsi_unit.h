// A simulated SCSI logical unit (disk, CD/DVD or tape): INQUIRY with vital
// product data pages 0x00 and 0x80, MODE SENSE and MODE SELECT (6 and 10)
// with the informational exceptions control page 0x1C, the control page
// 0x0A and further pages, LOG SENSE (supported pages, counter pages,
// temperature 0x0D, self-test results 0x10, informational exceptions 0x2F),
// REQUEST SENSE, SEND DIAGNOSTIC with background and foreground self-tests
// and abort, RECEIVE DIAGNOSTIC RESULTS, TEST UNIT READY and READ CAPACITY,
// as SPC and SBC define them. Errors come back as CHECK CONDITION with
// fixed-format sense data.
//
// Thread rule: not locked; its SimDevice serialises the calls.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "device/internal/scsi_device.h"
#include "device/sim/sim_activity.h"
#include "device/sim/sim_profile.h"

namespace plat::device {

class SimScsiUnit final : public detail::ScsiDevice {
public:
    SimScsiUnit(const SimScsi& profile, const SimBehaviour& behaviour);
    detail::ScsiOutcome Execute(const detail::ScsiRequest& request) override;

private:
    struct ModePage {
        BYTE code = 0;
        Bytes current, changeable, saved, initial;  // page bytes after the 2-byte header
    };
    using Reply = detail::ScsiOutcome;

    Reply Inquiry(std::span<const BYTE> cdb, std::span<BYTE> data) const;
    Bytes StandardInquiry() const;
    std::optional<Bytes> VitalProductData(BYTE page) const;
    Reply ModeSense(std::span<const BYTE> cdb, std::span<BYTE> data) const;
    Reply ModeSelect(std::span<const BYTE> cdb, std::span<const BYTE> data);
    Reply LogSense(std::span<const BYTE> cdb, std::span<BYTE> data) const;
    Reply RequestSense(std::span<const BYTE> cdb, std::span<BYTE> data) const;
    Reply SendDiagnostic(std::span<const BYTE> cdb, std::span<const BYTE> data);
    Reply ReceiveDiagnostic(std::span<const BYTE> cdb, std::span<BYTE> data) const;
    Reply ReadCapacity(std::span<BYTE> data) const;

    std::optional<Bytes> LogPage(BYTE page) const;
    std::vector<BYTE> SupportedLogPages() const;
    Bytes SelfTestResultsPage() const;
    Bytes InformationalExceptionsPage() const;
    std::array<BYTE, 2> ReportedCondition() const;
    ModePage* FindModePage(BYTE code);
    const ModePage* FindModePage(BYTE code) const;
    void Progress();
    void EndSelfTest(BYTE result);
    WORD PowerOnHours() const;

    SimScsi m_profile;
    SimBehaviour m_behaviour;
    std::uint64_t m_createdAt = 0;
    std::vector<ModePage> m_modePages;  // ascending page codes
    BYTE m_diagnosticPage = 0;          // page asked for by the last SEND DIAGNOSTIC
    std::optional<SimActivity> m_activity;
    std::vector<SimSelfTestEntry> m_log;  // oldest first
};

// Fixed-format sense data (response code 0x70) of 18 bytes.
Bytes FixedSense(BYTE key, BYTE asc, BYTE ascq);

}  // namespace plat::device
