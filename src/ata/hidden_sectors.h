// Sectors an ATA drive hides behind the end it reports: a host protected area (set with SET MAX
// ADDRESS) or a device configuration overlay. The drive reports its shortened size in IDENTIFY,
// so neither the system nor a wipe reaches the sectors behind it.
//
// Finding them only reads: READ NATIVE MAX ADDRESS (EXT) and DEVICE CONFIGURATION IDENTIFY,
// through IOCTL_ATA_PASS_THROUGH. Nothing here sends SET MAX ADDRESS, DCO RESTORE or any FREEZE
// LOCK: those change the drive for good, and often need a power cycle to take effect.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "ata/ata_commands.h"

namespace orm {

// The two task files of an ATA_PASS_THROUGH_EX, each in IDEREGS order (features or error,
// count, LBA low, LBA mid, LBA high, device, command or status, reserved). `previous` holds the
// high-order bytes of a 48-bit command, on the way in and on the way back.
struct AtaTaskFiles {
    std::array<std::uint8_t, 8> current{};
    std::array<std::uint8_t, 8> previous{};
};

// One command through IOCTL_ATA_PASS_THROUGH: a non-data command when `data` is null, else a PIO
// data-in command of one 512-byte block into `data`. True when the call succeeds, answers with
// the whole header (and block) and the returned status has neither ERR nor DRQ; `answer` then
// holds the task files the drive returned, and `data` is written only then.
bool AtaPassThrough(KernelServices& ks, Handle handle, const AtaTaskFiles& sent, bool command48,
                    AtaBlock* data, AtaTaskFiles* answer);

// READ NATIVE MAX ADDRESS EXT (0x27, 48-bit) or READ NATIVE MAX ADDRESS (0xF8, 28-bit): the
// highest address the drive has, behind any host protected area. nullopt when the command fails.
std::optional<std::uint64_t> ReadNativeMaxAddress(KernelServices& ks, Handle handle, std::uint8_t driveNumber,
                                                  bool command48);

// DEVICE CONFIGURATION IDENTIFY (0xB1, features 0xC2): the 512-byte overlay block. False when
// the command fails or the block fails its integrity check (word 255: signature 0xA5 in the low
// byte, then the 512 bytes must add up to 0 modulo 256).
bool DeviceConfigurationIdentify(KernelServices& ks, Handle handle, std::uint8_t driveNumber, AtaBlock& data);

// The largest address an overlay block allows: words 3 to 6.
std::uint64_t DcoMaximumAddress(const AtaBlock& dco);

// What the drive hides, in its own logical sectors. An empty field is "not known": the feature is
// missing, a command failed, or the drive answered an address that cannot be true (below its
// reported size, or beyond 48 bits). Not known is never zero.
struct HiddenSectors {
    std::optional<std::int64_t> nativeSectors;  // native max address + 1
    std::optional<std::int64_t> hpa;            // nativeSectors - the reported sector count
    std::optional<std::int64_t> dcoSectors;     // the overlay's maximum address + 1
    std::optional<std::int64_t> dco;            // dcoSectors - nativeSectors

    std::int64_t Known() const { return hpa.value_or(0) + dco.value_or(0); }
};

// The arithmetic of the detection, with the drive's answers given: `reportedSectors` is the
// count IDENTIFY reports; an answer is nullopt where its feature is missing or its command failed.
// Without the host protected area feature the native size is the reported one.
HiddenSectors HiddenFromAnswers(std::int64_t reportedSectors, bool hpaFeature,
                                std::optional<std::uint64_t> nativeMax, std::optional<std::uint64_t> dcoMax);

// Asks the drive behind `handle`, whose IDENTIFY block is `identify`: READ NATIVE MAX ADDRESS
// (the EXT form when the 48-bit feature set is supported) only when it reports the host protected
// area feature set (word 82 bit 10), DEVICE CONFIGURATION IDENTIFY only when it reports the
// overlay feature set (word 83 bit 11). A drive without LBA is not asked at all.
HiddenSectors DetectHiddenSectors(KernelServices& ks, Handle handle, std::uint8_t driveNumber,
                                  const AtaBlock& identify);

}  // namespace orm
