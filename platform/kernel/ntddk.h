// The NT kernel interface that a legacy file-system filter driver is written
// against: the object records (driver, device, file, volume parameter block,
// request packet and its stack locations, fast I/O table, dispatcher objects)
// and the Io/Ob/Ex/Ke/Ps/Rtl/Zw routines, with NT's names, constants and
// NTSTATUS results.
//
// A driver module is a shared object compiled against this header. It links
// nothing: the host process that loads it (lumetra-kernel, or a test) carries
// the implementation and exports these routines, as the NT kernel exports them
// to its drivers. The module exports `DriverEntry`, declared below with C
// linkage and default visibility, which the host calls once after loading.
//
// Records keep NT's field names and order but use native pointer widths, so a
// 64-bit build has 64-bit pointers in them; fixed 32-bit byte layouts are a
// driver's own business.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/ntstatus.h"
#include "base/wintypes.h"
#include "base/nt_types.h"

#define VOID void
#define NTAPI
#define IN
#define OUT
#define OPTIONAL

using CCHAR = char;
using CSHORT = std::int16_t;
using PCHAR = char*;
using PUCHAR = UCHAR*;
using PUSHORT = USHORT*;
using PULONG = ULONG*;
using PLONG = LONG*;
using PBOOLEAN = BOOLEAN*;
using PHANDLE = HANDLE*;
using PSIZE_T = SIZE_T*;
using PWSTR = WCHAR*;
using PCWSTR = const WCHAR*;
using KIRQL = UCHAR;
using PKIRQL = KIRQL*;
using KPRIORITY = LONG;
using KSPIN_LOCK = ULONG_PTR;
using PKSPIN_LOCK = KSPIN_LOCK*;
using ACCESS_MASK = ULONG;
using DEVICE_TYPE = ULONG;
using PLARGE_INTEGER = LARGE_INTEGER*;

// ---------------------------------------------------------------------------
// Interrupt request levels and processor modes

constexpr KIRQL PASSIVE_LEVEL = 0;
constexpr KIRQL LOW_LEVEL = 0;
constexpr KIRQL APC_LEVEL = 1;
constexpr KIRQL DISPATCH_LEVEL = 2;
constexpr KIRQL HIGH_LEVEL = 31;

enum MODE : CCHAR { KernelMode = 0, UserMode = 1, MaximumMode };
using KPROCESSOR_MODE = CCHAR;

enum EVENT_TYPE { NotificationEvent = 0, SynchronizationEvent = 1 };
enum KWAIT_REASON { Executive = 0, FreePage, PageIn, PoolAllocation, DelayExecution, Suspended, UserRequest };
enum POOL_TYPE { NonPagedPool = 0, PagedPool = 1, NonPagedPoolMustSucceed = 2, NonPagedPoolCacheAligned = 4,
                 PagedPoolCacheAligned = 5 };
enum WORK_QUEUE_TYPE { CriticalWorkQueue = 0, DelayedWorkQueue = 1, HyperCriticalWorkQueue = 2 };

constexpr KPRIORITY IO_NO_INCREMENT = 0;
constexpr KPRIORITY IO_DISK_INCREMENT = 1;
constexpr KPRIORITY EVENT_INCREMENT = 1;

// ---------------------------------------------------------------------------
// Access rights, object attributes

#define FILE_READ_DATA 0x0001
#define FILE_WRITE_DATA 0x0002
#define FILE_APPEND_DATA 0x0004
#define FILE_READ_EA 0x0008
#define FILE_WRITE_EA 0x0010
#define FILE_READ_ATTRIBUTES 0x0080
#define FILE_WRITE_ATTRIBUTES 0x0100
#define FILE_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0x1FF)

constexpr ACCESS_MASK EVENT_QUERY_STATE = 0x0001;
constexpr ACCESS_MASK EVENT_MODIFY_STATE = 0x0002;
constexpr ACCESS_MASK EVENT_ALL_ACCESS = STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0x3;
constexpr ACCESS_MASK SYMBOLIC_LINK_QUERY = 0x0001;
constexpr ACCESS_MASK SYMBOLIC_LINK_ALL_ACCESS = STANDARD_RIGHTS_REQUIRED | 0x1;


// IO_STATUS_BLOCK.Information after a create.
constexpr ULONG_PTR FILE_SUPERSEDED = 0;
constexpr ULONG_PTR FILE_OPENED = 1;
constexpr ULONG_PTR FILE_CREATED = 2;
constexpr ULONG_PTR FILE_OVERWRITTEN = 3;
constexpr ULONG_PTR FILE_EXISTS = 4;
constexpr ULONG_PTR FILE_DOES_NOT_EXIST = 5;

struct LIST_ENTRY {
    LIST_ENTRY* Flink;
    LIST_ENTRY* Blink;
};
using PLIST_ENTRY = LIST_ENTRY*;

// ---------------------------------------------------------------------------
// Device types, characteristics, control codes

#define FILE_DEVICE_BEEP 0x00000001
#define FILE_DEVICE_CD_ROM 0x00000002
#define FILE_DEVICE_CD_ROM_FILE_SYSTEM 0x00000003
#define FILE_DEVICE_CONTROLLER 0x00000004
#define FILE_DEVICE_DATALINK 0x00000005
#define FILE_DEVICE_DFS 0x00000006
#define FILE_DEVICE_DISK 0x00000007
#define FILE_DEVICE_DISK_FILE_SYSTEM 0x00000008
#define FILE_DEVICE_FILE_SYSTEM 0x00000009
#define FILE_DEVICE_MULTI_UNC_PROVIDER 0x00000010
#define FILE_DEVICE_NAMED_PIPE 0x00000011
#define FILE_DEVICE_NETWORK 0x00000012
#define FILE_DEVICE_NETWORK_BROWSER 0x00000013
#define FILE_DEVICE_NETWORK_FILE_SYSTEM 0x00000014
#define FILE_DEVICE_NULL 0x00000015
#define FILE_DEVICE_TAPE 0x0000001f
#define FILE_DEVICE_TAPE_FILE_SYSTEM 0x00000020
#define FILE_DEVICE_UNKNOWN 0x00000022
#define FILE_DEVICE_VIRTUAL_DISK 0x00000024
#define FILE_DEVICE_NETWORK_REDIRECTOR 0x00000028
#define FILE_DEVICE_MASS_STORAGE 0x0000002d
#define FILE_DEVICE_CHANGER 0x00000030
#define FILE_DEVICE_DVD 0x00000033
#define FILE_DEVICE_DFS_FILE_SYSTEM 0x00000035
#define FILE_DEVICE_DFS_VOLUME 0x00000036

#define FILE_REMOVABLE_MEDIA 0x00000001
#define FILE_READ_ONLY_DEVICE 0x00000002
#define FILE_FLOPPY_DISKETTE 0x00000004
#define FILE_WRITE_ONCE_MEDIA 0x00000008
#define FILE_REMOTE_DEVICE 0x00000010
#define FILE_DEVICE_IS_MOUNTED 0x00000020
#define FILE_VIRTUAL_VOLUME 0x00000040
#define FILE_AUTOGENERATED_DEVICE_NAME 0x00000080
#define FILE_DEVICE_SECURE_OPEN 0x00000100

