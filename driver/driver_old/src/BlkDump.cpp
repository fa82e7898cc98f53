// IOCTL_LED_DUMP_STATE: the device tree serialised piece by piece in the
// layout of BlkDumpLayout.h. Nothing in the system reads the dump; it is
// there for people looking at a running driver.
#include <algorithm>

#include "BlkDumpLayout.h"
#include "BlkOutput.h"
#include "BlkRoutines.h"

namespace blinkor {
namespace {

// One piece of the dump, built little-endian field by field.
class Piece {
public:
    explicit Piece(SIZE_T size) : m_size(size) { RtlZeroMemory(m_bytes, sizeof m_bytes); }

    template <typename T>
    void Put(SIZE_T offset, T value) {
        static_assert(std::is_integral_v<T>);
        for (SIZE_T i = 0; i < sizeof(T); ++i) m_bytes[offset + i] = static_cast<BYTE>(ULONGLONG(value) >> (8 * i));
    }
    void Pointer(SIZE_T offset, const void* p) { Put<ULONGLONG>(offset, reinterpret_cast<ULONG_PTR>(p)); }
    // Consecutive pointer fields from `offset` on.
    template <typename... P>
    void Pointers(SIZE_T offset, const P*... p) {
        (..., (Pointer(offset, p), offset += 8));
    }
    // The start every extension shares: its device at 0, its tag at 8.
    void Header(const void* self, ULONG kind) {
        Pointer(0, self);
        Put(8, kind);
    }
    // A counted string and, at `buffer_offset`, up to `capacity` bytes of its text.
    void String(SIZE_T offset, const UNICODE_STRING& s, SIZE_T buffer_offset, SIZE_T capacity) {
        Put(offset, s.Length);
        Put(offset + 2, s.MaximumLength);
        Pointer(offset + 8, s.Buffer);
        if (capacity && s.Buffer) RtlCopyMemory(m_bytes + buffer_offset, s.Buffer, std::min<SIZE_T>(capacity, s.MaximumLength));
    }
    bool WriteTo(OutputCursor& out) const { return out.Put(m_bytes, m_size); }
    const BYTE* Bytes() const { return m_bytes; }

private:
    BYTE m_bytes[dump::kFsFilterSize];
    SIZE_T m_size;
};

bool PutControl(OutputCursor& out, const ControlExtension& c) {
    using namespace dump::control;
    Piece p(dump::kControlSize);
    p.Header(c.Self, c.Kind);
    p.Pointers(kLower, c.Lower, c.Target, c.FsHead);
    p.Put(kFsCount, c.FsCount);
    p.Put<ULONGLONG>(kLock, c.ControlLock);
    p.Pointer(kChangeEvent, c.ChangeEvent);
    p.Pointer(kActivityEvent, c.ActivityEvent);
    p.Pointer(kFirstOpen, c.FirstOpen);
    p.Put(kRedirector, c.RedirectorAttached);
    p.Put<LONG>(kOpenCount, c.OpenCount);
    return p.WriteTo(out);
}

bool PutFsFilter(OutputCursor& out, const FsFilterExtension& f) {
    using namespace dump::fs;
    Piece p(dump::kFsFilterSize);
    p.Header(f.Self, f.Kind);
    p.Pointers(kLower, f.Lower, f.Target, f.Previous, f.Next, f.VolumeHead);
    p.Put(kVolumeCount, f.VolumeCount);
    p.String(kName, f.Name, kNameBuffer, kFsNameBytes);
    p.Put(kNetwork, f.Network);
    p.Put<ULONGLONG>(kLetterLock, f.LetterLock);
    for (int slot = 0; slot < kSlotCount; ++slot) p.Pointer(kSlots + 8 * slot, f.Letters[slot]);
    return p.WriteTo(out);
}

bool PutLetterRecord(OutputCursor& out, const LetterRecord& r) {
    using namespace dump::letter;
    Piece p(dump::kLetterHeaderSize);
    p.Put<LONG>(kReads, ReadNoFence(&r.Reads));
    p.Put<LONG>(kWrites, ReadNoFence(&r.Writes));
    p.Put(kLetter, r.Letter);
    p.String(kName, r.Name, 0, 0);
    return out.Put(p.Bytes(), dump::kLetterHeaderSize, r.Name.Buffer, r.Name.Length, dump::kLetterSpare);
}

bool PutVolume(OutputCursor& out, const VolumeExtension& v) {
    using namespace dump::volume;
    Piece p(dump::kVolumeSize);
    p.Header(v.Self, v.Kind);
    p.Pointers(kLower, v.Lower, v.VolumeDevice, v.Owner, v.Previous, v.Next, v.Storage);
    p.Put<LONG>(kReads, ReadNoFence(&v.Reads));
    p.Put<LONG>(kWrites, ReadNoFence(&v.Writes));
    p.Put(kDismounted, v.Dismounted);
    p.Put(kRemovable, v.Removable);
    p.Put(kLetter, v.Letter);
    p.Put(kDeviceType, v.Numbers.DeviceType);
    p.Put(kDeviceNumber, v.Numbers.DeviceNumber);
    p.Put(kPartition, v.Numbers.PartitionNumber);
    p.Put(kSerial, v.SerialNumber);
    p.String(kStorageName, v.StorageName, kStorageNameBuffer, kStorageNameBytes);
    p.String(kLabel, v.Label, kLabelBuffer, kLabelBytes);
    return p.WriteTo(out);
}

}  // namespace

NTSTATUS DumpState(PVOID output, ULONG length, PIO_STATUS_BLOCK status) {
    OutputCursor out(output, length);
    ListLockGuard list;
    if (!PutControl(out, *ControlExt())) return out.Finish(false, status);
    const bool complete = ForEachFsFilter([&](PDEVICE_OBJECT fs_device) {
        auto* fs = Ext<FsFilterExtension>(fs_device);
        if (!PutFsFilter(out, *fs)) return false;
        if (fs->Network && !ForEachLetterRecord(*fs, [&](LetterRecord& r) { return PutLetterRecord(out, r); })) {
            return false;
        }
        return ForEachVolume(fs_device, [&](PDEVICE_OBJECT v) { return PutVolume(out, *Ext<VolumeExtension>(v)); });
    });
    return out.Finish(complete, status);
}

}  // namespace blinkor
