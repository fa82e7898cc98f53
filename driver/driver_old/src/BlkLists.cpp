// The driver's two kinds of device list: the file-system filters (head and
// count in the control extension) and, per file-system filter, its volume
// filters. Both are doubly linked through the extensions' previous and next
// fields, newest first. Every routine here runs with the list lock held.
#include "BlkRoutines.h"

namespace blinkor {
namespace {

// One list: where its head and count live, and how to reach a member's links.
template <typename Member>
struct DeviceList {
    PDEVICE_OBJECT& head;
    LONG& count;

    static Member* Links(PDEVICE_OBJECT d) { return Ext<Member>(d); }

    void Insert(PDEVICE_OBJECT device) {
        Member* m = Links(device);
        m->Previous = nullptr;
        m->Next = head;
        if (head) Links(head)->Previous = device;
        head = device;
        ++count;
    }

    void Unlink(PDEVICE_OBJECT device) {
        Member* m = Links(device);
        if (m->Previous) {
            Links(m->Previous)->Next = m->Next;
        } else if (head == device) {
            head = m->Next;
        } else {
            return;  // not in this list
        }
        if (m->Next) Links(m->Next)->Previous = m->Previous;
        m->Previous = m->Next = nullptr;
        --count;
    }
};

DeviceList<FsFilterExtension> FsList() {
    auto* control = ControlExt();
    return {control->FsHead, control->FsCount};
}

DeviceList<VolumeExtension> VolumeList(PDEVICE_OBJECT owner) {
    auto* fs = Ext<FsFilterExtension>(owner);
    return {fs->VolumeHead, fs->VolumeCount};
}

}  // namespace

void InsertFsFilter(PDEVICE_OBJECT filter) { FsList().Insert(filter); }
void UnlinkFsFilter(PDEVICE_OBJECT filter) { FsList().Unlink(filter); }

void InsertVolume(PDEVICE_OBJECT owner, PDEVICE_OBJECT volume) {
    Ext<VolumeExtension>(volume)->Owner = owner;
    VolumeList(owner).Insert(volume);
}

void UnlinkVolume(PDEVICE_OBJECT volume) {
    auto* ext = Ext<VolumeExtension>(volume);
    if (ext->Owner) VolumeList(ext->Owner).Unlink(volume);
}

}  // namespace blinkor
