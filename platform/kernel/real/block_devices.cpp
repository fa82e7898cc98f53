#include "kernel/real/block_devices.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace kern::real {
namespace {

bool StartsWithAny(std::string_view name, std::initializer_list<std::string_view> prefixes) {
    return std::any_of(prefixes.begin(), prefixes.end(), [&](std::string_view p) { return name.starts_with(p); });
}

// N of "sr3" after `prefix`; -1 when the rest is not a number.
int UnitAfter(std::string_view name, std::string_view prefix) {
    int n = -1;
    const std::string_view digits = name.substr(prefix.size());
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    return r.ec == std::errc() && r.ptr == digits.data() + digits.size() ? n : -1;
}

StorageKind KindOf(const SystemFiles& files, const std::string& name) {
    if (name.starts_with("sr") || files.ReadLine("/sys/block/" + name + "/device/type") == "5") return StorageKind::CdRom;
    if (name.starts_with("fd")) return StorageKind::Floppy;
    if (StartsWithAny(name, {"loop", "dm-", "md", "zram", "nbd", "ram", "rbd", "drbd", "zd"})) return StorageKind::VirtualDisk;
    return StorageKind::Disk;
}

bool IsScsiDisk(const std::string& name) {
    return name.size() > 2 && name.starts_with("sd") &&
           std::all_of(name.begin() + 2, name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// Order of disk numbers, then drives: see ScanBlockDevices.
int Rank(const BlockDevice& d) {
    switch (d.kind) {
        case StorageKind::Disk: return IsScsiDisk(d.name) ? 0 : 1;
        case StorageKind::VirtualDisk: return 2;
        default: return 3;
    }
}

// Shorter names first so that sdz sorts before sdaa, and loop2 before loop10.
bool NameOrder(const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

std::vector<BlockPartition> PartitionsOf(const SystemFiles& files, const BlockDevice& disk) {
    std::vector<BlockPartition> partitions;
    for (const std::string& entry : files.List(disk.sysfs)) {
        const auto number = files.ReadLine(disk.sysfs + "/" + entry + "/partition");
        const auto dev = files.ReadLine(disk.sysfs + "/" + entry + "/dev");
        BlockPartition p;
        p.name = entry;
        if (!number || !dev || !ParseDeviceNumber(*dev, &p.major, &p.minor)) continue;
        const auto r = std::from_chars(number->data(), number->data() + number->size(), p.number);
        if (r.ec != std::errc() || p.number == 0) continue;
        partitions.push_back(p);
    }
    std::sort(partitions.begin(), partitions.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
    if (partitions.empty()) partitions.push_back({disk.name, disk.major, disk.minor, 1});
    return partitions;
}

}  // namespace

bool ParseDeviceNumber(const std::string& text, std::uint32_t* major, std::uint32_t* minor) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    const auto a = std::from_chars(text.data(), text.data() + colon, *major);
    const auto b = std::from_chars(text.data() + colon + 1, text.data() + text.size(), *minor);
    return a.ec == std::errc() && a.ptr == text.data() + colon && b.ec == std::errc() &&
           b.ptr == text.data() + text.size() && colon > 0 && colon + 1 < text.size();
}

std::vector<BlockDevice> ScanBlockDevices(const SystemFiles& files) {
    std::vector<BlockDevice> devices;
    for (const std::string& name : files.List("/sys/block")) {
        BlockDevice d;
        d.name = name;
        d.sysfs = "/sys/block/" + name;
        const auto dev = files.ReadLine(d.sysfs + "/dev");
        if (!dev || !ParseDeviceNumber(*dev, &d.major, &d.minor)) continue;
        if (files.ReadLine(d.sysfs + "/hidden") == "1") continue;
        d.kind = KindOf(files, name);
        d.removable = files.ReadLine(d.sysfs + "/removable") == "1" || d.kind == StorageKind::CdRom ||
                      d.kind == StorageKind::Floppy;
        if (d.kind == StorageKind::VirtualDisk && files.ReadLine(d.sysfs + "/size").value_or("0") == "0") continue;
        if (d.kind == StorageKind::CdRom || d.kind == StorageKind::Floppy) {
            d.unit = UnitAfter(name, d.kind == StorageKind::CdRom ? "sr" : "fd");
            d.partitions.push_back({name, d.major, d.minor, 0});
        } else {
            d.partitions = PartitionsOf(files, d);
        }
        devices.push_back(std::move(d));
    }
    for (const std::string& name : files.List("/sys/class/scsi_tape")) {
        if (!name.starts_with("st") || UnitAfter(name, "st") < 0) continue;  // nstN and stNa... are the same drive
        BlockDevice tape;
        tape.name = name;
        tape.kind = StorageKind::Tape;
        tape.removable = true;
        tape.unit = UnitAfter(name, "st");
        devices.push_back(std::move(tape));
    }
    std::stable_sort(devices.begin(), devices.end(), [](const BlockDevice& a, const BlockDevice& b) {
        return Rank(a) != Rank(b) ? Rank(a) < Rank(b) : NameOrder(a.name, b.name);
    });
    return devices;
}

}  // namespace kern::real
