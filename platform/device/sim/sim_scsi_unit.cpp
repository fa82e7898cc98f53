#include "device/sim/sim_scsi_unit.h"

#include <algorithm>
#include <cstring>

#include "device/scsi_ioctl.h"

namespace plat::device {
namespace {

using detail::DataDirection;
using detail::ScsiOutcome;

// Sense keys and additional sense codes (SPC).
constexpr BYTE kNoSense = 0x00;
constexpr BYTE kNotReady = 0x02;
constexpr BYTE kHardwareError = 0x04;
constexpr BYTE kIllegalRequest = 0x05;
constexpr BYTE kAscInvalidOpcode = 0x20;
constexpr BYTE kAscInvalidFieldInCdb = 0x24;
constexpr BYTE kAscInvalidFieldInParameters = 0x26;
constexpr BYTE kAscParameterListLength = 0x1A;
constexpr BYTE kAscNotReady = 0x04;
constexpr BYTE kAscqSelfTestInProgress = 0x09;
constexpr BYTE kAscSelfTestFailed = 0x3E;
constexpr BYTE kAscqSelfTestFailed = 0x03;
constexpr BYTE kAscFailurePrediction = 0x5D;
constexpr BYTE kAscqFalseFailure = 0xFF;

// Self-test codes of SEND DIAGNOSTIC byte 1 bits 7-5.
constexpr int kBackgroundShort = 1;
constexpr int kBackgroundExtended = 2;
constexpr int kAbortBackground = 4;
constexpr int kForegroundShort = 5;
constexpr int kForegroundExtended = 6;
constexpr BYTE kResultInProgress = 0x0F;
constexpr BYTE kResultAborted = 0x01;
constexpr BYTE kResultInterrupted = 0x02;

constexpr BYTE kPageControl = 0x0A;
constexpr BYTE kPageInformationalExceptions = 0x1C;
constexpr BYTE kLogTemperature = 0x0D;
constexpr BYTE kLogSelfTest = 0x10;
constexpr BYTE kLogInformationalExceptions = 0x2F;
constexpr std::size_t kSelfTestLogParameters = 20;

// DEXCPT and TEST of the informational exceptions flags byte.
constexpr BYTE kIeDisabled = 0x08;
constexpr BYTE kIeTest = 0x04;

ScsiOutcome Good(std::size_t transferred = 0) {
    return ScsiOutcome{STATUS_SUCCESS, SCSISTAT_GOOD, {}, static_cast<ULONG>(transferred)};
}

ScsiOutcome Check(BYTE key, BYTE asc, BYTE ascq = 0) {
    return ScsiOutcome{STATUS_SUCCESS, SCSISTAT_CHECK_CONDITION, FixedSense(key, asc, ascq), 0};
}

ScsiOutcome InvalidField() { return Check(kIllegalRequest, kAscInvalidFieldInCdb); }

// Returns `bytes` cut to the allocation length and the caller's buffer.
ScsiOutcome DataIn(std::span<BYTE> data, const Bytes& bytes, std::size_t allocation) {
    const std::size_t n = std::min({bytes.size(), allocation, data.size()});
    if (n) std::memcpy(data.data(), bytes.data(), n);
    return Good(n);
}

std::size_t Be(std::span<const BYTE> b, std::size_t at, std::size_t n) {
    std::size_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = v << 8 | b[at + i];
    return v;
}

void PutBe(Bytes& b, std::size_t at, std::uint64_t v, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) b[at + i] = static_cast<BYTE>(v >> (8 * (n - 1 - i)));
}

Bytes Padded(const std::string& s, std::size_t n) {
    Bytes b(n, ' ');
    std::copy_n(s.begin(), std::min(n, s.size()), b.begin());
    return b;
}

Bytes LogPageOf(BYTE page, const std::vector<SimLogParameter>& params, std::size_t pointer) {
    Bytes out{page, 0, 0, 0};
    for (const SimLogParameter& p : params) {
        if (p.code < pointer) continue;
        out.push_back(static_cast<BYTE>(p.code >> 8));
        out.push_back(static_cast<BYTE>(p.code));
        out.push_back(p.control);
        out.push_back(static_cast<BYTE>(p.value.size()));
        out.insert(out.end(), p.value.begin(), p.value.end());
    }
    PutBe(out, 2, out.size() - 4, 2);
    return out;
}

}  // namespace

