// Volume actions through udisks2 on the system D-Bus (sd-bus of libsystemd).
// Every call opens its own bus connection: the actions are rare, and a
// connection of its own keeps calls from different client threads apart.
//
// Objects: /org/freedesktop/UDisks2/block_devices/<kernel name> (each byte
// outside [A-Za-z0-9] written as _xx), its Filesystem.Unmount, and the
// Drive its Block.Drive property names, with Drive.Eject (or PowerOff for
// a drive that cannot eject, such as a USB stick).
#include <systemd/sd-bus.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kernel/real/volume_actions.h"

namespace kern::real {
namespace {

constexpr const char* kService = "org.freedesktop.UDisks2";

struct Bus {
    sd_bus* bus = nullptr;
    Bus() {
        if (sd_bus_open_system(&bus) < 0) bus = nullptr;
    }
    ~Bus() {
        if (bus) sd_bus_flush_close_unref(bus);
    }
};

struct Error {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~Error() { sd_bus_error_free(&error); }
};

struct Message {
    sd_bus_message* m = nullptr;
    ~Message() { sd_bus_message_unref(m); }
};

std::string BlockPath(const std::string& name) {
    std::string path = "/org/freedesktop/UDisks2/block_devices/";
    for (unsigned char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            path += char(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "_%02x", c);
            path += escaped;
        }
    }
    return path;
}

NTSTATUS StatusFromBusError(const sd_bus_error& error, int result) {
    const std::string name = error.name ? error.name : "";
    if (name.find("DeviceBusy") != std::string::npos) return STATUS_DEVICE_BUSY;
    if (name.find("NotAuthorized") != std::string::npos || name.find("AccessDenied") != std::string::npos)
        return STATUS_ACCESS_DENIED;
    if (name.find("NotMounted") != std::string::npos) return STATUS_SUCCESS;
    if (name.find("UnknownObject") != std::string::npos || name.find("UnknownMethod") != std::string::npos)
        return STATUS_NO_SUCH_DEVICE;
    return result == -ETIMEDOUT ? STATUS_IO_TIMEOUT : STATUS_UNSUCCESSFUL;
}

// Calls a method whose only argument is an options dictionary, asking the
// service not to start an interactive authorisation (the host has no agent).
NTSTATUS CallWithOptions(const std::string& path, const char* interface, const char* method) {
    Bus bus;
    if (!bus.bus) return STATUS_UNSUCCESSFUL;
    Message call, reply;
    Error error;
    int r = sd_bus_message_new_method_call(bus.bus, &call.m, kService, path.c_str(), interface, method);
    if (r >= 0) r = sd_bus_message_append(call.m, "a{sv}", 1, "auth.no_user_interaction", "b", 1);
    if (r < 0) return STATUS_INSUFFICIENT_RESOURCES;
    r = sd_bus_call(bus.bus, call.m, 0, &error.error, &reply.m);
    return r < 0 ? StatusFromBusError(error.error, r) : STATUS_SUCCESS;
}

bool BoolProperty(sd_bus* bus, const std::string& path, const char* interface, const char* name) {
    Error error;
    int value = 0;
    return sd_bus_get_property_trivial(bus, kService, path.c_str(), interface, name, &error.error, 'b', &value) >= 0 &&
           value;
}

class UdisksActions final : public ProcessScanningActions {
public:
    std::string Name() const override { return "udisks2"; }

    NTSTATUS Unmount(const VolumeTarget& target) override {
        // One call per mount: udisks unmounts one mount point at a time.
        NTSTATUS status = STATUS_SUCCESS;
        for (std::size_t i = 0; i < std::max<std::size_t>(1, target.mount_points.size()) && NT_SUCCESS(status); ++i)
            status = CallWithOptions(BlockPath(target.device), "org.freedesktop.UDisks2.Filesystem", "Unmount");
        return status;
    }

    NTSTATUS Eject(const VolumeTarget& target) override {
        Bus bus;
        if (!bus.bus) return STATUS_UNSUCCESSFUL;
        Error error;
        char* drive = nullptr;
        const int r = sd_bus_get_property_string(bus.bus, kService, BlockPath(target.drive).c_str(),
                                                 "org.freedesktop.UDisks2.Block", "Drive", &error.error, &drive);
        if (r < 0) return StatusFromBusError(error.error, r);
        const std::string path = drive;
        std::free(drive);
        if (path == "/") return STATUS_INVALID_DEVICE_REQUEST;  // no drive behind the block device
        const char* interface = "org.freedesktop.UDisks2.Drive";
        if (BoolProperty(bus.bus, path, interface, "Ejectable")) return CallWithOptions(path, interface, "Eject");
        if (BoolProperty(bus.bus, path, interface, "CanPowerOff")) return CallWithOptions(path, interface, "PowerOff");
        return STATUS_INVALID_DEVICE_REQUEST;
    }
};

}  // namespace

std::shared_ptr<VolumeActions> MakeUdisksActions() {
    Bus bus;
    if (!bus.bus) return nullptr;
    // Ping starts the service when the bus can activate it.
    Error error;
    Message reply;
    if (sd_bus_call_method(bus.bus, kService, "/org/freedesktop/UDisks2", "org.freedesktop.DBus.Peer", "Ping",
                           &error.error, &reply.m, "") < 0)
        return nullptr;
    return std::make_shared<UdisksActions>();
}

}  // namespace kern::real