#define METHOD_BUFFERED 0
#define METHOD_IN_DIRECT 1
#define METHOD_OUT_DIRECT 2
#define METHOD_NEITHER 3
#define FILE_ANY_ACCESS 0
#define FILE_SPECIAL_ACCESS (FILE_ANY_ACCESS)
#define FILE_READ_ACCESS 0x0001
#define FILE_WRITE_ACCESS 0x0002
#define CTL_CODE(DeviceType, Function, Method, Access) \
    (((DeviceType) << 16) | ((Access) << 14) | ((Function) << 2) | (Method))
#define DEVICE_TYPE_FROM_CTL_CODE(ctrlCode) (((ULONG)(ctrlCode & 0xffff0000)) >> 16)
#define METHOD_FROM_CTL_CODE(ctrlCode) ((ULONG)(ctrlCode & 3))

#define FSCTL_LOCK_VOLUME CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 6, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define FSCTL_UNLOCK_VOLUME CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 7, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define FSCTL_DISMOUNT_VOLUME CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 8, METHOD_BUFFERED, FILE_ANY_ACCESS)
#define FSCTL_IS_VOLUME_MOUNTED CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 10, METHOD_BUFFERED, FILE_ANY_ACCESS)

#define IOCTL_STORAGE_BASE FILE_DEVICE_MASS_STORAGE
#define IOCTL_STORAGE_MEDIA_REMOVAL CTL_CODE(IOCTL_STORAGE_BASE, 0x0201, METHOD_BUFFERED, FILE_READ_ACCESS)
#define IOCTL_STORAGE_EJECT_MEDIA CTL_CODE(IOCTL_STORAGE_BASE, 0x0202, METHOD_BUFFERED, FILE_READ_ACCESS)
#define IOCTL_STORAGE_LOAD_MEDIA CTL_CODE(IOCTL_STORAGE_BASE, 0x0203, METHOD_BUFFERED, FILE_READ_ACCESS)
#define IOCTL_STORAGE_GET_DEVICE_NUMBER CTL_CODE(IOCTL_STORAGE_BASE, 0x0420, METHOD_BUFFERED, FILE_ANY_ACCESS)

struct STORAGE_DEVICE_NUMBER {
    DEVICE_TYPE DeviceType;
    ULONG DeviceNumber;
    ULONG PartitionNumber;
};
static_assert(sizeof(STORAGE_DEVICE_NUMBER) == 12);

struct PREVENT_MEDIA_REMOVAL {
    BOOLEAN PreventMediaRemoval;
};

// ---------------------------------------------------------------------------
// Request packet codes

constexpr UCHAR IRP_MJ_CREATE = 0x00;
constexpr UCHAR IRP_MJ_CREATE_NAMED_PIPE = 0x01;
constexpr UCHAR IRP_MJ_CLOSE = 0x02;
constexpr UCHAR IRP_MJ_READ = 0x03;
constexpr UCHAR IRP_MJ_WRITE = 0x04;
constexpr UCHAR IRP_MJ_QUERY_INFORMATION = 0x05;
constexpr UCHAR IRP_MJ_SET_INFORMATION = 0x06;
constexpr UCHAR IRP_MJ_QUERY_EA = 0x07;
constexpr UCHAR IRP_MJ_SET_EA = 0x08;
constexpr UCHAR IRP_MJ_FLUSH_BUFFERS = 0x09;
constexpr UCHAR IRP_MJ_QUERY_VOLUME_INFORMATION = 0x0a;
constexpr UCHAR IRP_MJ_SET_VOLUME_INFORMATION = 0x0b;
constexpr UCHAR IRP_MJ_DIRECTORY_CONTROL = 0x0c;
constexpr UCHAR IRP_MJ_FILE_SYSTEM_CONTROL = 0x0d;
constexpr UCHAR IRP_MJ_DEVICE_CONTROL = 0x0e;
constexpr UCHAR IRP_MJ_INTERNAL_DEVICE_CONTROL = 0x0f;
constexpr UCHAR IRP_MJ_SHUTDOWN = 0x10;
constexpr UCHAR IRP_MJ_LOCK_CONTROL = 0x11;
constexpr UCHAR IRP_MJ_CLEANUP = 0x12;
constexpr UCHAR IRP_MJ_CREATE_MAILSLOT = 0x13;
constexpr UCHAR IRP_MJ_QUERY_SECURITY = 0x14;
constexpr UCHAR IRP_MJ_SET_SECURITY = 0x15;
constexpr UCHAR IRP_MJ_POWER = 0x16;
constexpr UCHAR IRP_MJ_SYSTEM_CONTROL = 0x17;
constexpr UCHAR IRP_MJ_DEVICE_CHANGE = 0x18;
constexpr UCHAR IRP_MJ_QUERY_QUOTA = 0x19;
constexpr UCHAR IRP_MJ_SET_QUOTA = 0x1a;
constexpr UCHAR IRP_MJ_PNP = 0x1b;
constexpr UCHAR IRP_MJ_MAXIMUM_FUNCTION = 0x1b;

// Minor functions of IRP_MJ_FILE_SYSTEM_CONTROL.
constexpr UCHAR IRP_MN_USER_FS_REQUEST = 0x00;
constexpr UCHAR IRP_MN_MOUNT_VOLUME = 0x01;
constexpr UCHAR IRP_MN_VERIFY_VOLUME = 0x02;
constexpr UCHAR IRP_MN_LOAD_FILE_SYSTEM = 0x03;
// Minor functions of IRP_MJ_PNP.
constexpr UCHAR IRP_MN_START_DEVICE = 0x00;
constexpr UCHAR IRP_MN_QUERY_REMOVE_DEVICE = 0x01;
constexpr UCHAR IRP_MN_REMOVE_DEVICE = 0x02;
constexpr UCHAR IRP_MN_CANCEL_REMOVE_DEVICE = 0x03;
constexpr UCHAR IRP_MN_SURPRISE_REMOVAL = 0x17;

// IO_STACK_LOCATION.Control
constexpr UCHAR SL_PENDING_RETURNED = 0x01;
constexpr UCHAR SL_INVOKE_ON_CANCEL = 0x20;
constexpr UCHAR SL_INVOKE_ON_SUCCESS = 0x40;
constexpr UCHAR SL_INVOKE_ON_ERROR = 0x80;

// IRP.Flags
constexpr ULONG IRP_NOCACHE = 0x00000001;
constexpr ULONG IRP_PAGING_IO = 0x00000002;
constexpr ULONG IRP_SYNCHRONOUS_API = 0x00000004;
constexpr ULONG IRP_BUFFERED_IO = 0x00000010;
constexpr ULONG IRP_DEALLOCATE_BUFFER = 0x00000020;
constexpr ULONG IRP_INPUT_OPERATION = 0x00000040;
constexpr ULONG IRP_CREATE_OPERATION = 0x00000080;
constexpr ULONG IRP_READ_OPERATION = 0x00000100;
constexpr ULONG IRP_WRITE_OPERATION = 0x00000200;
constexpr ULONG IRP_CLOSE_OPERATION = 0x00000400;