Bytes FixedSense(BYTE key, BYTE asc, BYTE ascq) {
    Bytes s(18, 0);
    s[0] = 0x70;
    s[2] = key;
    s[7] = 10;
    s[12] = asc;
    s[13] = ascq;
    return s;
}

SimScsiUnit::SimScsiUnit(const SimScsi& profile, const SimBehaviour& behaviour)
    : m_profile(profile),
      m_behaviour(behaviour),
      m_createdAt(CurrentClock().NowFileTime()),
      m_log(profile.selftest_log) {
    if (m_profile.control_page) {
        ModePage page{kPageControl, Bytes(10, 0), Bytes(10, 0), {}, {}};
        PutBe(page.current, 8, m_profile.extended_selftest_seconds.value_or(0), 2);
        m_modePages.push_back(page);
    }
    if (m_profile.ie) {
        ModePage page{kPageInformationalExceptions,
                      Bytes(10, 0),
                      Bytes(m_profile.ie->changeable.begin(), m_profile.ie->changeable.end()),
                      {},
                      {}};
        page.current[0] = m_profile.ie->flags;
        page.current[1] = m_profile.ie->mrie;
        PutBe(page.current, 2, m_profile.ie->interval_timer, 4);
        PutBe(page.current, 6, m_profile.ie->report_count, 4);
        m_modePages.push_back(page);
    }
    for (const auto& [code, bytes] : m_profile.mode_pages)
        m_modePages.push_back(
            ModePage{code, Bytes(bytes.begin() + 2, bytes.end()), Bytes(bytes.size() - 2, 0), {}, {}});
    for (ModePage& p : m_modePages) p.saved = p.initial = p.current;
    std::sort(m_modePages.begin(), m_modePages.end(), [](const auto& a, const auto& b) { return a.code < b.code; });
}

ScsiOutcome SimScsiUnit::Execute(const detail::ScsiRequest& request) {
    Progress();
    if (m_activity && m_behaviour.stops_on_command) EndSelfTest(kResultInterrupted);
    const auto cdb = request.cdb;
    const bool in = request.direction == DataDirection::kIn;
    const bool out = request.direction == DataDirection::kOut;
    const std::span<BYTE> data_in = in ? request.data : std::span<BYTE>();
    const std::span<const BYTE> data_out = out ? std::span<const BYTE>(request.data) : std::span<const BYTE>();
    switch (cdb[0]) {
        case 0x00:  // TEST UNIT READY
            return Good();
        case 0x03:
            return RequestSense(cdb, data_in);
        case 0x12:
            return Inquiry(cdb, data_in);
        case 0x15:  // MODE SELECT(6)
        case 0x55:  // MODE SELECT(10)
            return ModeSelect(cdb, data_out);
        case 0x1A:  // MODE SENSE(6)
        case 0x5A:  // MODE SENSE(10)
            return ModeSense(cdb, data_in);
        case 0x1C:
            return ReceiveDiagnostic(cdb, data_in);
        case 0x1D:
            return SendDiagnostic(cdb, data_out);
        case 0x25:
            if (m_profile.peripheral_type == 0x00 || m_profile.peripheral_type == 0x05) return ReadCapacity(data_in);
            break;
        case 0x4D:
            return LogSense(cdb, data_in);
        default:
            break;
    }
    return Check(kIllegalRequest, kAscInvalidOpcode);
}

ScsiOutcome SimScsiUnit::Inquiry(std::span<const BYTE> cdb, std::span<BYTE> data) const {
    if (cdb.size() < 6) return InvalidField();
    const std::size_t allocation = Be(cdb, 3, 2);
    const bool evpd = cdb[1] & 0x01;
    if (!evpd && cdb[2] != 0) return InvalidField();
    const auto page = evpd ? VitalProductData(cdb[2]) : std::optional<Bytes>(StandardInquiry());
    return page ? DataIn(data, *page, allocation) : InvalidField();
}

