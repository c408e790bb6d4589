#pragma once
// Win32 numbers that cross the platform boundary, spelled without <windows.h>.
#include <cstdint>

namespace platform {

// Registry key handles are 32-bit values, 0 meaning none.
using Hkey = std::uint32_t;

inline constexpr Hkey kHkeyClassesRoot = 0x80000000u;
inline constexpr Hkey kHkeyCurrentUser = 0x80000001u;
inline constexpr Hkey kHkeyLocalMachine = 0x80000002u;
inline constexpr Hkey kHkeyUsers = 0x80000003u;
inline constexpr Hkey kHkeyPerformanceData = 0x80000004u;
inline constexpr Hkey kHkeyCurrentConfig = 0x80000005u;
inline constexpr Hkey kHkeyDynData = 0x80000006u;

// Access masks.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyNotify = 0x0010;
inline constexpr std::uint32_t kKeyCreateLink = 0x0020;
inline constexpr std::uint32_t kDelete = 0x00010000;
inline constexpr std::uint32_t kKeyRead = 0x00020019;
inline constexpr std::uint32_t kKeyWrite = 0x00020006;
inline constexpr std::uint32_t kKeyAllAccess = 0x000F003F;
inline constexpr std::uint32_t kKeyReadCreateSet = kKeyRead | kKeyCreateSubKey | kKeySetValue;  // 0x2001F
// The registry view an access asks for on 64-bit Windows; neither: the process's own.
inline constexpr std::uint32_t kKeyWow6464Key = 0x0100;
inline constexpr std::uint32_t kKeyWow6432Key = 0x0200;

inline constexpr std::uint32_t kRegOptionBackupRestore = 4;

// Value type codes.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegDwordBigEndian = 5;
inline constexpr std::uint32_t kRegLink = 6;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegResourceList = 8;
inline constexpr std::uint32_t kRegFullResourceDescriptor = 9;
inline constexpr std::uint32_t kRegResourceRequirementsList = 10;
inline constexpr std::uint32_t kRegQword = 11;

// Result codes.
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorPathNotFound = 3;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorNotEnoughMemory = 8;
inline constexpr long kErrorWriteFault = 29;
inline constexpr long kErrorSharingViolation = 32;
inline constexpr long kErrorHandleDiskFull = 39;
inline constexpr long kErrorFileExists = 80;
inline constexpr long kErrorInvalidParameter = 87;
inline constexpr long kErrorDiskFull = 112;
inline constexpr long kErrorAlreadyExists = 183;
inline constexpr long kErrorMoreData = 234;
inline constexpr long kErrorNoMoreItems = 259;
inline constexpr long kErrorBadFileFormat = 1009;  // ERROR_BADDB
inline constexpr long kErrorKeyDeleted = 1018;
inline constexpr long kErrorKeyHasChildren = 1020;
inline constexpr long kErrorPrivilegeNotHeld = 1314;

// File attributes.
inline constexpr std::uint32_t kFileAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kFileAttributeHidden = 0x02;
inline constexpr std::uint32_t kFileAttributeSystem = 0x04;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeArchive = 0x20;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;
inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;

// Drive types of GetDriveTypeA.
inline constexpr std::uint32_t kDriveUnknown = 0;
inline constexpr std::uint32_t kDriveNoRootDir = 1;
inline constexpr std::uint32_t kDriveRemovable = 2;
inline constexpr std::uint32_t kDriveFixed = 3;
inline constexpr std::uint32_t kDriveRemote = 4;
inline constexpr std::uint32_t kDriveCdrom = 5;
inline constexpr std::uint32_t kDriveRamdisk = 6;

// Message boxes, beeps and show commands.
inline constexpr std::uint32_t kMbOk = 0x00;
inline constexpr std::uint32_t kMbYesNoCancel = 0x03;
inline constexpr std::uint32_t kMbYesNo = 0x04;
inline constexpr std::uint32_t kMbIconError = 0x10;
inline constexpr std::uint32_t kMbIconHand = 0x10;
inline constexpr std::uint32_t kMbIconWarning = 0x30;
// The second button (No) is the default one.
inline constexpr std::uint32_t kMbDefButton2 = 0x100;
inline constexpr std::uint32_t kMbDefButton3 = 0x200;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
inline constexpr int kSwShowNormal = 1;
inline constexpr int kSwShow = 5;

// Product states of MsiQueryProductStateW.
inline constexpr int kInstallStateInvalidArg = -2;
inline constexpr int kInstallStateUnknown = -1;
inline constexpr int kInstallStateAdvertised = 1;
inline constexpr int kInstallStateAbsent = 2;
inline constexpr int kInstallStateDefault = 5;

inline constexpr std::uint32_t kStillActive = 259;
inline constexpr std::uint32_t kMaxPath = 260;

}  // namespace platform
