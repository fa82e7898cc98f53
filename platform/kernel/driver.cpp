// Driver objects and driver modules. A module is a shared object whose
// DriverEntry the kernel calls on a fresh driver object; its kernel imports
// resolve against the hosting process (see exports.cpp).
#include <dlfcn.h>

#include "base/text.h"
#include "kernel/internal/device.h"
#include "kernel/internal/object.h"

namespace kern {

std::size_t ExportedRoutineCount();

NTSTATUS CreateDriver(const std::u16string& name, PDRIVER_INITIALIZE entry, PDRIVER_OBJECT* out,
                      const std::u16string& registry_path) {
    using namespace detail;
    *out = nullptr;
    auto* driver = static_cast<PDRIVER_OBJECT>(CreateObject(ObjectKind::Driver, sizeof(DRIVER_OBJECT)));
    driver->Type = IO_TYPE_DRIVER;
    driver->Size = sizeof(DRIVER_OBJECT);
    driver->DriverInit = entry;
    for (auto& dispatch : driver->MajorFunction) dispatch = InvalidDeviceRequest;
    NTSTATUS status = InsertName(driver, name);
    if (!NT_SUCCESS(status)) {
        ObfDereferenceObject(driver);
        return status;
    }
    // The name's buffer lives in the object header, which lasts as long as the driver.
    const std::u16string& stored = HeaderOf(driver)->name;
    driver->DriverName = {USHORT(stored.size() * 2), USHORT(stored.size() * 2), const_cast<WCHAR*>(stored.data())};
    std::u16string path = registry_path;
    UNICODE_STRING registry{USHORT(path.size() * 2), USHORT(path.size() * 2), path.data()};
    const KIRQL irql = KeGetCurrentIrql();
    status = entry(driver, &registry);
    if (KeGetCurrentIrql() != irql)
        BugCheck(IRQL_UNEXPECTED_VALUE, "IRQL_UNEXPECTED_VALUE: DriverEntry returned at another IRQL");
    if (!NT_SUCCESS(status)) {
        RemoveName(driver);
        ObfDereferenceObject(driver);
        return status;
    }
    *out = driver;
    return STATUS_SUCCESS;
}

NTSTATUS LoadDriverModule(const std::string& path, const std::u16string& name, PDRIVER_OBJECT* driver,
                          std::string* error) {
    if (ExportedRoutineCount() == 0) return STATUS_INTERNAL_ERROR;  // links the export table into the host
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        if (error) *error = dlerror();
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    auto entry = reinterpret_cast<PDRIVER_INITIALIZE>(dlsym(module, "DriverEntry"));
    if (!entry) {
        if (error) *error = path + ": no DriverEntry";
        dlclose(module);
        return STATUS_INVALID_PARAMETER;
    }
    const std::u16string leaf = name.substr(name.rfind(u'\\') + 1);
    const NTSTATUS status =
        CreateDriver(name, entry, driver, u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\" + leaf);
    if (!NT_SUCCESS(status)) {
        if (error) *error = "DriverEntry failed";
        dlclose(module);  // nothing of the module is referenced once its driver object is gone
    }
    return status;  // a started module stays loaded for the life of the process
}

}  // namespace kern