// DEVICE_OBJECT.Flags
constexpr ULONG DO_VERIFY_VOLUME = 0x00000002;
constexpr ULONG DO_BUFFERED_IO = 0x00000004;
constexpr ULONG DO_EXCLUSIVE = 0x00000008;
constexpr ULONG DO_DIRECT_IO = 0x00000010;
constexpr ULONG DO_MAP_IO_BUFFER = 0x00000020;
constexpr ULONG DO_DEVICE_HAS_NAME = 0x00000040;
constexpr ULONG DO_DEVICE_INITIALIZING = 0x00000080;
constexpr ULONG DO_SYSTEM_BOOT_PARTITION = 0x00000100;
constexpr ULONG DO_LONG_TERM_REQUESTS = 0x00000200;
constexpr ULONG DO_NEVER_LAST_DEVICE = 0x00000400;
constexpr ULONG DO_POWER_PAGABLE = 0x00002000;

// VPB.Flags
constexpr USHORT VPB_MOUNTED = 0x0001;
constexpr USHORT VPB_LOCKED = 0x0002;
constexpr USHORT VPB_PERSISTENT = 0x0004;
constexpr USHORT VPB_REMOVE_PENDING = 0x0008;
constexpr ULONG MAXIMUM_VOLUME_LABEL_LENGTH = 32 * sizeof(WCHAR);

// Object record types (the Type field of each record).
constexpr CSHORT IO_TYPE_ADAPTER = 1;
constexpr CSHORT IO_TYPE_DEVICE = 3;
constexpr CSHORT IO_TYPE_DRIVER = 4;
constexpr CSHORT IO_TYPE_FILE = 5;
constexpr CSHORT IO_TYPE_IRP = 6;
constexpr CSHORT IO_TYPE_VPB = 10;

// ---------------------------------------------------------------------------
// Information classes and their records

enum FILE_INFORMATION_CLASS {
    FileDirectoryInformation = 1,
    FileBasicInformation = 4,
    FileStandardInformation = 5,
    FileNameInformation = 9,
    FilePositionInformation = 14,
    FileEndOfFileInformation = 20,
    FileNetworkOpenInformation = 34,
};

enum FS_INFORMATION_CLASS {
    FileFsVolumeInformation = 1,
    FileFsLabelInformation = 2,
    FileFsSizeInformation = 3,
    FileFsDeviceInformation = 4,
    FileFsAttributeInformation = 5,
    FileFsControlInformation = 6,
    FileFsFullSizeInformation = 7,
};

struct FILE_FS_LABEL_INFORMATION {
    ULONG VolumeLabelLength;  // bytes
    WCHAR VolumeLabel[1];
};
using PFILE_FS_LABEL_INFORMATION = FILE_FS_LABEL_INFORMATION*;

struct FILE_FS_VOLUME_INFORMATION {
    LARGE_INTEGER VolumeCreationTime;
    ULONG VolumeSerialNumber;
    ULONG VolumeLabelLength;
    BOOLEAN SupportsObjects;
    WCHAR VolumeLabel[1];
};

struct FILE_FS_SIZE_INFORMATION {
    LARGE_INTEGER TotalAllocationUnits;
    LARGE_INTEGER AvailableAllocationUnits;
    ULONG SectorsPerAllocationUnit;
    ULONG BytesPerSector;
};

struct FILE_FS_FULL_SIZE_INFORMATION {
    LARGE_INTEGER TotalAllocationUnits;
    LARGE_INTEGER CallerAvailableAllocationUnits;
    LARGE_INTEGER ActualAvailableAllocationUnits;
    ULONG SectorsPerAllocationUnit;
    ULONG BytesPerSector;
};

struct FILE_BASIC_INFORMATION {
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    ULONG FileAttributes;
};
using PFILE_BASIC_INFORMATION = FILE_BASIC_INFORMATION*;

struct FILE_STANDARD_INFORMATION {
    LARGE_INTEGER AllocationSize;
    LARGE_INTEGER EndOfFile;
    ULONG NumberOfLinks;
    BOOLEAN DeletePending;
    BOOLEAN Directory;
};
using PFILE_STANDARD_INFORMATION = FILE_STANDARD_INFORMATION*;

struct FILE_NETWORK_OPEN_INFORMATION {
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    LARGE_INTEGER AllocationSize;
    LARGE_INTEGER EndOfFile;
    ULONG FileAttributes;
};
using PFILE_NETWORK_OPEN_INFORMATION = FILE_NETWORK_OPEN_INFORMATION*;

// ---------------------------------------------------------------------------
// Dispatcher objects and locks

struct DISPATCHER_HEADER {
    UCHAR Type;  // 0 notification event, 1 synchronization event
    UCHAR Absolute;
    UCHAR Size;
    UCHAR Inserted;
    LONG SignalState;
    // Set by the kernel on an event that stands for a user-mode process's own
    // event: KeSetEvent on it is also delivered to that process. Null for an
    // event a driver initialises itself.
    PVOID RemoteSignal;
};

struct KEVENT {
    DISPATCHER_HEADER Header;
};
using PKEVENT = KEVENT*;
using PRKEVENT = KEVENT*;

// A fast mutex raises to APC_LEVEL while held and is not recursive.
struct FAST_MUTEX {
    LONG Count;  // 1 free, 0 held; waiters sleep on the address
    PVOID Owner;
    ULONG Contention;
    KEVENT Event;
    ULONG OldIrql;
};
using PFAST_MUTEX = FAST_MUTEX*;

struct KDPC;
struct MDL;
using PMDL = MDL*;
struct ERESOURCE;
using PERESOURCE = ERESOURCE*;
struct EPROCESS;
using PEPROCESS = EPROCESS*;
struct ETHREAD;
using PETHREAD = ETHREAD*;
struct COMPRESSED_DATA_INFO;
using PCOMPRESSED_DATA_INFO = COMPRESSED_DATA_INFO*;
struct OBJECT_TYPE;
using POBJECT_TYPE = OBJECT_TYPE*;
struct SECTION_OBJECT_POINTERS;
struct DEVOBJ_EXTENSION;
struct DRIVER_EXTENSION;

// ---------------------------------------------------------------------------
// Objects of the I/O manager

struct DEVICE_OBJECT;
struct DRIVER_OBJECT;
struct FILE_OBJECT;
struct IRP;
struct IO_STACK_LOCATION;
using PDEVICE_OBJECT = DEVICE_OBJECT*;
using PDRIVER_OBJECT = DRIVER_OBJECT*;
using PFILE_OBJECT = FILE_OBJECT*;
using PIRP = IRP*;
using PIO_STACK_LOCATION = IO_STACK_LOCATION*;

