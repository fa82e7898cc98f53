#include "device/sim/sim_ata_drive.h"

#include <algorithm>
#include <cstring>

#include "device/smart_ioctl.h"

namespace plat::device {
namespace {

using detail::AtaAbort;
using detail::AtaGood;
using detail::AtaOutcome;
using detail::AtaTaskFile;

constexpr BYTE kSelfTestInProgress = 0x0F;
constexpr BYTE kSelfTestAbortedByHost = 0x01;
constexpr BYTE kSelfTestInterrupted = 0x02;
// Byte 362 values (without the automatic off-line bit 7).
constexpr BYTE kOfflineCompleted = 0x02;
constexpr BYTE kOfflineInProgress = 0x03;
constexpr BYTE kOfflineSuspended = 0x04;
constexpr BYTE kOfflineAborted = 0x05;
constexpr BYTE kOfflineFatal = 0x06;

constexpr BYTE kLogDirectory = 0x00;
constexpr BYTE kSummaryErrorLog = 0x01;
constexpr BYTE kSelfTestLog = 0x06;
constexpr std::size_t kSelfTestLogSlots = 21;

void PutWord(std::span<BYTE> s, std::size_t word, WORD value) {
    s[2 * word] = static_cast<BYTE>(value);
    s[2 * word + 1] = static_cast<BYTE>(value >> 8);
}

// ATA strings hold two characters per word, the first in the high byte,
// padded with blanks.
void PutString(std::span<BYTE> s, std::size_t first_word, std::size_t words, const std::string& text) {
    for (std::size_t i = 0; i < words * 2; ++i) {
        const BYTE c = i < text.size() ? static_cast<BYTE>(text[i]) : ' ';
        s[2 * first_word + (i ^ 1)] = c;
    }
}

void PutLe(std::span<BYTE> s, std::size_t offset, std::uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) s[offset + i] = static_cast<BYTE>(value >> (8 * i));
}

std::uint32_t DefaultSeconds(const SimAta& p, int type) {
    switch (type) {
        case 0:
            return p.collect_seconds;
        case 1:
            return p.short_minutes * 60u;
        case 3:
            return p.conveyance_minutes * 60u;
        default:
            return p.extended_minutes * 60u;
    }
}

}  // namespace

void SetChecksum(std::span<BYTE> sector) {
    BYTE sum = 0;
    for (std::size_t i = 0; i + 1 < sector.size(); ++i) sum = static_cast<BYTE>(sum + sector[i]);
    sector[sector.size() - 1] = static_cast<BYTE>(-sum);
}

SimAtaDrive::SimAtaDrive(const SimAta& profile, const SimBehaviour& behaviour)
    : m_profile(profile),
      m_behaviour(behaviour),
      m_createdAt(CurrentClock().NowFileTime()),
      m_enabled(profile.smart_supported && profile.smart_enabled),
      m_autosave(profile.autosave),
      m_autoOffline(profile.auto_offline),
      m_offlineStatus(profile.offline_status),
      m_selfTestStatus(profile.selftest_status),
      m_log(profile.selftest_log) {}

AtaOutcome SimAtaDrive::Execute(const AtaTaskFile& in, std::span<BYTE> data_in) {
    Progress();
    if (m_activity && m_behaviour.stops_on_command) StopActivity(kSelfTestInterrupted);
    if (in.command == ID_CMD) {
        if (data_in.size() < 512) return AtaAbort(in);
        if (m_profile.identify_sector)
            std::memcpy(data_in.data(), m_profile.identify_sector->data(), 512);
        else
            std::memcpy(data_in.data(), IdentifySector().data(), 512);
        return AtaGood(in);
    }
    if (in.command == SMART_CMD) return Smart(in, data_in);
    return AtaAbort(in);
}