Bytes SimScsiUnit::StandardInquiry() const {
    if (m_profile.inquiry) return *m_profile.inquiry;
    Bytes b{m_profile.peripheral_type,
            static_cast<BYTE>(m_profile.removable ? 0x80 : 0x00),  // RMB
            0x05,                                                  // SPC-3
            0x12,                                                  // HiSup, response format 2
            91,
            0,
            0,
            0x02};  // additional length, CmdQue
    for (const Bytes& field : {Padded(m_profile.vendor, 8), Padded(m_profile.product, 16),
                               Padded(m_profile.revision, 4), Padded(m_profile.serial, 20)})
        b.insert(b.end(), field.begin(), field.end());
    b.resize(96, 0);
    return b;
}

// Pages 0x00 (supported pages) and 0x80 (unit serial number).
std::optional<Bytes> SimScsiUnit::VitalProductData(BYTE page) const {
    const bool has_serial = m_profile.vpd_serial || !m_profile.serial.empty();
    if (page == 0x00) {
        Bytes b{m_profile.peripheral_type, 0x00, 0x00, 0x01, 0x00};
        if (has_serial) b.push_back(0x80), b[3] = 2;
        return b;
    }
    if (page != 0x80 || !has_serial) return std::nullopt;
    if (m_profile.vpd_serial) return *m_profile.vpd_serial;
    Bytes b{m_profile.peripheral_type, 0x80, 0x00, static_cast<BYTE>(m_profile.serial.size())};
    b.insert(b.end(), m_profile.serial.begin(), m_profile.serial.end());
    return b;
}

const SimScsiUnit::ModePage* SimScsiUnit::FindModePage(BYTE code) const {
    for (const ModePage& p : m_modePages)
        if (p.code == code) return &p;
    return nullptr;
}

SimScsiUnit::ModePage* SimScsiUnit::FindModePage(BYTE code) {
    return const_cast<ModePage*>(static_cast<const SimScsiUnit*>(this)->FindModePage(code));
}

ScsiOutcome SimScsiUnit::ModeSense(std::span<const BYTE> cdb, std::span<BYTE> data) const {
    const bool ten = cdb[0] == 0x5A;
    if (cdb.size() < (ten ? 10u : 6u)) return InvalidField();
    const bool dbd = cdb[1] & 0x08;
    const int control = cdb[2] >> 6;
    const BYTE code = cdb[2] & 0x3F;
    const std::size_t allocation = ten ? Be(cdb, 7, 2) : cdb[4];

    Bytes pages;
    for (const ModePage& p : m_modePages) {
        if (code != 0x3F && p.code != code) continue;
        const Bytes& body = control == 0 ? p.current : control == 1 ? p.changeable : control == 2 ? p.initial : p.saved;
        pages.push_back(static_cast<BYTE>(p.code | 0x80));  // PS: the page can be saved
        pages.push_back(static_cast<BYTE>(body.size()));
        pages.insert(pages.end(), body.begin(), body.end());
    }
    if (pages.empty()) return InvalidField();

    const bool block_device = m_profile.peripheral_type == 0x00 && !dbd;
    Bytes b(ten ? 8 : 4, 0);
    if (block_device) {
        Bytes descriptor(8, 0);
        PutBe(descriptor, 1, std::min<std::uint64_t>(m_profile.blocks, 0xFFFFFF), 3);
        PutBe(descriptor, 5, m_profile.block_size, 3);
        b.insert(b.end(), descriptor.begin(), descriptor.end());
        b[ten ? 7 : 3] = 8;
    }
    b.insert(b.end(), pages.begin(), pages.end());
    if (ten)
        PutBe(b, 0, b.size() - 2, 2);
    else
        b[0] = static_cast<BYTE>(b.size() - 1);
    return DataIn(data, b, allocation);
}