using PDRIVER_DISPATCH = NTSTATUS (*)(PDEVICE_OBJECT DeviceObject, PIRP Irp);
using PDRIVER_INITIALIZE = NTSTATUS (*)(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath);
using PDRIVER_UNLOAD = VOID (*)(PDRIVER_OBJECT DriverObject);
using PDRIVER_STARTIO = VOID (*)(PDEVICE_OBJECT DeviceObject, PIRP Irp);
using PIO_COMPLETION_ROUTINE = NTSTATUS (*)(PDEVICE_OBJECT DeviceObject, PIRP Irp, PVOID Context);
using PDRIVER_CANCEL = VOID (*)(PDEVICE_OBJECT DeviceObject, PIRP Irp);
using PDRIVER_FS_NOTIFICATION = VOID (*)(PDEVICE_OBJECT DeviceObject, BOOLEAN FsActive);
using PWORKER_THREAD_ROUTINE = VOID (*)(PVOID Parameter);

struct VPB {
    CSHORT Type;
    CSHORT Size;
    USHORT Flags;
    USHORT VolumeLabelLength;  // bytes
    PDEVICE_OBJECT DeviceObject;  // the mounted file system's volume device
    PDEVICE_OBJECT RealDevice;  // the storage device
    ULONG SerialNumber;
    ULONG ReferenceCount;
    WCHAR VolumeLabel[MAXIMUM_VOLUME_LABEL_LENGTH / sizeof(WCHAR)];
};
using PVPB = VPB*;

struct DEVICE_OBJECT {
    CSHORT Type;
    USHORT Size;
    LONG ReferenceCount;
    PDRIVER_OBJECT DriverObject;
    PDEVICE_OBJECT NextDevice;  // next device of the same driver
    PDEVICE_OBJECT AttachedDevice;  // the device attached directly above
    PIRP CurrentIrp;
    PVOID Timer;
    ULONG Flags;
    ULONG Characteristics;
    PVPB Vpb;
    PVOID DeviceExtension;
    DEVICE_TYPE DeviceType;
    CCHAR StackSize;
    ULONG AlignmentRequirement;
    ULONG ActiveThreadCount;
    PVOID SecurityDescriptor;
    USHORT SectorSize;
    DEVOBJ_EXTENSION* DeviceObjectExtension;  // kernel-private
    PVOID Reserved;
};

// Every entry of the fast I/O table, in NT's order.
using PFAST_IO_CHECK_IF_POSSIBLE = BOOLEAN (*)(PFILE_OBJECT FileObject, PLARGE_INTEGER FileOffset, ULONG Length,
                                               BOOLEAN Wait, ULONG LockKey, BOOLEAN CheckForReadOperation,
                                               PIO_STATUS_BLOCK IoStatus, PDEVICE_OBJECT DeviceObject);
using PFAST_IO_READ = BOOLEAN (*)(PFILE_OBJECT FileObject, PLARGE_INTEGER FileOffset, ULONG Length, BOOLEAN Wait,
                                  ULONG LockKey, PVOID Buffer, PIO_STATUS_BLOCK IoStatus,
                                  PDEVICE_OBJECT DeviceObject);
using PFAST_IO_WRITE = BOOLEAN (*)(PFILE_OBJECT FileObject, PLARGE_INTEGER FileOffset, ULONG Length, BOOLEAN Wait,
                                   ULONG LockKey, PVOID Buffer, PIO_STATUS_BLOCK IoStatus,
                                   PDEVICE_OBJECT DeviceObject);
using PFAST_IO_QUERY_BASIC_INFO = BOOLEAN (*)(PFILE_OBJECT FileObject, BOOLEAN Wait, PFILE_BASIC_INFORMATION Buffer,
                                              PIO_STATUS_BLOCK IoStatus, PDEVICE_OBJECT DeviceObject);
using PFAST_IO_QUERY_STANDARD_INFO = BOOLEAN (*)(PFILE_OBJECT FileObject, BOOLEAN Wait,
                                                 PFILE_STANDARD_INFORMATION Buffer, PIO_STATUS_BLOCK IoStatus,
                                                 PDEVICE_OBJECT DeviceObject);
using PFAST_IO_LOCK = BOOLEAN (*)(PFILE_OBJECT FileObject, PLARGE_INTEGER FileOffset, PLARGE_INTEGER Length,
                                  PEPROCESS ProcessId, ULONG Key, BOOLEAN FailImmediately, BOOLEAN ExclusiveLock,
                                  PIO_STATUS_BLOCK IoStatus, PDEVICE_OBJECT DeviceObject);
using PFAST_IO_UNLOCK_SINGLE = BOOLEAN (*)(PFILE_OBJECT FileObject, PLARGE_INTEGER FileOffset, PLARGE_INTEGER Length,
                                           PEPROCESS ProcessId, ULONG Key, PIO_STATUS_BLOCK IoStatus,
                                           PDEVICE_OBJECT DeviceObject);
using PFAST_IO_UNLOCK_ALL = BOOLEAN (*)(PFILE_OBJECT FileObject, PEPROCESS ProcessId, PIO_STATUS_BLOCK IoStatus,
                                        PDEVICE_OBJECT DeviceObject);
using PFAST_IO_UNLOCK_ALL_BY_KEY = BOOLEAN (*)(PFILE_OBJECT FileObject, PVOID ProcessId, ULONG Key,
                                               PIO_STATUS_BLOCK IoStatus, PDEVICE_OBJECT DeviceObject);
using PFAST_IO_DEVICE_CONTROL = BOOLEAN (*)(PFILE_OBJECT FileObject, BOOLEAN Wait, PVOID InputBuffer,
                                            ULONG InputBufferLength, PVOID OutputBuffer, ULONG OutputBufferLength,
                                            ULONG IoControlCode, PIO_STATUS_BLOCK IoStatus,
                                            PDEVICE_OBJECT DeviceObject);
using PFAST_IO_ACQUIRE_FILE = VOID (*)(PFILE_OBJECT FileObject);
using PFAST_IO_RELEASE_FILE = VOID (*)(PFILE_OBJECT FileObject);
using PFAST_IO_DETACH_DEVICE = VOID (*)(PDEVICE_OBJECT SourceDevice, PDEVICE_OBJECT TargetDevice);
using PFAST_IO_QUERY_NETWORK_OPEN_INFO = BOOLEAN (*)(PFILE_OBJECT FileObject, BOOLEAN Wait,
                                                     PFILE_NETWORK_OPEN_INFORMATION Buffer,
                                                     PIO_STATUS_BLOCK IoStatus, PDEVICE_OBJECT DeviceObject);
using PFAST_IO_ACQUIRE_FOR_MOD_WRITE = NTSTATUS (*)(PFILE_OBJECT FileObject, PLARGE_INTEGER EndingOffset,
                                                    PERESOURCE* ResourceToRelease, PDEVICE_OBJECT DeviceObject);
