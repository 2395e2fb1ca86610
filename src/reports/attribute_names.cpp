#include "reports/attribute_names.h"

namespace orm {

namespace {

struct NamedId {
    std::uint8_t id;
    std::string_view name;
};

// "conuter" is the program's own spelling of that name and stays.
constexpr NamedId kNamedIds[] = {
    {1, "Read error rate"},
    {2, "Throughput performance"},
    {3, "Spin up time"},
    {4, "Number of spin-up times"},
    {5, "Reallocated sectors count"},
    {6, "Read channel margin"},
    {7, "Seek error rate"},
    {8, "Seek time performance"},
    {9, "Power-on time"},
    {10, "Spin-up retries"},
    {11, "Calibration retries"},
    {12, "Start/stop count"},
    {13, "Soft read error rate"},
    {192, "Power-off retract count"},
    {193, "Load/unload cycle count"},
    {194, "HDA Temperature"},
    {195, "Hardware ECC recovered"},
    {196, "Reallocate event count"},
    {197, "Current pending sectors"},
    {198, "Offline scan UNC sectors"},
    {199, "Ultra ATA CRC Errors"},
    {200, "Write error rate"},
    {220, "Disk shift"},
    {221, "G-Sensor shock conuter"},
    {222, "Loaded hours"},
    {223, "Load retry count"},
    {224, "Load friction"},
    {225, "Load cycle count"},
    {226, "Load-in time"},
    {227, "Torque amplification"},
    {228, "Power-off retract count"},
    {229, "Fly height measurement"},
    {230, "GMR head amplitude"},
};

constexpr std::array<AttributeNameEntry, 255> BuildTable() {
    std::array<AttributeNameEntry, 255> table{};
    for (const NamedId& named : kNamedIds) {
        AttributeNameEntry& entry = table[named.id - 1u];
        entry.length = static_cast<std::uint8_t>(kAttributeNameWidth);
        for (std::size_t i = 0; i < kAttributeNameWidth; ++i) {
            entry.text[i] = i < named.name.size() ? named.name[i] : ' ';
        }
    }
    return table;
}

constexpr bool NamesFit() {
    for (const NamedId& named : kNamedIds) {
        if (named.id == 0 || named.name.size() > kAttributeNameWidth) return false;
    }
    return true;
}
static_assert(NamesFit(), "every name is at most 26 characters and belongs to an id from 1 to 255");

}  // namespace

constinit const std::array<AttributeNameEntry, 255> kAttributeNames = BuildTable();

std::string_view AttributeName(std::uint8_t id) {
    if (id == 0) return {};
    const AttributeNameEntry& entry = kAttributeNames[id - 1u];
    return std::string_view(entry.text.data(), entry.length);
}

}  // namespace orm