AtaOutcome SimAtaDrive::Smart(const AtaTaskFile& in, std::span<BYTE> data_in) {
    const bool signature = in.lba_mid == SMART_CYL_LOW && in.lba_high == SMART_CYL_HI;
    if (!signature || !m_profile.smart_supported) return AtaAbort(in);
    if (!m_enabled && in.feature != ENABLE_SMART) return AtaAbort(in);
    auto deliver = [&](const Sector& s) {
        if (data_in.size() < s.size()) return AtaAbort(in);
        std::memcpy(data_in.data(), s.data(), s.size());
        return AtaGood(in);
    };
    switch (in.feature) {
        case READ_ATTRIBUTES:
            return deliver(DataSector());
        case READ_THRESHOLDS:
            return deliver(ThresholdsSector());
        case SMART_READ_LOG:
            return ReadLog(in.lba_low, in.count, data_in) ? AtaGood(in) : AtaAbort(in);
        case ENABLE_SMART:
            m_enabled = true;
            return AtaGood(in);
        case DISABLE_SMART:
            if (m_activity && m_activity->type != 0) EndSelfTest(kSelfTestAbortedByHost);
            m_enabled = false;
            return AtaGood(in);
        case ENABLE_DISABLE_AUTOSAVE:
            if (!(m_profile.smart_capability & 0x0002) || (in.count != 0xF1 && in.count != 0)) return AtaAbort(in);
            m_autosave = in.count == 0xF1;
            return AtaGood(in);
        case ENABLE_DISABLE_AUTO_OFFLINE:
            if (!(m_profile.offline_capability & 0x02) || (in.count != 0xF8 && in.count != 0)) return AtaAbort(in);
            m_autoOffline = in.count == 0xF8;
            return AtaGood(in);
        case SAVE_ATTRIBUTE_VALUES:
            return AtaGood(in);
        case EXECUTE_OFFLINE_DIAGS:
            return ExecuteOffline(in);
        case RETURN_SMART_STATUS: {
            AtaOutcome out = AtaGood(in);
            const bool exceeded = ThresholdExceeded();
            out.registers.lba_mid = exceeded ? SMART_CYL_LOW_EXCEEDED : SMART_CYL_LOW;
            out.registers.lba_high = exceeded ? SMART_CYL_HI_EXCEEDED : SMART_CYL_HI;
            return out;
        }
        default:
            return AtaAbort(in);
    }
}

bool SimAtaDrive::Supports(int subcommand) const {
    const BYTE cap = m_profile.offline_capability;
    switch (subcommand & 0x7F) {
        case 0:
            return cap & 0x01;
        case 1:
        case 2:
            return cap & 0x10;
        case 3:
            return cap & 0x20;
        case 4:
            return cap & 0x40;
        default:
            return false;
    }
}

AtaOutcome SimAtaDrive::ExecuteOffline(const AtaTaskFile& in) {
    const int sub = in.lba_low;
    if (sub == SMART_ABORT_OFFLINE_SELFTEST) {
        if (m_activity && m_activity->type != 0) EndSelfTest(kSelfTestAbortedByHost);
        return AtaGood(in);
    }
    if (!Supports(sub) || (sub & 0x7F) > 4 || (sub > 4 && sub < 0x81)) return AtaAbort(in);
    if (m_activity) StopActivity(kSelfTestAbortedByHost);
    StartActivity(sub & 0x7F);
    if (sub & 0x80) {  // captive: the command returns when the test is over
        m_activity->duration = 0;
        Progress();
    }
    return AtaGood(in);
}

void SimAtaDrive::StartActivity(int type) {
    const auto it = m_behaviour.selftests.find(type);
    const std::uint32_t seconds =
        it != m_behaviour.selftests.end() ? it->second.seconds : DefaultSeconds(m_profile, type);
    const BYTE result = it != m_behaviour.selftests.end() ? it->second.result : 0;
    m_activity = SimActivity::Start(type, seconds, result);
    if (type == 0) {
        m_offlineStatus = kOfflineInProgress;
        return;
    }
    m_selfTestStatus = static_cast<BYTE>(kSelfTestInProgress << 4 | 9);
}

// Brings the status bytes up to the present: a finished activity records its
// result, a running self-test shows the tenths still to do.
void SimAtaDrive::Progress() {
    if (!m_activity) return;
    if (!m_activity->Finished()) {
        if (m_activity->type != 0)
            m_selfTestStatus = static_cast<BYTE>(kSelfTestInProgress << 4 | m_activity->RemainingTenths());
        return;
    }
    if (m_activity->type == 0) {
        m_offlineStatus = m_activity->result ? kOfflineFatal : kOfflineCompleted;
        m_activity.reset();
        return;
    }
    EndSelfTest(m_activity->result);
}

// Ends the running activity before its time: data collection is suspended
// (when the drive can resume it) or aborted, a self-test ends with
// `selftest_status`.
void SimAtaDrive::StopActivity(BYTE selftest_status) {
    if (m_activity->type == 0) {
        m_offlineStatus = (m_profile.offline_capability & 0x04) ? kOfflineSuspended : kOfflineAborted;
        m_activity.reset();
        return;
    }
    EndSelfTest(selftest_status);
}