using PFAST_IO_MDL_READ = BOOLEAN (*)(PFILE_OBJECT FileObject, PLARGE_INTEGER FileOffset, ULONG Length,
                                      ULONG LockKey, PMDL* MdlChain, PIO_STATUS_BLOCK IoStatus,
                                      PDEVICE_OBJECT DeviceObject);
using PFAST_IO_MDL_READ_COMPLETE = BOOLEAN (*)(PFILE_OBJECT FileObject, PMDL MdlChain, PDEVICE_OBJECT DeviceObject);
using PFAST_IO_PREPARE_MDL_WRITE = BOOLEAN (*)(PFILE_OBJECT FileObject, PLARGE_INTEGER FileOffset, ULONG Length,
                                               ULONG LockKey, PMDL* MdlChain, PIO_STATUS_BLOCK IoStatus,
                                               PDEVICE_OBJECT DeviceObject);
using PFAST_IO_MDL_WRITE_COMPLETE = BOOLEAN (*)(PFILE_OBJECT FileObject, PLARGE_INTEGER FileOffset, PMDL MdlChain,
                                                PDEVICE_OBJECT DeviceObject);
using PFAST_IO_READ_COMPRESSED = BOOLEAN (*)(PFILE_OBJECT FileObject, PLARGE_INTEGER FileOffset, ULONG Length,
                                             ULONG LockKey, PVOID Buffer, PMDL* MdlChain, PIO_STATUS_BLOCK IoStatus,
                                             PCOMPRESSED_DATA_INFO CompressedDataInfo,
                                             ULONG CompressedDataInfoLength, PDEVICE_OBJECT DeviceObject);
using PFAST_IO_WRITE_COMPRESSED = BOOLEAN (*)(PFILE_OBJECT FileObject, PLARGE_INTEGER FileOffset, ULONG Length,
                                              ULONG LockKey, PVOID Buffer, PMDL* MdlChain,
                                              PIO_STATUS_BLOCK IoStatus, PCOMPRESSED_DATA_INFO CompressedDataInfo,
                                              ULONG CompressedDataInfoLength, PDEVICE_OBJECT DeviceObject);
using PFAST_IO_MDL_READ_COMPLETE_COMPRESSED = BOOLEAN (*)(PFILE_OBJECT FileObject, PMDL MdlChain,
                                                          PDEVICE_OBJECT DeviceObject);
using PFAST_IO_MDL_WRITE_COMPLETE_COMPRESSED = BOOLEAN (*)(PFILE_OBJECT FileObject, PLARGE_INTEGER FileOffset,
                                                           PMDL MdlChain, PDEVICE_OBJECT DeviceObject);
using PFAST_IO_QUERY_OPEN = BOOLEAN (*)(PIRP Irp, PFILE_NETWORK_OPEN_INFORMATION NetworkInformation,
                                        PDEVICE_OBJECT DeviceObject);
using PFAST_IO_RELEASE_FOR_MOD_WRITE = NTSTATUS (*)(PFILE_OBJECT FileObject, PERESOURCE ResourceToRelease,
                                                    PDEVICE_OBJECT DeviceObject);
using PFAST_IO_ACQUIRE_FOR_CCFLUSH = NTSTATUS (*)(PFILE_OBJECT FileObject, PDEVICE_OBJECT DeviceObject);
using PFAST_IO_RELEASE_FOR_CCFLUSH = NTSTATUS (*)(PFILE_OBJECT FileObject, PDEVICE_OBJECT DeviceObject);

// A caller may use an entry only when SizeOfFastIoDispatch reaches past it
// (FAST_IO_ENTRY_PRESENT below) and the entry is set.
struct FAST_IO_DISPATCH {
    ULONG SizeOfFastIoDispatch;
    PFAST_IO_CHECK_IF_POSSIBLE FastIoCheckIfPossible;
    PFAST_IO_READ FastIoRead;
    PFAST_IO_WRITE FastIoWrite;
    PFAST_IO_QUERY_BASIC_INFO FastIoQueryBasicInfo;
    PFAST_IO_QUERY_STANDARD_INFO FastIoQueryStandardInfo;
    PFAST_IO_LOCK FastIoLock;
    PFAST_IO_UNLOCK_SINGLE FastIoUnlockSingle;
    PFAST_IO_UNLOCK_ALL FastIoUnlockAll;
    PFAST_IO_UNLOCK_ALL_BY_KEY FastIoUnlockAllByKey;
    PFAST_IO_DEVICE_CONTROL FastIoDeviceControl;
    PFAST_IO_ACQUIRE_FILE AcquireFileForNtCreateSection;
    PFAST_IO_RELEASE_FILE ReleaseFileForNtCreateSection;
    PFAST_IO_DETACH_DEVICE FastIoDetachDevice;
    PFAST_IO_QUERY_NETWORK_OPEN_INFO FastIoQueryNetworkOpenInfo;
    PFAST_IO_ACQUIRE_FOR_MOD_WRITE AcquireForModWrite;
    PFAST_IO_MDL_READ MdlRead;
    PFAST_IO_MDL_READ_COMPLETE MdlReadComplete;
    PFAST_IO_PREPARE_MDL_WRITE PrepareMdlWrite;
    PFAST_IO_MDL_WRITE_COMPLETE MdlWriteComplete;
    PFAST_IO_READ_COMPRESSED FastIoReadCompressed;
    PFAST_IO_WRITE_COMPRESSED FastIoWriteCompressed;
    PFAST_IO_MDL_READ_COMPLETE_COMPRESSED MdlReadCompleteCompressed;
    PFAST_IO_MDL_WRITE_COMPLETE_COMPRESSED MdlWriteCompleteCompressed;
    PFAST_IO_QUERY_OPEN FastIoQueryOpen;
    PFAST_IO_RELEASE_FOR_MOD_WRITE ReleaseForModWrite;
    PFAST_IO_ACQUIRE_FOR_CCFLUSH AcquireForCcFlush;
    PFAST_IO_RELEASE_FOR_CCFLUSH ReleaseForCcFlush;
};
using PFAST_IO_DISPATCH = FAST_IO_DISPATCH*;

// True when `table` is present, declares a size that covers `entry` and has
// the entry set: FAST_IO_ENTRY_PRESENT(table, FastIoRead).
#define FAST_IO_ENTRY_PRESENT(table, entry)                                                          \
    ((table) != nullptr &&                                                                            \
     (table)->SizeOfFastIoDispatch >= offsetof(FAST_IO_DISPATCH, entry) + sizeof((table)->entry) && \
     (table)->entry != nullptr)

struct DRIVER_OBJECT {
    CSHORT Type;
    CSHORT Size;
    PDEVICE_OBJECT DeviceObject;  // head of the driver's device list, newest first
    ULONG Flags;
    PVOID DriverStart;
    ULONG DriverSize;
    PVOID DriverSection;
    DRIVER_EXTENSION* DriverExtension;
    UNICODE_STRING DriverName;
    PUNICODE_STRING HardwareDatabase;
    PFAST_IO_DISPATCH FastIoDispatch;
    PDRIVER_INITIALIZE DriverInit;
    PDRIVER_STARTIO DriverStartIo;
    PDRIVER_UNLOAD DriverUnload;
    PDRIVER_DISPATCH MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1];
};