ScsiOutcome SimScsiUnit::ModeSelect(std::span<const BYTE> cdb, std::span<const BYTE> data) {
    const bool ten = cdb[0] == 0x55;
    if (cdb.size() < (ten ? 10u : 6u)) return InvalidField();
    const bool save = cdb[1] & 0x01;
    const std::size_t length = ten ? Be(cdb, 7, 2) : cdb[4];
    const std::size_t header = ten ? 8 : 4;
    if (length == 0) return Good();
    if (length < header || data.size() < length) return Check(kIllegalRequest, kAscParameterListLength);
    const auto list = data.first(length);
    std::size_t at = header + (ten ? Be(list, 6, 2) : list[3]);

    // Check every page before changing any, so a bad list changes nothing.
    std::vector<std::pair<ModePage*, std::span<const BYTE>>> changes;
    while (at < list.size()) {
        if (at + 2 > list.size() || at + 2 + list[at + 1] > list.size())
            return Check(kIllegalRequest, kAscParameterListLength);
        ModePage* page = FindModePage(list[at] & 0x3F);
        const auto body = list.subspan(at + 2, list[at + 1]);
        if (!page || body.size() != page->current.size()) return Check(kIllegalRequest, kAscInvalidFieldInParameters);
        for (std::size_t i = 0; i < body.size(); ++i)
            if ((body[i] ^ page->current[i]) & ~page->changeable[i])
                return Check(kIllegalRequest, kAscInvalidFieldInParameters);
        changes.emplace_back(page, body);
        at += 2 + body.size();
    }
    for (auto& [page, body] : changes) {
        for (std::size_t i = 0; i < body.size(); ++i)
            page->current[i] =
                static_cast<BYTE>((page->current[i] & ~page->changeable[i]) | (body[i] & page->changeable[i]));
        if (save) page->saved = page->current;
    }
    return Good();
}

// The informational exception the unit reports: its failure prediction, or
// the false failure 5D/FF when the TEST flag asks for one; nothing while
// exceptions are disabled.
std::array<BYTE, 2> SimScsiUnit::ReportedCondition() const {
    const ModePage* page = FindModePage(kPageInformationalExceptions);
    if (!page || (page->current[0] & kIeDisabled)) return {0, 0};
    if (m_profile.ie->asc) return {m_profile.ie->asc, m_profile.ie->ascq};
    if (page->current[0] & kIeTest) return {kAscFailurePrediction, kAscqFalseFailure};
    return {0, 0};
}

ScsiOutcome SimScsiUnit::RequestSense(std::span<const BYTE> cdb, std::span<BYTE> data) const {
    if (cdb.size() < 6 || (cdb[1] & 0x01)) return InvalidField();  // fixed format only
    const auto condition = ReportedCondition();
    const ModePage* page = FindModePage(kPageInformationalExceptions);
    const bool on_request = page && (page->current[1] & 0x0F) == 6;
    if (condition[0] && on_request) return DataIn(data, FixedSense(kNoSense, condition[0], condition[1]), cdb[4]);
    if (m_profile.request_sense) return DataIn(data, *m_profile.request_sense, cdb[4]);
    return DataIn(data, FixedSense(kNoSense, 0, 0), cdb[4]);
}

std::vector<BYTE> SimScsiUnit::SupportedLogPages() const {
    std::vector<BYTE> pages{0x00};
    for (const auto& [page, params] : m_profile.log_parameters) pages.push_back(page);
    for (const auto& [page, bytes] : m_profile.raw_log_pages) pages.push_back(page);
    if (m_profile.temperature) pages.push_back(kLogTemperature);
    if (m_profile.self_test) pages.push_back(kLogSelfTest);
    if (m_profile.ie) pages.push_back(kLogInformationalExceptions);
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    return pages;
}

