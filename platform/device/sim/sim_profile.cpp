// JSON profile loader. Every value is checked against what the field can
// hold, and every error names the field by its path, so a profile author
// learns what to fix: "devices[1].ata.attributes[3].id: must be 1 to 255".
#include "device/sim/sim_profile.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <initializer_list>
#include <stdexcept>

#include "base/format.h"
#include "base/text.h"
#include "device/device_types.h"

namespace plat::device {
namespace {

using json = nlohmann::json;

struct FieldError : std::runtime_error {
    FieldError(const std::string& path, const std::string& what) : std::runtime_error(path + ": " + what) {}
};

// A JSON value together with its path in the profile.
class Field {
public:
    Field(const json& value, std::string path) : m_value(value), m_path(std::move(path)) {}

    const json& value() const { return m_value; }
    const std::string& path() const { return m_path; }
    [[noreturn]] void Fail(const std::string& what) const {
        throw FieldError(m_path.empty() ? "top level" : m_path, what);
    }

    // Object members: rejects names outside `allowed` (catches misspellings).
    void ExpectObject(std::initializer_list<const char*> allowed) const {
        if (!m_value.is_object()) Fail("must be an object");
        for (const auto& [key, unused] : m_value.items()) {
            bool known = false;
            for (const char* name : allowed) known = known || key == name;
            if (!known) Child(key).Fail("unknown field");
        }
    }
    std::optional<Field> Member(const char* name) const {
        const auto it = m_value.find(name);
        if (it == m_value.end()) return std::nullopt;
        return Field(*it, Join(name));
    }
    Field Child(const std::string& key) const { return Field(m_value.at(key), Join(key)); }
    std::vector<Field> Elements() const {
        if (!m_value.is_array()) Fail("must be an array");
        std::vector<Field> out;
        for (std::size_t i = 0; i < m_value.size(); ++i)
            out.emplace_back(m_value[i], m_path + "[" + std::to_string(i) + "]");
        return out;
    }
    // Object members in document order (nlohmann keeps them sorted; the
    // order does not matter where this is used).
    std::vector<std::pair<std::string, Field>> Members() const {
        if (!m_value.is_object()) Fail("must be an object");
        std::vector<std::pair<std::string, Field>> out;
        for (const auto& [key, v] : m_value.items()) out.emplace_back(key, Field(v, Join(key)));
        return out;
    }

    // A number, given as a JSON integer or as a string in decimal or 0x-hex.
    std::uint64_t Number(std::uint64_t min, std::uint64_t max) const {
        std::uint64_t v = 0;
        if (m_value.is_number_unsigned()) {
            v = m_value.get<std::uint64_t>();
        } else if (m_value.is_string()) {
            if (!ParseNumber(m_value.get<std::string>(), &v))
                Fail("must be a number, got \"" + m_value.get<std::string>() + "\"");
        } else {
            Fail("must be a number from " + std::to_string(min) + " to " + std::to_string(max) + ", got " +
                 m_value.dump());
        }
        if (v < min || v > max)
            Fail("must be " + std::to_string(min) + " to " + std::to_string(max) + ", got " + std::to_string(v));
        return v;
    }
    bool Bool() const {
        if (!m_value.is_boolean()) Fail("must be true or false, got " + m_value.dump());
        return m_value.get<bool>();
    }
    std::string Text(std::size_t max_length) const {
        if (!m_value.is_string()) Fail("must be a string, got " + m_value.dump());
        std::string s = m_value.get<std::string>();
        for (unsigned char c : s)
            if (c < 0x20 || c > 0x7E) Fail("must be printable ASCII");
        if (s.size() > max_length) Fail("must be at most " + std::to_string(max_length) + " characters");
        return s;
    }
    // Bytes as hex digits; blanks, colons and dashes between them are allowed.
    Bytes Hex(std::size_t min_size, std::size_t max_size, std::size_t multiple = 1) const {
        if (!m_value.is_string()) Fail("must be a string of hex digits");
        Bytes out;
        int high = -1;
        for (char c : m_value.get<std::string>()) {
            if (c == ' ' || c == ':' || c == '-' || c == '\n') continue;
            int digit = 0;
            if (!HexDigit(c, &digit)) Fail(std::string("must hold hex digits only, found '") + c + "'");
            if (high < 0) {
                high = digit;
            } else {
                out.push_back(static_cast<BYTE>(high * 16 + digit));
                high = -1;
            }
        }
        if (high >= 0) Fail("has an odd number of hex digits");
        if (out.size() < min_size || out.size() > max_size || out.size() % multiple) {
            std::string sizes = std::to_string(min_size);
            if (max_size != min_size) sizes += " to " + std::to_string(max_size);
            if (multiple > 1) sizes += " in steps of " + std::to_string(multiple);
            Fail(Format("must hold %s bytes, got %d", sizes, out.size()));
        }
        return out;
    }
    std::u16string NtName() const {
        const std::string s = Text(250);
        if (s.empty() || s[0] != '\\') Fail("must be an NT name beginning with a backslash");
        return Utf8ToUtf16(s);
    }