struct FILE_OBJECT {
    CSHORT Type;
    CSHORT Size;
    PDEVICE_OBJECT DeviceObject;  // the device the open was sent to (the bottom of its stack)
    PVPB Vpb;
    PVOID FsContext;
    PVOID FsContext2;
    SECTION_OBJECT_POINTERS* SectionObjectPointer;
    PVOID PrivateCacheMap;
    NTSTATUS FinalStatus;
    FILE_OBJECT* RelatedFileObject;
    BOOLEAN LockOperation;
    BOOLEAN DeletePending;
    BOOLEAN ReadAccess;
    BOOLEAN WriteAccess;
    BOOLEAN DeleteAccess;
    BOOLEAN SharedRead;
    BOOLEAN SharedWrite;
    BOOLEAN SharedDelete;
    ULONG Flags;
    UNICODE_STRING FileName;
    LARGE_INTEGER CurrentByteOffset;
    ULONG Waiter;
    ULONG Busy;
    PVOID LastLock;
    KEVENT Lock;
    KEVENT Event;
    PVOID CompletionContext;
};

struct IO_SECURITY_CONTEXT {
    PVOID SecurityQos;
    PVOID AccessState;
    ACCESS_MASK DesiredAccess;
    ULONG FullCreateOptions;
};

struct IO_STACK_LOCATION {
    UCHAR MajorFunction;
    UCHAR MinorFunction;
    UCHAR Flags;
    UCHAR Control;
    union {
        struct {
            IO_SECURITY_CONTEXT* SecurityContext;
            ULONG Options;
            USHORT FileAttributes;
            USHORT ShareAccess;
            ULONG EaLength;
        } Create;
        struct {
            ULONG Length;
            ULONG Key;
            LARGE_INTEGER ByteOffset;
        } Read;
        struct {
            ULONG Length;
            ULONG Key;
            LARGE_INTEGER ByteOffset;
        } Write;
        struct {
            ULONG Length;
            FILE_INFORMATION_CLASS FileInformationClass;
        } QueryFile;
        struct {
            ULONG Length;
            FILE_INFORMATION_CLASS FileInformationClass;
            PFILE_OBJECT FileObject;
        } SetFile;
        struct {
            ULONG Length;
            FS_INFORMATION_CLASS FsInformationClass;
        } QueryVolume;
        struct {
            ULONG Length;
            FS_INFORMATION_CLASS FsInformationClass;
        } SetVolume;
        struct {
            ULONG OutputBufferLength;
            ULONG InputBufferLength;
            ULONG FsControlCode;
            PVOID Type3InputBuffer;
        } FileSystemControl;
        struct {
            ULONG OutputBufferLength;
            ULONG InputBufferLength;
            ULONG IoControlCode;
            PVOID Type3InputBuffer;
        } DeviceIoControl;
        struct {
            PVPB Vpb;
            PDEVICE_OBJECT DeviceObject;  // the storage device to mount
        } MountVolume;
        struct {
            PVOID Argument1;
            PVOID Argument2;
            PVOID Argument3;
            PVOID Argument4;
        } Others;
    } Parameters;
    PDEVICE_OBJECT DeviceObject;
    PFILE_OBJECT FileObject;
    PIO_COMPLETION_ROUTINE CompletionRoutine;
    PVOID Context;
};

// A request packet. Its stack locations follow it in the same allocation;
// location n (1-based) is ((IO_STACK_LOCATION*)(irp + 1))[n - 1], and
// CurrentLocation counts down from StackCount + 1 as the packet travels down.
struct IRP {
    CSHORT Type;
    USHORT Size;
    PMDL MdlAddress;
    ULONG Flags;
    union {
        IRP* MasterIrp;
        LONG IrpCount;
        PVOID SystemBuffer;
    } AssociatedIrp;
    LIST_ENTRY ThreadListEntry;
    IO_STATUS_BLOCK IoStatus;
    KPROCESSOR_MODE RequestorMode;
    BOOLEAN PendingReturned;
    CCHAR StackCount;
    CCHAR CurrentLocation;
    BOOLEAN Cancel;
    KIRQL CancelIrql;
    CCHAR ApcEnvironment;
    UCHAR AllocationFlags;
    PIO_STATUS_BLOCK UserIosb;
    PKEVENT UserEvent;
    union {
        struct {
            PVOID UserApcRoutine;
            PVOID UserApcContext;
        } AsynchronousParameters;
        LARGE_INTEGER AllocationSize;  // buffered I/O: the caller's output length
    } Overlay;
    PDRIVER_CANCEL CancelRoutine;
    PVOID UserBuffer;
    struct {
        struct {
            PVOID DriverContext[4];
            PETHREAD Thread;
            PCHAR AuxiliaryBuffer;
            LIST_ENTRY ListEntry;
            PIO_STACK_LOCATION CurrentStackLocation;
            PFILE_OBJECT OriginalFileObject;
        } Overlay;
    } Tail;
};

// ---------------------------------------------------------------------------
// Stack location helpers (NT's macros as inline functions)

inline PIO_STACK_LOCATION IoGetCurrentIrpStackLocation(PIRP irp) { return irp->Tail.Overlay.CurrentStackLocation; }
inline PIO_STACK_LOCATION IoGetNextIrpStackLocation(PIRP irp) { return irp->Tail.Overlay.CurrentStackLocation - 1; }

inline void IoSkipCurrentIrpStackLocation(PIRP irp) {
    irp->CurrentLocation++;
    irp->Tail.Overlay.CurrentStackLocation++;
}

inline void IoSetNextIrpStackLocation(PIRP irp) {
    irp->CurrentLocation--;
    irp->Tail.Overlay.CurrentStackLocation--;
}

// Copies the current location to the next one, leaving out the completion
// routine, its context and the control flags.
inline void IoCopyCurrentIrpStackLocationToNext(PIRP irp) {
    PIO_STACK_LOCATION current = IoGetCurrentIrpStackLocation(irp);
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    std::memcpy(static_cast<void*>(next), current, offsetof(IO_STACK_LOCATION, CompletionRoutine));
    next->Control = 0;
}

inline void IoSetCompletionRoutine(PIRP irp, PIO_COMPLETION_ROUTINE routine, PVOID context, BOOLEAN on_success,
                                   BOOLEAN on_error, BOOLEAN on_cancel) {
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->CompletionRoutine = routine;
    next->Context = context;
    next->Control = 0;
    if (on_success) next->Control |= SL_INVOKE_ON_SUCCESS;
    if (on_error) next->Control |= SL_INVOKE_ON_ERROR;
    if (on_cancel) next->Control |= SL_INVOKE_ON_CANCEL;
}

inline void IoMarkIrpPending(PIRP irp) { IoGetCurrentIrpStackLocation(irp)->Control |= SL_PENDING_RETURNED; }