Bytes SimScsiUnit::SelfTestResultsPage() const {
    std::vector<SimLogParameter> params;
    for (std::size_t i = 0; i < kSelfTestLogParameters; ++i) {
        SimLogParameter p{static_cast<WORD>(i + 1), 0x03, Bytes(16, 0)};
        if (i < m_log.size()) {
            const SimSelfTestEntry& e = m_log[m_log.size() - 1 - i];  // newest first
            p.value[0] = static_cast<BYTE>(e.type << 5 | (e.result & 0x0F));
            PutBe(p.value, 2, e.hours, 2);
            PutBe(p.value, 4, e.lba, 8);
            if (e.result >= 3 && e.result <= 7) {
                p.value[12] = kHardwareError;
                p.value[13] = kAscSelfTestFailed;
                p.value[14] = kAscqSelfTestFailed;
            }
        }
        params.push_back(p);
    }
    return LogPageOf(kLogSelfTest, params, 0);
}

Bytes SimScsiUnit::InformationalExceptionsPage() const {
    const auto condition = ReportedCondition();
    const BYTE temperature = m_profile.temperature.value_or(0);
    return LogPageOf(kLogInformationalExceptions, {{0x0000, 0x03, Bytes{condition[0], condition[1], temperature}}}, 0);
}

std::optional<Bytes> SimScsiUnit::LogPage(BYTE page) const {
    const auto supported = SupportedLogPages();
    if (std::find(supported.begin(), supported.end(), page) == supported.end()) return std::nullopt;
    // Pages the profile gives replace the ones the unit makes itself.
    if (const auto it = m_profile.raw_log_pages.find(page); it != m_profile.raw_log_pages.end()) return it->second;
    if (const auto it = m_profile.log_parameters.find(page); it != m_profile.log_parameters.end())
        return LogPageOf(page, it->second, 0);
    switch (page) {
        case 0x00: {
            Bytes b{0x00, 0x00, 0x00, static_cast<BYTE>(supported.size())};
            b.insert(b.end(), supported.begin(), supported.end());
            return b;
        }
        case kLogTemperature:
            return LogPageOf(page,
                             {{0x0000, 0x03, Bytes{0, *m_profile.temperature}},
                              {0x0001, 0x03, Bytes{0, m_profile.reference_temperature}}},
                             0);
        case kLogSelfTest:
            return SelfTestResultsPage();
        case kLogInformationalExceptions:
            return InformationalExceptionsPage();
        default:
            return std::nullopt;
    }
}

ScsiOutcome SimScsiUnit::LogSense(std::span<const BYTE> cdb, std::span<BYTE> data) const {
    if (cdb.size() < 10 || cdb[3] != 0) return InvalidField();
    auto page = LogPage(cdb[2] & 0x3F);
    if (!page) return InvalidField();
    const std::size_t pointer = Be(cdb, 5, 2);
    if (pointer) {  // parameters from the pointer on
        Bytes cut(page->begin(), page->begin() + 4);
        for (std::size_t at = 4; at + 4 <= page->size(); at += 4 + (*page)[at + 3])
            if (Be(*page, at, 2) >= pointer)
                cut.insert(cut.end(), page->begin() + static_cast<long>(at),
                           page->begin() + static_cast<long>(std::min(page->size(), at + 4 + (*page)[at + 3])));
        PutBe(cut, 2, cut.size() - 4, 2);
        page = cut;
    }
    return DataIn(data, *page, Be(cdb, 7, 2));
}

