// The fast I/O table. Every pass-through entry is one instance of a single
// template: on the control device it declines (FALSE, or
// STATUS_NOT_SUPPORTED for the entries that return a status); on a filter it
// calls the same entry of the lower device's driver, with the lower device
// in place of its own, when that driver's table declares and sets the entry.
// Counted entries wrap the lower call in begin and end of their class.
#include <tuple>
#include <type_traits>

#include "BlkRoutines.h"

namespace blinkor {
namespace {

enum class Counting { None, Read, Write };

template <typename R>
R Declined() {
    if constexpr (std::is_same_v<R, NTSTATUS>) {
        return STATUS_NOT_SUPPORTED;
    } else {
        return FALSE;
    }
}

// Byte offset of an entry in the table, for the declared-size check.
template <auto Entry>
std::size_t EntryOffset() {
    static const FAST_IO_DISPATCH probe{};
    return static_cast<std::size_t>(reinterpret_cast<const char*>(&(probe.*Entry)) -
                                    reinterpret_cast<const char*>(&probe));
}

template <auto Entry>
auto LowerEntry(PDEVICE_OBJECT lower) -> std::remove_cvref_t<decltype(FAST_IO_DISPATCH{}.*Entry)> {
    const PFAST_IO_DISPATCH table = lower->DriverObject ? lower->DriverObject->FastIoDispatch : nullptr;
    if (!table || table->SizeOfFastIoDispatch < EntryOffset<Entry>() + sizeof(table->*Entry)) return nullptr;
    return table->*Entry;
}

// The file object a counted entry counts on, and what the lower call needs
// around it: FastIoQueryOpen passes a create request whose current stack
// location must name the lower device while the lower driver looks at it.
PFILE_OBJECT FileOf(PFILE_OBJECT file) { return file; }
PFILE_OBJECT FileOf(PIRP irp) { return IoGetCurrentIrpStackLocation(irp)->FileObject; }

struct NoRedirect {
    NoRedirect(PFILE_OBJECT, PDEVICE_OBJECT) {}
};
class StackDeviceRedirect {
public:
    StackDeviceRedirect(PIRP irp, PDEVICE_OBJECT lower)
        : m_stack(IoGetCurrentIrpStackLocation(irp)), m_saved(m_stack->DeviceObject) {
        m_stack->DeviceObject = lower;
    }
    ~StackDeviceRedirect() { m_stack->DeviceObject = m_saved; }

private:
    PIO_STACK_LOCATION m_stack;
    PDEVICE_OBJECT m_saved;
};
template <typename First>
using RedirectFor = std::conditional_t<std::is_same_v<First, PIRP>, StackDeviceRedirect, NoRedirect>;

template <auto Entry, Counting C, typename Fn>
struct Thunk;

template <auto Entry, Counting C, typename R, typename First, typename... Rest>
struct Thunk<Entry, C, R (*)(First, Rest...)> {
    static R Call(First first, Rest... rest) {
        auto args = std::tuple<First, Rest...>(first, rest...);
        PDEVICE_OBJECT& device = std::get<sizeof...(Rest)>(args);
        if (KindOf(device) == kKindControl) return Declined<R>();
        PDEVICE_OBJECT lower = LowerOf(device);
        const auto lower_entry = lower ? LowerEntry<Entry>(lower) : nullptr;
        if (!lower_entry) return Declined<R>();
        PDEVICE_OBJECT own = device;
        device = lower;
        if constexpr (C == Counting::None) {
            RedirectFor<First> redirect(first, lower);
            return std::apply(lower_entry, args);
        } else {
            const IoClass io_class = C == Counting::Read ? IoClass::Read : IoClass::Write;
            PFILE_OBJECT file = FileOf(first);
            BeginIo(own, file, io_class);
            R result;
            {
                RedirectFor<First> redirect(first, lower);
                result = std::apply(lower_entry, args);
            }
            EndIo(own, file, io_class);
            return result;
        }
    }
};

template <auto Entry, Counting C = Counting::None>
constexpr auto Route() {
    return &Thunk<Entry, C, std::remove_cvref_t<decltype(FAST_IO_DISPATCH{}.*Entry)>>::Call;
}

BOOLEAN FastIoDeviceControl(PFILE_OBJECT file, BOOLEAN wait, PVOID input, ULONG input_length, PVOID output,
                            ULONG output_length, ULONG code, PIO_STATUS_BLOCK status, PDEVICE_OBJECT device) {
    if (KindOf(device) != kKindControl) {
        return Route<&FAST_IO_DISPATCH::FastIoDeviceControl>()(file, wait, input, input_length, output,
                                                               output_length, code, status, device);
    }
    // FALSE makes the I/O manager send the request again as a packet.
    const ControlArgs args{input, input_length, output, output_length, code, status, nullptr};
    return ControlRequest(args) != STATUS_NOT_SUPPORTED;
}

}  // namespace

void FillFastIoTable(FAST_IO_DISPATCH& t) {
    using D = FAST_IO_DISPATCH;
    t.SizeOfFastIoDispatch = sizeof(FAST_IO_DISPATCH);
    t.FastIoCheckIfPossible = Route<&D::FastIoCheckIfPossible>();
    t.FastIoLock = Route<&D::FastIoLock>();
    t.FastIoUnlockSingle = Route<&D::FastIoUnlockSingle>();
    t.FastIoUnlockAll = Route<&D::FastIoUnlockAll>();
    t.FastIoUnlockAllByKey = Route<&D::FastIoUnlockAllByKey>();
    t.MdlReadComplete = Route<&D::MdlReadComplete>();
    t.PrepareMdlWrite = Route<&D::PrepareMdlWrite>();
    t.MdlWriteComplete = Route<&D::MdlWriteComplete>();
    t.MdlReadCompleteCompressed = Route<&D::MdlReadCompleteCompressed>();
    t.MdlWriteCompleteCompressed = Route<&D::MdlWriteCompleteCompressed>();
    t.AcquireForModWrite = Route<&D::AcquireForModWrite>();
    t.ReleaseForModWrite = Route<&D::ReleaseForModWrite>();
    t.AcquireForCcFlush = Route<&D::AcquireForCcFlush>();
    t.ReleaseForCcFlush = Route<&D::ReleaseForCcFlush>();

    t.FastIoRead = Route<&D::FastIoRead, Counting::Read>();
    t.FastIoQueryBasicInfo = Route<&D::FastIoQueryBasicInfo, Counting::Read>();
    t.FastIoQueryStandardInfo = Route<&D::FastIoQueryStandardInfo, Counting::Read>();
    t.FastIoQueryNetworkOpenInfo = Route<&D::FastIoQueryNetworkOpenInfo, Counting::Read>();
    t.MdlRead = Route<&D::MdlRead, Counting::Read>();
    t.FastIoReadCompressed = Route<&D::FastIoReadCompressed, Counting::Read>();
    t.FastIoQueryOpen = Route<&D::FastIoQueryOpen, Counting::Read>();
    t.FastIoWrite = Route<&D::FastIoWrite, Counting::Write>();
    t.FastIoWriteCompressed = Route<&D::FastIoWriteCompressed, Counting::Write>();

    t.FastIoDeviceControl = FastIoDeviceControl;
    t.FastIoDetachDevice = FastIoDetachDevice;
    // AcquireFileForNtCreateSection and ReleaseFileForNtCreateSection stay
    // empty: the I/O manager then takes the file's locks itself.
}

}  // namespace blinkor
