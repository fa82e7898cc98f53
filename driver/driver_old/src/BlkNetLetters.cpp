// Network letter records. The redirector shows no volumes, so the driver
// learns its drive letters from the names of the files opened through it
// ("\;Z:...\server\share\file"): one record per letter, holding the name of
// a file opened on it and the letter's two counters. Slot 31 holds the
// catch-all record for names without a letter.
#include "BlkNameRules.h"
#include "BlkRoutines.h"

namespace blinkor {
namespace {

bool StartsWith(const UNICODE_STRING& name, const UNICODE_STRING& prefix) {
    return prefix.Length <= name.Length &&
           RtlCompareMemory(name.Buffer, prefix.Buffer, prefix.Length) == prefix.Length;
}

}  // namespace

PFILE_OBJECT OutermostFile(PFILE_OBJECT file) {
    while (file->RelatedFileObject) file = file->RelatedFileObject;
    return file;
}

LetterRecord* NewLetterRecord(WCHAR letter, const UNICODE_STRING& name) {
    const SIZE_T size = kLetterRecordHeader + name.Length + 4;
    auto* record = static_cast<LetterRecord*>(ExAllocatePoolWithTag(NonPagedPool, size, kPoolTagRecord));
    if (!record) return nullptr;
    RtlZeroMemory(record, size);
    record->Letter = letter;
    record->Name.Buffer = record->NameBuffer;
    record->Name.Length = name.Length;
    record->Name.MaximumLength = static_cast<USHORT>(name.Length + sizeof(WCHAR));
    if (name.Length) RtlCopyMemory(record->NameBuffer, name.Buffer, name.Length);
    return record;
}

void FreeLetterRecords(FsFilterExtension& filter) {
    for (LetterRecord*& record : filter.Letters) {
        if (record) ExFreePool(record);
        record = nullptr;
    }
}

// Keeps the record of the letter a create names: a record whose name is a
// prefix of the new name stays; any other is replaced by one with the new
// name, carrying the counters over. When the new record cannot be
// allocated the old one stays as it was.
void RecordNetworkCreate(PDEVICE_OBJECT fs_filter, PIRP irp) {
    PFILE_OBJECT file = IoGetCurrentIrpStackLocation(irp)->FileObject;
    if (!file) return;
    if (file->RelatedFileObject) file = file->RelatedFileObject;
    const UNICODE_STRING& name = file->FileName;
    if (!name.Buffer) return;
    const auto slot = NetworkLetterSlot({name.Buffer, name.Length / sizeof(WCHAR)}, g_blk.OsClass);
    if (!slot) return;

    auto* fs = Ext<FsFilterExtension>(fs_filter);
    SpinLockGuard lock(fs->LetterLock);
    LetterRecord* old = fs->Letters[*slot];
    if (old && StartsWith(name, old->Name)) return;
    LetterRecord* record = NewLetterRecord(static_cast<WCHAR>(u'A' + *slot), name);
    if (!record) return;
    if (old) {
        record->Reads = old->Reads;
        record->Writes = old->Writes;
        ExFreePool(old);
    }
    fs->Letters[*slot] = record;
    SignalChange();  // control spin lock inside the letter spin lock
}

}  // namespace blinkor