void SimAtaDrive::EndSelfTest(BYTE status) {
    const int type = m_activity->type;
    const BYTE tenths = status == 0 ? 0 : m_activity->RemainingTenths();
    m_selfTestStatus = static_cast<BYTE>(status << 4 | tenths);
    const std::uint64_t failing = (status >= 3 && status <= 8) ? m_profile.sectors / 3 : ~std::uint64_t(0);
    m_log.push_back(SimSelfTestEntry{static_cast<BYTE>(type), status, tenths, PowerOnHours(), failing});
    m_activity.reset();
}

bool SimAtaDrive::ThresholdExceeded() const {
    switch (m_profile.return_status) {
        case SimAta::Health::kHealthy:
            return false;
        case SimAta::Health::kExceeded:
            return true;
        case SimAta::Health::kAuto:
            break;
    }
    return std::any_of(m_profile.attributes.begin(), m_profile.attributes.end(), [](const SimAttribute& a) {
        return (a.flags & 0x0001) && a.threshold != 0 && a.value <= a.threshold;
    });
}

// Power-on hours advance with the platform clock from the value of
// attribute 9 at start.
WORD SimAtaDrive::PowerOnHours() const {
    std::uint64_t hours = 0;
    for (const SimAttribute& a : m_profile.attributes)
        if (a.id == 9) hours = a.raw & 0xFFFFFFFF;
    const std::uint64_t now = CurrentClock().NowFileTime();
    hours += now > m_createdAt ? (now - m_createdAt) / (3600 * kFileTimePerSecond) : 0;
    return static_cast<WORD>(hours);
}

SimAtaDrive::Sector SimAtaDrive::IdentifySector() const {
    Sector s{};
    const std::uint64_t sectors = m_profile.sectors;
    const bool selftest = m_profile.offline_capability & 0x10;
    const bool errlog = m_profile.error_logging & 0x01;
    const WORD smart_bit = m_profile.smart_supported ? 1 : 0;
    const WORD features84 = static_cast<WORD>(0x4000 | (errlog ? 0x0001 : 0) | (selftest ? 0x0002 : 0) | 0x0020);
    // clang-format off
    const std::pair<int, WORD> words[] = {
        {0, 0x0040},  {1, 16383},   {3, 16},      {6, 63},      {47, 0x8010},
        {49, 0x2F00}, {50, 0x4000}, {53, 0x0007}, {59, 0x0110},
        {60, static_cast<WORD>(std::min<std::uint64_t>(sectors, 0x0FFFFFFF))},
        {61, static_cast<WORD>(std::min<std::uint64_t>(sectors, 0x0FFFFFFF) >> 16)},
        {63, 0x0407}, {64, 0x0003}, {65, 120},    {66, 120},    {67, 120},    {68, 120},
        {75, 31},     {76, 0x0F06}, {80, 0x01F0}, {81, 0x0029},
        {82, static_cast<WORD>(0x7468 | smart_bit)}, {83, 0x7C01}, {84, features84},
        {85, static_cast<WORD>(0x7468 | (m_enabled ? 1 : 0))}, {86, 0x3C01}, {87, features84},
        {88, 0x407F}, {93, 0x6069}, {106, 0x4000}, {217, 7200},
    };
    // clang-format on
    for (const auto& [word, value] : words) PutWord(s, word, value);
    PutLe(s, 200, sectors, 8);  // words 100-103
    PutString(s, 10, 10, m_profile.serial);
    PutString(s, 23, 4, m_profile.firmware);
    PutString(s, 27, 20, m_profile.model);
    for (const auto& [word, value] : m_profile.identify_words) PutWord(s, word, value);
    if (!m_profile.identify_words.count(255)) {
        s[510] = 0xA5;  // integrity word signature, checksum in the high byte
        SetChecksum(s);
    }
    return s;
}