inline ULONG IoSizeOfIrp(CCHAR stack_size) {
    return static_cast<ULONG>(sizeof(IRP) + static_cast<ULONG>(stack_size) * sizeof(IO_STACK_LOCATION));
}

// ---------------------------------------------------------------------------
// Work items

struct WORK_QUEUE_ITEM {
    LIST_ENTRY List;
    PWORKER_THREAD_ROUTINE WorkerRoutine;
    PVOID Parameter;
};
using PWORK_QUEUE_ITEM = WORK_QUEUE_ITEM*;

inline void ExInitializeWorkItem(PWORK_QUEUE_ITEM item, PWORKER_THREAD_ROUTINE routine, PVOID parameter) {
    item->WorkerRoutine = routine;
    item->Parameter = parameter;
    item->List.Flink = nullptr;
    item->List.Blink = nullptr;
}

struct OBJECT_NAME_INFORMATION {
    UNICODE_STRING Name;  // the name's characters follow the record
};
using POBJECT_NAME_INFORMATION = OBJECT_NAME_INFORMATION*;

struct OBJECT_HANDLE_INFORMATION {
    ULONG HandleAttributes;
    ACCESS_MASK GrantedAccess;
};
using POBJECT_HANDLE_INFORMATION = OBJECT_HANDLE_INFORMATION*;

// Bug check codes the kernel raises when a driver breaks a rule.
constexpr ULONG IRQL_NOT_LESS_OR_EQUAL = 0x0000000A;
constexpr ULONG NO_MORE_IRP_STACK_LOCATIONS = 0x00000035;
constexpr ULONG MULTIPLE_IRP_COMPLETE_REQUESTS = 0x00000044;
constexpr ULONG BAD_POOL_CALLER = 0x000000C2;
constexpr ULONG IRQL_UNEXPECTED_VALUE = 0x000000C8;
constexpr ULONG INVALID_PROCESS_ATTACH_ATTEMPT = 0x00000005;
constexpr ULONG KERNEL_APC_PENDING_DURING_EXIT = 0x00000020;
constexpr ULONG SPIN_LOCK_ALREADY_OWNED = 0x0000000F;
constexpr ULONG SPIN_LOCK_NOT_OWNED = 0x00000010;
constexpr ULONG OBJECT_REFERENCE_ERROR = 0x00000018;

// ---------------------------------------------------------------------------
// The routines. C linkage, so a module resolves them by their NT names.

extern "C" {

// The module entry point every driver module defines.
__attribute__((visibility("default"))) NTSTATUS DriverEntry(PDRIVER_OBJECT DriverObject,
                                                            PUNICODE_STRING RegistryPath);

// Object types, used as *IoFileObjectType and so on.
extern POBJECT_TYPE* IoFileObjectType;
extern POBJECT_TYPE* IoDeviceObjectType;
extern POBJECT_TYPE* IoDriverObjectType;
extern POBJECT_TYPE* ExEventObjectType;

// I/O manager
NTSTATUS IoCreateDevice(PDRIVER_OBJECT DriverObject, ULONG DeviceExtensionSize, PUNICODE_STRING DeviceName,
                        DEVICE_TYPE DeviceType, ULONG DeviceCharacteristics, BOOLEAN Exclusive,
                        PDEVICE_OBJECT* DeviceObject);
VOID IoDeleteDevice(PDEVICE_OBJECT DeviceObject);
NTSTATUS IoCreateSymbolicLink(PUNICODE_STRING SymbolicLinkName, PUNICODE_STRING DeviceName);
NTSTATUS IoDeleteSymbolicLink(PUNICODE_STRING SymbolicLinkName);
PDEVICE_OBJECT IoAttachDeviceToDeviceStack(PDEVICE_OBJECT SourceDevice, PDEVICE_OBJECT TargetDevice);
NTSTATUS IoAttachDeviceToDeviceStackSafe(PDEVICE_OBJECT SourceDevice, PDEVICE_OBJECT TargetDevice,
                                         PDEVICE_OBJECT* AttachedToDeviceObject);
VOID IoDetachDevice(PDEVICE_OBJECT TargetDevice);
PDEVICE_OBJECT IoGetAttachedDevice(PDEVICE_OBJECT DeviceObject);
PDEVICE_OBJECT IoGetAttachedDeviceReference(PDEVICE_OBJECT DeviceObject);
PDEVICE_OBJECT IoGetRelatedDeviceObject(PFILE_OBJECT FileObject);
NTSTATUS IoGetDeviceObjectPointer(PUNICODE_STRING ObjectName, ACCESS_MASK DesiredAccess, PFILE_OBJECT* FileObject,
                                  PDEVICE_OBJECT* DeviceObject);
NTSTATUS IofCallDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp);
VOID IofCompleteRequest(PIRP Irp, CCHAR PriorityBoost);
PIRP IoAllocateIrp(CCHAR StackSize, BOOLEAN ChargeQuota);
VOID IoInitializeIrp(PIRP Irp, USHORT PacketSize, CCHAR StackSize);
VOID IoFreeIrp(PIRP Irp);
PIRP IoBuildDeviceIoControlRequest(ULONG IoControlCode, PDEVICE_OBJECT DeviceObject, PVOID InputBuffer,
                                   ULONG InputBufferLength, PVOID OutputBuffer, ULONG OutputBufferLength,
                                   BOOLEAN InternalDeviceIoControl, PKEVENT Event, PIO_STATUS_BLOCK IoStatusBlock);
NTSTATUS IoRegisterFsRegistrationChange(PDRIVER_OBJECT DriverObject, PDRIVER_FS_NOTIFICATION DriverNotificationRoutine);
VOID IoUnregisterFsRegistrationChange(PDRIVER_OBJECT DriverObject, PDRIVER_FS_NOTIFICATION DriverNotificationRoutine);
VOID IoRegisterFileSystem(PDEVICE_OBJECT DeviceObject);
VOID IoUnregisterFileSystem(PDEVICE_OBJECT DeviceObject);

// Object manager
NTSTATUS ObReferenceObjectByHandle(HANDLE Handle, ACCESS_MASK DesiredAccess, POBJECT_TYPE ObjectType,
                                   KPROCESSOR_MODE AccessMode, PVOID* Object,
                                   POBJECT_HANDLE_INFORMATION HandleInformation);
NTSTATUS ObReferenceObjectByPointer(PVOID Object, ACCESS_MASK DesiredAccess, POBJECT_TYPE ObjectType,
                                    KPROCESSOR_MODE AccessMode);
LONG_PTR ObfReferenceObject(PVOID Object);
LONG_PTR ObfDereferenceObject(PVOID Object);
NTSTATUS ObQueryNameString(PVOID Object, POBJECT_NAME_INFORMATION ObjectNameInfo, ULONG Length,
                           PULONG ReturnLength);
NTSTATUS ZwOpenSymbolicLinkObject(PHANDLE LinkHandle, ACCESS_MASK DesiredAccess, POBJECT_ATTRIBUTES ObjectAttributes);
NTSTATUS ZwQuerySymbolicLinkObject(HANDLE LinkHandle, PUNICODE_STRING LinkTarget, PULONG ReturnedLength);
NTSTATUS ZwClose(HANDLE Handle);

