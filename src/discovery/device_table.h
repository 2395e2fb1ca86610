// The table of drives the start-up probe accepted, and the run's state around it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/kernel_services.h"

namespace orm {

inline constexpr int kMaxDrives = 16;

// One accepted drive. The three texts are fixed-width single-byte fields: a text ends at its
// first zero byte or at the field's width (Firmware usually has no zero byte at all).
struct TDeviceTable {
    std::string DevicePath;
    char Model[40] = {};
    char Firmware[8] = {};
    char SerialNumber[20] = {};
    std::int64_t SectorCount = 0;
    std::int64_t BytesPerSector = 0;
    std::int64_t BusType = 0;
    std::int64_t MaxTransferSectors = 0;
    std::uint8_t RemovableMedia = 0;
    std::uint8_t DriveNumber = 0;
};

// A fixed-width field as text: up to its first zero byte, at most its width.
template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
    std::size_t n = 0;
    while (n < N && field[n] != '\0') ++n;
    return std::string(field, n);
}

// Everything the run keeps between start-up and exit. main owns the one instance and hands it
// out by reference; it is written during start-up and the chooser, then only read (apart from
// DeviceHandle, which the main window opens and closes).
struct RunState {
    std::array<TDeviceTable, kMaxDrives> DeviceTable{};  // positions 1..16 live at [0..15]
    std::int64_t DrivesFound = 0;
    std::int64_t ChosenIndex = 0;  // 1-based position of the chosen drive; 0 until chosen
    bool DeviceChosen = false;
    Handle DeviceHandle = kNoHandle;
    // Sectors the opened drive hides behind the end it reports, found by the details report:
    // by a host protected area and by a device configuration overlay. 0 where none were found
    // or they could not be read.
    std::int64_t HiddenHpaSectors = 0;
    std::int64_t HiddenDcoSectors = 0;

    // The record at 1-based position `position`.
    TDeviceTable& Record(std::int64_t position) {
        return DeviceTable.at(static_cast<std::size_t>(position - 1));
    }
    const TDeviceTable& Record(std::int64_t position) const {
        return DeviceTable.at(static_cast<std::size_t>(position - 1));
    }
    const TDeviceTable& Chosen() const { return Record(ChosenIndex); }
};

}  // namespace orm