SimAtaDrive::Sector SimAtaDrive::DataSector() const {
    Sector s{};
    if (m_profile.data_sector) {
        std::copy(m_profile.data_sector->begin(), m_profile.data_sector->end(), s.begin());
        return s;
    }
    PutLe(s, 0, 0x0010, 2);
    for (std::size_t i = 0; i < m_profile.attributes.size(); ++i) {
        const SimAttribute& a = m_profile.attributes[i];
        const std::size_t at = 2 + 12 * i;
        s[at] = a.id;
        PutLe(s, at + 1, a.flags, 2);
        s[at + 3] = a.value;
        s[at + 4] = a.worst;
        const std::uint64_t raw = a.id == 9 ? (a.raw & ~0xFFFFFFFFull) | PowerOnHours() : a.raw;
        PutLe(s, at + 5, raw, 6);
    }
    s[362] = static_cast<BYTE>(m_offlineStatus | (m_autoOffline ? 0x80 : 0));
    s[363] = m_selfTestStatus;
    PutLe(s, 364, m_profile.collect_seconds, 2);
    s[367] = m_profile.offline_capability;
    PutLe(s, 368, m_profile.smart_capability, 2);
    s[370] = m_profile.error_logging;
    s[372] = m_profile.short_minutes;
    s[373] = m_profile.extended_minutes;
    s[374] = m_profile.conveyance_minutes;
    PutLe(s, 375, m_profile.extended_minutes, 2);
    SetChecksum(s);
    return s;
}

SimAtaDrive::Sector SimAtaDrive::ThresholdsSector() const {
    Sector s{};
    if (m_profile.thresholds_sector) {
        std::copy(m_profile.thresholds_sector->begin(), m_profile.thresholds_sector->end(), s.begin());
        return s;
    }
    PutLe(s, 0, 0x0010, 2);
    for (std::size_t i = 0; i < m_profile.attributes.size(); ++i) {
        s[2 + 12 * i] = m_profile.attributes[i].id;
        s[3 + 12 * i] = m_profile.attributes[i].threshold;
    }
    SetChecksum(s);
    return s;
}

// SMART self-test log: 21 descriptors of 24 bytes used as a ring, the index
// of the newest (1-based) in byte 508.
SimAtaDrive::Sector SimAtaDrive::SelfTestLogSector() const {
    Sector s{};
    PutLe(s, 0, 0x0001, 2);
    for (std::size_t i = 0; i < m_log.size(); ++i) {
        const SimSelfTestEntry& e = m_log[i];
        const std::size_t at = 2 + 24 * (i % kSelfTestLogSlots);
        std::fill_n(s.begin() + static_cast<long>(at), 24, 0);
        s[at] = e.type;
        s[at + 1] = static_cast<BYTE>(e.result << 4 | e.remaining);
        PutLe(s, at + 2, e.hours, 2);
        PutLe(s, at + 5, static_cast<std::uint32_t>(e.lba), 4);
    }
    s[508] = m_log.empty() ? 0 : static_cast<BYTE>((m_log.size() - 1) % kSelfTestLogSlots + 1);
    SetChecksum(s);
    return s;
}

SimAtaDrive::Sector SimAtaDrive::ErrorLogSector() const {
    Sector s{};
    s[0] = 0x01;
    s[1] = m_profile.error_count ? static_cast<BYTE>((m_profile.error_count - 1) % 5 + 1) : 0;
    PutLe(s, 452, m_profile.error_count, 2);
    SetChecksum(s);
    return s;
}

SimAtaDrive::Sector SimAtaDrive::LogDirectorySector() const {
    Sector s{};
    PutLe(s, 0, 0x0001, 2);
    if (m_profile.error_logging & 0x01) s[2 * kSummaryErrorLog] = 1;
    if (m_profile.offline_capability & 0x10) s[2 * kSelfTestLog] = 1;
    for (const auto& [address, bytes] : m_profile.logs)
        if (address != kLogDirectory) s[2 * address] = static_cast<BYTE>(bytes.size() / 512);
    return s;
}

bool SimAtaDrive::ReadLog(BYTE address, BYTE count, std::span<BYTE> out) const {
    const std::size_t bytes = std::size_t(count) * 512;
    if (count == 0 || out.size() < bytes) return false;
    if (const auto it = m_profile.logs.find(address); it != m_profile.logs.end()) {
        if (it->second.size() < bytes) return false;
        std::memcpy(out.data(), it->second.data(), bytes);
        return true;
    }
    Sector s;
    if (address == kLogDirectory)
        s = LogDirectorySector();
    else if (address == kSummaryErrorLog && (m_profile.error_logging & 0x01))
        s = ErrorLogSector();
    else if (address == kSelfTestLog && (m_profile.offline_capability & 0x10))
        s = SelfTestLogSector();
    else
        return false;
    if (count != 1) return false;
    std::memcpy(out.data(), s.data(), s.size());
    return true;
}

}  // namespace plat::device