// Executive
PVOID ExAllocatePoolWithTag(POOL_TYPE PoolType, SIZE_T NumberOfBytes, ULONG Tag);
PVOID ExAllocatePool(POOL_TYPE PoolType, SIZE_T NumberOfBytes);
VOID ExFreePool(PVOID P);
VOID ExFreePoolWithTag(PVOID P, ULONG Tag);
VOID ExQueueWorkItem(PWORK_QUEUE_ITEM WorkItem, WORK_QUEUE_TYPE QueueType);
VOID ExInitializeFastMutex(PFAST_MUTEX FastMutex);
VOID ExAcquireFastMutex(PFAST_MUTEX FastMutex);
VOID ExReleaseFastMutex(PFAST_MUTEX FastMutex);
BOOLEAN ExTryToAcquireFastMutex(PFAST_MUTEX FastMutex);

// Kernel
KIRQL KeGetCurrentIrql();
VOID KeRaiseIrql(KIRQL NewIrql, PKIRQL OldIrql);
VOID KeLowerIrql(KIRQL NewIrql);
VOID KeInitializeSpinLock(PKSPIN_LOCK SpinLock);
VOID KeAcquireSpinLock(PKSPIN_LOCK SpinLock, PKIRQL OldIrql);
VOID KeReleaseSpinLock(PKSPIN_LOCK SpinLock, KIRQL NewIrql);
VOID KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK SpinLock);
VOID KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK SpinLock);
VOID KeInitializeEvent(PRKEVENT Event, EVENT_TYPE Type, BOOLEAN State);
LONG KeSetEvent(PRKEVENT Event, KPRIORITY Increment, BOOLEAN Wait);
LONG KeResetEvent(PRKEVENT Event);
VOID KeClearEvent(PRKEVENT Event);
LONG KeReadStateEvent(PRKEVENT Event);
NTSTATUS KeWaitForSingleObject(PVOID Object, KWAIT_REASON WaitReason, KPROCESSOR_MODE WaitMode, BOOLEAN Alertable,
                               PLARGE_INTEGER Timeout);
NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE WaitMode, BOOLEAN Alertable, PLARGE_INTEGER Interval);
VOID KeQuerySystemTime(PLARGE_INTEGER CurrentTime);
ULONGLONG KeQueryInterruptTime();
[[noreturn]] VOID KeBugCheckEx(ULONG BugCheckCode, ULONG_PTR P1, ULONG_PTR P2, ULONG_PTR P3, ULONG_PTR P4);

// Process structure
BOOLEAN PsGetVersion(PULONG MajorVersion, PULONG MinorVersion, PULONG BuildNumber, PUNICODE_STRING CSDVersion);
HANDLE PsGetCurrentProcessId();
HANDLE PsGetCurrentThreadId();

// Run-time library (RtlInitUnicodeString and RtlEqualUnicodeString come with
// the native records of base/nt_types.h)
VOID RtlCopyUnicodeString(PUNICODE_STRING DestinationString, PCUNICODE_STRING SourceString);
NTSTATUS RtlAppendUnicodeStringToString(PUNICODE_STRING Destination, PCUNICODE_STRING Source);
NTSTATUS RtlAppendUnicodeToString(PUNICODE_STRING Destination, PCWSTR Source);
LONG RtlCompareUnicodeString(PCUNICODE_STRING String1, PCUNICODE_STRING String2, BOOLEAN CaseInSensitive);
BOOLEAN RtlPrefixUnicodeString(PCUNICODE_STRING String1, PCUNICODE_STRING String2, BOOLEAN CaseInSensitive);
WCHAR RtlUpcaseUnicodeChar(WCHAR SourceCharacter);
SIZE_T RtlCompareMemory(const VOID* Source1, const VOID* Source2, SIZE_T Length);
NTSTATUS RtlUnicodeStringToInteger(PCUNICODE_STRING String, ULONG Base, PULONG Value);
NTSTATUS RtlIntegerToUnicodeString(ULONG Value, ULONG Base, PUNICODE_STRING String);
int _wcsnicmp(const WCHAR* String1, const WCHAR* String2, SIZE_T Count);
int _wcsicmp(const WCHAR* String1, const WCHAR* String2);
SIZE_T _wcslen16(const WCHAR* String);

// Debug output, printf style; lines go to the host's log.
ULONG DbgPrint(const char* Format, ...) __attribute__((format(printf, 1, 2)));

}  // extern "C"

// NT spells these as macros over the "f" routines.
inline NTSTATUS IoCallDriver(PDEVICE_OBJECT device, PIRP irp) { return IofCallDriver(device, irp); }
inline VOID IoCompleteRequest(PIRP irp, CCHAR boost) { IofCompleteRequest(irp, boost); }
inline LONG_PTR ObDereferenceObject(PVOID object) { return ObfDereferenceObject(object); }
inline LONG_PTR ObReferenceObject(PVOID object) { return ObfReferenceObject(object); }

// Interlocked operations (full barriers), the same routines user-mode code
// uses: increment and decrement return the new value, exchange and
// compare-exchange the old one.
LONG InterlockedIncrement(volatile LONG* target);
LONG InterlockedDecrement(volatile LONG* target);
LONG InterlockedExchange(volatile LONG* target, LONG value);
LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand);
LONG InterlockedExchangeAdd(volatile LONG* target, LONG value);
// A read of a value other threads change with the routines above: whole,
// without a barrier (NT's ReadNoFence).
inline LONG ReadNoFence(const volatile LONG* source) { return __atomic_load_n(source, __ATOMIC_RELAXED); }

inline VOID RtlZeroMemory(PVOID destination, SIZE_T length) { std::memset(destination, 0, length); }
inline VOID RtlFillMemory(PVOID destination, SIZE_T length, UCHAR fill) { std::memset(destination, fill, length); }
inline VOID RtlCopyMemory(PVOID destination, const VOID* source, SIZE_T length) {
    std::memcpy(destination, source, length);
}
inline VOID RtlMoveMemory(PVOID destination, const VOID* source, SIZE_T length) {
    std::memmove(destination, source, length);
}
inline bool RtlEqualMemory(const VOID* a, const VOID* b, SIZE_T length) { return std::memcmp(a, b, length) == 0; }

// A four-character pool tag whose bytes lie in memory in the order written:
// POOL_TAG("LMon") is NT's 'noML'.
constexpr ULONG POOL_TAG(const char (&text)[5]) {
    return ULONG(UCHAR(text[0])) | ULONG(UCHAR(text[1])) << 8 | ULONG(UCHAR(text[2])) << 16 |
           ULONG(UCHAR(text[3])) << 24;
}

// Relative time for KeDelayExecutionThread / KeWaitForSingleObject: negative
// 100 ns units.
constexpr LONGLONG RELATIVE_MILLISECONDS(LONGLONG ms) { return -ms * 10000; }