    static bool ParseNumber(const std::string& s, std::uint64_t* v) {
        const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
        const char* first = s.data() + (hex ? 2 : 0);
        const char* last = s.data() + s.size();
        const auto r = std::from_chars(first, last, *v, hex ? 16 : 10);
        return first != last && r.ec == std::errc() && r.ptr == last;
    }

private:
    std::string Join(const std::string& name) const { return m_path.empty() ? name : m_path + "." + name; }
    static bool HexDigit(char c, int* d) {
        if (c >= '0' && c <= '9') return *d = c - '0', true;
        if (c >= 'a' && c <= 'f') return *d = c - 'a' + 10, true;
        if (c >= 'A' && c <= 'F') return *d = c - 'A' + 10, true;
        return false;
    }

    const json& m_value;
    std::string m_path;
};

template <typename T>
void Set(const Field& object, const char* name, T* target, std::uint64_t min, std::uint64_t max) {
    if (auto f = object.Member(name)) *target = static_cast<T>(f->Number(min, max));
}
template <typename T>
void SetOpt(const Field& object, const char* name, std::optional<T>* target, std::uint64_t min, std::uint64_t max) {
    if (auto f = object.Member(name)) *target = static_cast<T>(f->Number(min, max));
}
void SetBool(const Field& object, const char* name, bool* target) {
    if (auto f = object.Member(name)) *target = f->Bool();
}
void SetText(const Field& object, const char* name, std::string* target, std::size_t max) {
    if (auto f = object.Member(name)) *target = f->Text(max);
}
void SetHex(const Field& object, const char* name, std::optional<Bytes>* target, std::size_t min, std::size_t max,
            std::size_t multiple = 1) {
    if (auto f = object.Member(name)) *target = f->Hex(min, max, multiple);
}

// A map member whose keys are numbers ("0x1C" or "28").
template <typename Fn>
void ForEachNumbered(const Field& object, const char* name, std::uint64_t max_key, Fn fn) {
    auto f = object.Member(name);
    if (!f) return;
    for (const auto& [key, value] : f->Members()) {
        std::uint64_t k = 0;
        if (!Field::ParseNumber(key, &k) || k > max_key)
            value.Fail("the key must be a number from 0 to " + std::to_string(max_key));
        fn(static_cast<int>(k), value);
    }
}

// One of the names of `choices`, as its value.
template <typename T, std::size_t N>
T Choice(const Field& f, const std::pair<const char*, T> (&choices)[N]) {
    const std::string s = f.Text(16);
    std::string names;
    for (const auto& [name, value] : choices) {
        if (s == name) return value;
        names += (names.empty() ? "" : ", ") + std::string(name);
    }
    f.Fail("must be one of " + names + ", got \"" + s + "\"");
}

constexpr std::pair<const char*, SimKind> kKinds[] = {
    {"ata-disk", SimKind::kAtaDisk}, {"scsi-disk", SimKind::kScsiDisk}, {"cdrom", SimKind::kCdRom},
    {"tape", SimKind::kTape},        {"floppy", SimKind::kFloppy},      {"scsi-port", SimKind::kScsiPort}};
constexpr std::pair<const char*, SimAta::Health> kHealths[] = {
    {"auto", SimAta::Health::kAuto}, {"healthy", SimAta::Health::kHealthy}, {"exceeded", SimAta::Health::kExceeded}};

struct KindDefaults {
    ULONG device_type;
    bool removable;
    BYTE peripheral_type;
};

KindDefaults DefaultsOf(SimKind kind) {
    switch (kind) {
        case SimKind::kAtaDisk:
        case SimKind::kScsiDisk:
            return {FILE_DEVICE_DISK, false, 0x00};
        case SimKind::kCdRom:
            return {FILE_DEVICE_CD_ROM, true, 0x05};
        case SimKind::kTape:
            return {FILE_DEVICE_TAPE, true, 0x01};
        case SimKind::kFloppy:
            return {FILE_DEVICE_DISK, true, 0x00};
        case SimKind::kScsiPort:
            return {FILE_DEVICE_CONTROLLER, false, 0x00};
    }
    return {FILE_DEVICE_UNKNOWN, false, 0x1F};
}

SimSelfTestEntry SelfTestEntryOf(const Field& f) {
    f.ExpectObject({"type", "result", "hours", "lba"});
    SimSelfTestEntry e;
    e.lba = ~std::uint64_t(0);
    Set(f, "type", &e.type, 0, 255);
    Set(f, "result", &e.result, 0, 15);
    Set(f, "hours", &e.hours, 0, 0xFFFF);
    Set(f, "lba", &e.lba, 0, ~std::uint64_t(0));
    return e;
}

std::vector<SimSelfTestEntry> SelfTestLogOf(const Field& object) {
    std::vector<SimSelfTestEntry> log;
    if (auto f = object.Member("selftest_log"))
        for (const Field& e : f->Elements()) log.push_back(SelfTestEntryOf(e));
    return log;
}

SimAttribute AttributeOf(const Field& f) {
    f.ExpectObject({"id", "flags", "value", "worst", "raw", "threshold"});
    SimAttribute a;
    if (!f.Member("id")) f.Fail("needs an id");
    Set(f, "id", &a.id, 1, 255);
    Set(f, "flags", &a.flags, 0, 0xFFFF);
    Set(f, "value", &a.value, 0, 255);
    a.worst = a.value;
    Set(f, "worst", &a.worst, 0, 255);
    Set(f, "raw", &a.raw, 0, 0xFFFFFFFFFFFFull);
    Set(f, "threshold", &a.threshold, 0, 255);
    return a;
}

void ReadSmart(const Field& f, SimAta* ata) {
    // clang-format off
    f.ExpectObject({"supported", "enabled", "autosave", "auto_offline", "attributes", "offline_status",
                    "selftest_status", "offline_capability", "smart_capability", "error_logging", "collect_seconds",
                    "short_minutes", "extended_minutes", "conveyance_minutes", "return_status", "error_count",
                    "data_sector", "thresholds_sector", "logs", "selftest_log"});
    // clang-format on
    SetBool(f, "supported", &ata->smart_supported);
    SetBool(f, "enabled", &ata->smart_enabled);
    SetBool(f, "autosave", &ata->autosave);
    SetBool(f, "auto_offline", &ata->auto_offline);
    if (auto list = f.Member("attributes")) {
        for (const Field& e : list->Elements()) ata->attributes.push_back(AttributeOf(e));
        if (ata->attributes.size() > 30) list->Fail("holds at most 30 attributes");
    }
    Set(f, "offline_status", &ata->offline_status, 0, 0x7F);
    Set(f, "selftest_status", &ata->selftest_status, 0, 255);
    Set(f, "offline_capability", &ata->offline_capability, 0, 255);
    Set(f, "smart_capability", &ata->smart_capability, 0, 0xFFFF);
    Set(f, "error_logging", &ata->error_logging, 0, 255);
    Set(f, "collect_seconds", &ata->collect_seconds, 0, 0xFFFF);
    Set(f, "short_minutes", &ata->short_minutes, 0, 255);
    Set(f, "extended_minutes", &ata->extended_minutes, 0, 255);
    Set(f, "conveyance_minutes", &ata->conveyance_minutes, 0, 255);
    if (auto s = f.Member("return_status")) ata->return_status = Choice(*s, kHealths);
    Set(f, "error_count", &ata->error_count, 0, 0xFFFF);
    SetHex(f, "data_sector", &ata->data_sector, 512, 512);
    SetHex(f, "thresholds_sector", &ata->thresholds_sector, 512, 512);
    ForEachNumbered(f, "logs", 255, [&](int address, const Field& v) {
        ata->logs[static_cast<BYTE>(address)] = v.Hex(512, 255 * 512, 512);
    });
    ata->selftest_log = SelfTestLogOf(f);
}

SimAta AtaOf(const Field& f) {
    f.ExpectObject({"model", "serial", "firmware", "sectors", "identify_words", "identify_sector", "smart"});
    SimAta ata;
    SetText(f, "model", &ata.model, 40);
    SetText(f, "serial", &ata.serial, 20);
    SetText(f, "firmware", &ata.firmware, 8);
    Set(f, "sectors", &ata.sectors, 0, 0xFFFFFFFFFFFFull);
    ForEachNumbered(f, "identify_words", 255, [&](int word, const Field& v) {
        ata.identify_words[word] = static_cast<WORD>(v.Number(0, 0xFFFF));
    });
    SetHex(f, "identify_sector", &ata.identify_sector, 512, 512);
    if (auto smart = f.Member("smart")) ReadSmart(*smart, &ata);
    return ata;
}

SimLogParameter LogParameterOf(const Field& f) {
    f.ExpectObject({"code", "control", "value", "size", "hex"});
    SimLogParameter p;
    Set(f, "code", &p.code, 0, 0xFFFF);
    Set(f, "control", &p.control, 0, 255);
    if (auto hex = f.Member("hex")) {
        p.value = hex->Hex(0, 255);
        return p;
    }
    std::uint64_t size = 4;
    Set(f, "size", &size, 1, 8);
    std::uint64_t value = 0;
    if (auto v = f.Member("value")) value = v->Number(0, ~std::uint64_t(0));
    for (std::uint64_t i = 0; i < size; ++i) p.value.insert(p.value.begin(), static_cast<BYTE>(value >> (8 * i)));
    return p;
}

void ReadInformationalExceptions(const Field& f, SimScsi* scsi) {
    f.ExpectObject({"flags", "mrie", "interval_timer", "report_count", "changeable", "asc", "ascq"});
    SimScsi::InformationalExceptions ie;
    Set(f, "flags", &ie.flags, 0, 255);
    Set(f, "mrie", &ie.mrie, 0, 15);
    Set(f, "interval_timer", &ie.interval_timer, 0, 0xFFFFFFFF);
    Set(f, "report_count", &ie.report_count, 0, 0xFFFFFFFF);
    if (auto c = f.Member("changeable")) {
        const Bytes b = c->Hex(10, 10);
        std::copy(b.begin(), b.end(), ie.changeable.begin());
    }
    Set(f, "asc", &ie.asc, 0, 255);
    Set(f, "ascq", &ie.ascq, 0, 255);
    scsi->ie = ie;
}

SimScsi ScsiOf(const Field& f, BYTE peripheral_type) {
    // clang-format off
    f.ExpectObject({"peripheral_type", "vendor", "product", "revision", "serial", "inquiry", "vpd_serial", "blocks",
                    "block_size", "informational_exceptions", "extended_selftest_seconds", "mode_pages",
                    "diagnostic_pages", "log_pages", "temperature", "reference_temperature", "request_sense",
                    "self_test", "power_on_hours", "selftest_log"});
    // clang-format on
    SimScsi scsi;
    scsi.peripheral_type = peripheral_type;
    Set(f, "peripheral_type", &scsi.peripheral_type, 0, 0x1F);
    SetText(f, "vendor", &scsi.vendor, 8);
    SetText(f, "product", &scsi.product, 16);
    SetText(f, "revision", &scsi.revision, 4);
    SetText(f, "serial", &scsi.serial, 64);
    SetHex(f, "inquiry", &scsi.inquiry, 5, 255);
    SetHex(f, "vpd_serial", &scsi.vpd_serial, 4, 255);
    Set(f, "blocks", &scsi.blocks, 0, ~std::uint64_t(0));
    Set(f, "block_size", &scsi.block_size, 1, 0x100000);
    if (auto ie = f.Member("informational_exceptions")) ReadInformationalExceptions(*ie, &scsi);
    if (auto t = f.Member("extended_selftest_seconds")) {
        scsi.extended_selftest_seconds = static_cast<WORD>(t->Number(0, 0xFFFF));
        scsi.control_page = true;
    }
    ForEachNumbered(f, "mode_pages", 0x3E, [&](int page, const Field& v) {
        if (page == 0x1C || page == 0x0A) v.Fail("is described by its own fields");
        scsi.mode_pages[static_cast<BYTE>(page)] = v.Hex(2, 255);
    });
    ForEachNumbered(f, "diagnostic_pages", 255, [&](int page, const Field& v) {
        if (page == 0) v.Fail("the list of supported pages is made from the others");
        scsi.diagnostic_pages[static_cast<BYTE>(page)] = v.Hex(4, 0xFFFF);
    });
    ForEachNumbered(f, "log_pages", 0x3F, [&](int page, const Field& v) {
        if (page == 0x00) v.Fail("the list of supported pages is made from the others");
        if (v.value().is_string()) {
            scsi.raw_log_pages[static_cast<BYTE>(page)] = v.Hex(4, 0xFFFF);
            return;
        }
        auto& params = scsi.log_parameters[static_cast<BYTE>(page)];
        for (const Field& p : v.Elements()) params.push_back(LogParameterOf(p));
    });
    SetOpt(f, "temperature", &scsi.temperature, 0, 255);
    Set(f, "reference_temperature", &scsi.reference_temperature, 0, 255);
    SetHex(f, "request_sense", &scsi.request_sense, 8, 252);
    SetBool(f, "self_test", &scsi.self_test);
    Set(f, "power_on_hours", &scsi.power_on_hours, 0, 0xFFFF);
    scsi.selftest_log = SelfTestLogOf(f);
    return scsi;
}

SimFailure FailureOf(const Field& f) {
    f.ExpectObject(
        {"control_code", "ata_command", "ata_feature", "scsi_opcode", "skip", "times", "status", "ata_error", "sense"});
    SimFailure failure;
    SetOpt(f, "control_code", &failure.control_code, 0, 0xFFFFFFFF);
    SetOpt(f, "ata_command", &failure.ata_command, 0, 255);
    SetOpt(f, "ata_feature", &failure.ata_feature, 0, 255);
    SetOpt(f, "scsi_opcode", &failure.scsi_opcode, 0, 255);
    Set(f, "skip", &failure.skip, 0, 0xFFFFFFFF);
    SetOpt(f, "times", &failure.times, 1, 0xFFFFFFFF);
    if (auto s = f.Member("status")) failure.status = static_cast<NTSTATUS>(s->Number(0, 0xFFFFFFFF));
    SetOpt(f, "ata_error", &failure.ata_error, 1, 255);
    if (auto s = f.Member("sense")) {
        const Bytes b = s->Hex(3, 3);
        failure.sense = std::array<BYTE, 3>{b[0], b[1], b[2]};
    }
    const int outcomes = failure.status.has_value() + failure.ata_error.has_value() + failure.sense.has_value();
    if (outcomes != 1) f.Fail("needs exactly one of status, ata_error and sense");
    return failure;
}

SimBehaviour BehaviourOf(const Field& f) {
    f.ExpectObject({"pending_ms", "vanish_after", "stops_on_command", "selftests", "failures"});
    SimBehaviour b;
    SetOpt(f, "pending_ms", &b.pending_ms, 0, 24ull * 3600 * 1000);
    SetOpt(f, "vanish_after", &b.vanish_after, 0, 0xFFFFFFFF);
    SetBool(f, "stops_on_command", &b.stops_on_command);
    if (auto tests = f.Member("selftests")) {
        static const std::pair<const char*, int> names[] = {
            {"offline", 0}, {"short", 1}, {"extended", 2}, {"conveyance", 3}, {"selective", 4}};
        tests->ExpectObject({"offline", "short", "extended", "conveyance", "selective"});
        for (const auto& [name, type] : names) {
            auto t = tests->Member(name);
            if (!t) continue;
            t->ExpectObject({"seconds", "result"});
            SimSelfTestBehaviour s;
            Set(*t, "seconds", &s.seconds, 0, 0xFFFFFFFF);
            Set(*t, "result", &s.result, 0, 15);
            b.selftests[type] = s;
        }
    }
    if (auto list = f.Member("failures"))
        for (const Field& e : list->Elements()) b.failures.push_back(FailureOf(e));
    return b;
}

GETVERSIONINPARAMS VersionOf(const Field& f) {
    f.ExpectObject({"version", "revision", "device_map", "capabilities"});
    GETVERSIONINPARAMS v{};
    v.bVersion = 1;
    v.bRevision = 1;
    v.bIDEDeviceMap = 1;
    v.fCapabilities = CAP_ATA_ID_CMD | CAP_ATAPI_ID_CMD | CAP_SMART_CMD;
    Set(f, "version", &v.bVersion, 0, 255);
    Set(f, "revision", &v.bRevision, 0, 255);
    Set(f, "device_map", &v.bIDEDeviceMap, 0, 255);
    Set(f, "capabilities", &v.fCapabilities, 0, 0xFFFFFFFF);
    return v;
}

SimDeviceProfile DeviceOf(const Field& f) {
    // clang-format off
    f.ExpectObject({"name", "links", "kind", "device_type", "removable", "characteristics", "scsi_address",
                    "smart_version", "ata", "scsi", "behaviour"});
    // clang-format on
    SimDeviceProfile d;
    const auto name = f.Member("name");
    if (!name) f.Fail("needs a name");
    d.name = name->NtName();
    if (auto links = f.Member("links"))
        for (const Field& l : links->Elements()) d.links.push_back(l.NtName());
    const auto kind = f.Member("kind");
    if (!kind) f.Fail("needs a kind");
    d.kind = Choice(*kind, kKinds);
    const KindDefaults defaults = DefaultsOf(d.kind);
    d.device_type = defaults.device_type;
    Set(f, "device_type", &d.device_type, 0, 0xFFFF);
    bool removable = defaults.removable;
    SetBool(f, "removable", &removable);
    d.characteristics =
        (removable ? FILE_REMOVABLE_MEDIA : 0) | (d.kind == SimKind::kFloppy ? FILE_FLOPPY_DISKETTE : 0);
    Set(f, "characteristics", &d.characteristics, 0, 0xFFFFFFFF);
    if (auto a = f.Member("scsi_address")) {
        a->ExpectObject({"port", "path", "target", "lun"});
        SCSI_ADDRESS address{sizeof(SCSI_ADDRESS), 0, 0, 0, 0};
        Set(*a, "port", &address.PortNumber, 0, 255);
        Set(*a, "path", &address.PathId, 0, 255);
        Set(*a, "target", &address.TargetId, 0, 255);
        Set(*a, "lun", &address.Lun, 0, 255);
        d.address = address;
    }
    if (d.kind == SimKind::kAtaDisk) {
        d.ata = f.Member("ata") ? AtaOf(*f.Member("ata")) : SimAta{};
        d.smart_version = VersionOf(Field(json::object(), f.path() + ".smart_version"));
    } else if (f.Member("ata")) {
        f.Child("ata").Fail("is only for kind ata-disk");
    }
    if (auto v = f.Member("smart_version")) {
        if (v->value().is_boolean() && !v->Bool())
            d.smart_version.reset();
        else
            d.smart_version = VersionOf(*v);
    }
    const bool has_scsi_unit = d.kind != SimKind::kScsiPort;
    if (auto s = f.Member("scsi")) {
        if (!has_scsi_unit) s->Fail("is not for kind scsi-port (it forwards to the units it addresses)");
        d.scsi = ScsiOf(*s, defaults.peripheral_type);
    } else if (has_scsi_unit && d.kind != SimKind::kAtaDisk) {
        d.scsi = ScsiOf(Field(json::object(), f.path() + ".scsi"), defaults.peripheral_type);
    }
    if (d.scsi) d.scsi->removable = d.characteristics & FILE_REMOVABLE_MEDIA;
    if (auto b = f.Member("behaviour")) d.behaviour = BehaviourOf(*b);
    return d;
}

SimProfile ProfileOf(const Field& root) {
    root.ExpectObject({"devices", "links", "comment"});
    SimProfile profile;
    const auto devices = root.Member("devices");
    if (!devices) root.Fail("needs a devices array");
    std::map<std::u16string, std::string> seen;  // lower-case name -> path
    auto claim = [&](const std::u16string& name, const Field& where) {
        const auto [it, fresh] = seen.emplace(ToLowerAscii(name), where.path());
        if (!fresh) where.Fail("names \"" + Utf16ToUtf8(name) + "\", already used at " + it->second);
    };
    for (const Field& e : devices->Elements()) {
        profile.devices.push_back(DeviceOf(e));
        claim(profile.devices.back().name, e.Child("name"));
        if (auto links = e.Member("links"))
            for (const Field& l : links->Elements()) claim(l.NtName(), l);
    }
    if (auto links = root.Member("links")) {
        for (const auto& [name, target] : links->Members()) {
            if (name.empty() || name[0] != '\\') target.Fail("the link name must begin with a backslash");
            claim(Utf8ToUtf16(name), target);
            profile.links[Utf8ToUtf16(name)] = target.NtName();
        }
    }
    return profile;
}

// nlohmann's messages begin with a "[json.exception.name.id] " tag.
std::string WithoutTag(const std::string& message) {
    const auto end = message.find("] ");
    return message[0] == '[' && end != std::string::npos ? message.substr(end + 2) : message;
}

}  // namespace

std::optional<SimProfile> LoadProfile(std::string_view text, std::string_view source, std::string* error) {
    try {
        const json document = json::parse(text);
        return ProfileOf(Field(document, ""));
    } catch (const json::parse_error& e) {
        *error = Format("%s: not valid JSON: %s", source, WithoutTag(e.what()));
    } catch (const FieldError& e) {
        *error = Format("%s: %s", source, e.what());
    } catch (const json::exception& e) {
        *error = Format("%s: %s", source, WithoutTag(e.what()));
    }
    return std::nullopt;
}

}  // namespace plat::device