ScsiOutcome SimScsiUnit::SendDiagnostic(std::span<const BYTE> cdb, std::span<const BYTE> data) {
    if (cdb.size() < 6) return InvalidField();
    const int code = cdb[1] >> 5;
    const bool page_format = cdb[1] & 0x10;
    const bool default_test = cdb[1] & 0x04;
    const std::size_t length = Be(cdb, 3, 2);
    if (data.size() < length) return Check(kIllegalRequest, kAscParameterListLength);
    auto behaviour = [&](int type) {
        const auto it = m_behaviour.selftests.find(type);
        return it != m_behaviour.selftests.end() ? it->second : SimSelfTestBehaviour{};
    };
    if (default_test) {
        if (code != 0 || length != 0) return InvalidField();
        return behaviour(0).result ? Check(kHardwareError, kAscSelfTestFailed, kAscqSelfTestFailed) : Good();
    }
    if (code == 0) {
        if (length == 0) return Good();
        if (!page_format || (data[0] != 0x00 && !m_profile.diagnostic_pages.count(data[0])))
            return Check(kIllegalRequest, kAscInvalidFieldInParameters);
        m_diagnosticPage = data[0];
        return Good();
    }
    if (!m_profile.self_test) return InvalidField();
    if (code == kAbortBackground) {
        if (!m_activity) return InvalidField();
        EndSelfTest(kResultAborted);
        return Good();
    }
    const bool extended = code == kBackgroundExtended || code == kForegroundExtended;
    if (code != kBackgroundShort && code != kForegroundShort && !extended) return InvalidField();
    if (m_activity) return Check(kNotReady, kAscNotReady, kAscqSelfTestInProgress);
    const SimSelfTestBehaviour b = behaviour(extended ? 2 : 1);
    const std::uint32_t seconds = b.seconds  ? b.seconds
                                  : extended ? m_profile.extended_selftest_seconds.value_or(1800)
                                             : 60;
    m_activity = SimActivity::Start(code, seconds, b.result);
    if (code == kForegroundShort || code == kForegroundExtended) {  // returns when the test is over
        EndSelfTest(b.result);
        return b.result ? Check(kHardwareError, kAscSelfTestFailed, kAscqSelfTestFailed) : Good();
    }
    m_log.push_back(SimSelfTestEntry{static_cast<BYTE>(code), kResultInProgress, 0, PowerOnHours(), ~std::uint64_t(0)});
    return Good();
}

ScsiOutcome SimScsiUnit::ReceiveDiagnostic(std::span<const BYTE> cdb, std::span<BYTE> data) const {
    if (cdb.size() < 6) return InvalidField();
    const BYTE page = (cdb[1] & 0x01) ? cdb[2] : m_diagnosticPage;
    const std::size_t allocation = Be(cdb, 3, 2);
    if (page == 0x00) {
        Bytes b{0x00, 0x00, 0x00, 0x00, 0x00};
        for (const auto& [code, bytes] : m_profile.diagnostic_pages) b.push_back(code);
        PutBe(b, 2, b.size() - 4, 2);
        return DataIn(data, b, allocation);
    }
    const auto it = m_profile.diagnostic_pages.find(page);
    if (it == m_profile.diagnostic_pages.end()) return InvalidField();
    return DataIn(data, it->second, allocation);
}

ScsiOutcome SimScsiUnit::ReadCapacity(std::span<BYTE> data) const {
    Bytes b(8, 0);
    PutBe(b, 0, m_profile.blocks ? std::min<std::uint64_t>(m_profile.blocks - 1, 0xFFFFFFFF) : 0, 4);
    PutBe(b, 4, m_profile.block_size, 4);
    return DataIn(data, b, b.size());
}

void SimScsiUnit::Progress() {
    if (m_activity && m_activity->Finished()) EndSelfTest(m_activity->result);
}

// Ends the running test: its in-progress entry (the newest) takes the result.
void SimScsiUnit::EndSelfTest(BYTE result) {
    const bool logged = !m_log.empty() && m_log.back().result == kResultInProgress;
    if (logged) {
        m_log.back().result = result;
        m_log.back().hours = PowerOnHours();
        if (result >= 3 && result <= 7) m_log.back().lba = m_profile.blocks / 3;
    } else {
        m_log.push_back(SimSelfTestEntry{static_cast<BYTE>(m_activity->type), result, 0, PowerOnHours(),
                                         result >= 3 && result <= 7 ? m_profile.blocks / 3 : ~std::uint64_t(0)});
    }
    m_activity.reset();
}

WORD SimScsiUnit::PowerOnHours() const {
    const std::uint64_t now = CurrentClock().NowFileTime();
    const std::uint64_t elapsed = now > m_createdAt ? now - m_createdAt : 0;  // a test may install an earlier clock
    return static_cast<WORD>(m_profile.power_on_hours + elapsed / (3600 * kFileTimePerSecond));
}

}  // namespace plat::device
