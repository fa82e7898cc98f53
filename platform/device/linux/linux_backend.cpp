#include "device/linux_backend.h"

namespace plat::device {
namespace {

// Placeholder until the SG_IO translation lands: no device exists.
class LinuxBackend final : public Backend {
public:
    std::optional<std::u16string> LinkTarget(std::u16string_view) override { return std::nullopt; }
    bool DeviceExists(std::u16string_view) override { return false; }
    NTSTATUS Open(std::u16string_view, std::shared_ptr<DeviceFile>*) override { return STATUS_OBJECT_NAME_NOT_FOUND; }
};

}  // namespace

std::shared_ptr<LinuxSystem> RealLinuxSystem() { return nullptr; }

std::shared_ptr<Backend> MakeLinuxBackend(std::shared_ptr<LinuxSystem>) { return std::make_shared<LinuxBackend>(); }

}  // namespace plat::device
