#include "report_fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/win_layouts.h"

namespace orm::testing {

bool TestSim::Control(Handle handle, std::uint32_t controlCode, const void* in, std::uint32_t inSize,
                      void* out, std::uint32_t outSize, std::uint32_t* bytesReturned) {
    const auto* bytes = static_cast<const std::uint8_t*>(in);
    if (refuseDisable && controlCode == win::SMART_SEND_DRIVE_COMMAND && inSize > 4 &&
        bytes[4] == win::SMART_DISABLE_OPERATIONS) {
        ++refusedDisables;
        *bytesReturned = 0;
        return false;
    }
    return SimPlatform::Control(handle, controlCode, in, inSize, out, outSize, bytesReturned);
}

ChosenDrive::ChosenDrive(unsigned number) : m_number(number) {
    sim.AddDrive(number);
}

void ChosenDrive::Choose(const std::string& model, const std::string& firmware, std::int64_t sectors,
                         std::int64_t busType, std::uint8_t ataDrive) {
    TDeviceTable& record = state.Record(1);
    record.DevicePath = sim.DrivePath(m_number);
    std::memset(record.Model, 0, sizeof record.Model);
    std::memcpy(record.Model, model.data(), std::min(model.size(), std::size_t{24}));
    std::memset(record.Firmware, ' ', sizeof record.Firmware);
    std::memcpy(record.Firmware, firmware.data(), std::min(firmware.size(), sizeof record.Firmware));
    record.SectorCount = sectors;
    record.BytesPerSector = 512;
    record.BusType = busType;
    record.DriveNumber = ataDrive;
    state.DrivesFound = 1;
    state.ChosenIndex = 1;
    state.DeviceChosen = true;
    state.DeviceHandle = sim.Open(record.DevicePath, win::GENERIC_READ | win::GENERIC_WRITE,
                                  win::FILE_SHARE_READ | win::FILE_SHARE_WRITE, win::OPEN_EXISTING, 0);
    ASSERT_NE(state.DeviceHandle, kInvalidHandle);
    sim.ClearJournal();
}

std::vector<std::pair<std::uint32_t, std::uint8_t>> ChosenDrive::Commands() const {
    std::vector<std::pair<std::uint32_t, std::uint8_t>> commands;
    for (const auto& e : sim.Calls(sim::Call::Control)) commands.emplace_back(e.code, e.ataFeatures);
    return commands;
}

namespace {

std::string DataPath(const std::string& name) {
    return std::string(ORMANDEL_TEST_DATA_DIR) + "/" + name;
}

}  // namespace

void ExpectGolden(const std::vector<std::string>& lines, const std::string& name) {
    const std::string path = DataPath(name + ".txt");
    const char* update = std::getenv("ORMANDEL_UPDATE_GOLDEN");
    if (update != nullptr && std::string(update) == "1") {
        std::ofstream out(path, std::ios::binary);
        for (const std::string& line : lines) out << line << '\n';
        ADD_FAILURE() << "wrote " << path
                      << "; check it by hand and run again without ORMANDEL_UPDATE_GOLDEN";
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "missing golden file " << path;
    std::vector<std::string> expected;
    for (std::string line; std::getline(in, line);) expected.push_back(line);
    const std::size_t n = std::max(expected.size(), lines.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::string want = i < expected.size() ? expected[i] : "<no line>";
        const std::string got = i < lines.size() ? lines[i] : "<no line>";
        EXPECT_EQ(got, want) << name << ".txt line " << (i + 1);
    }
}

std::array<std::uint8_t, 512> LoadHexBlock(const std::string& name) {
    std::array<std::uint8_t, 512> block{};
    std::ifstream in(DataPath(name), std::ios::binary);
    EXPECT_TRUE(in) << "missing fixture " << DataPath(name);
    std::array<std::uint8_t, 16> previous{};
    bool repeat = false;
    std::size_t next = 0;  // offset the next row is expected at
    for (std::string line; std::getline(in, line);) {
        std::istringstream row(line);
        std::string first;
        if (!(row >> first)) continue;
        if (first == "*") {
            repeat = true;
            continue;
        }
        if (first.back() != ':') continue;
        const std::size_t offset = std::stoul(first.substr(0, first.size() - 1), nullptr, 16);
        if (offset + 16 > block.size()) {
            ADD_FAILURE() << name << ": row beyond 512 bytes: " << line;
            break;
        }
        for (; repeat && next < offset; next += 16)
            std::copy(previous.begin(), previous.end(), block.begin() + next);
        repeat = false;
        std::array<std::uint8_t, 16> bytes{};
        for (std::size_t i = 0; i < 16; ++i) {
            std::string hex;
            if (!(row >> hex)) {
                ADD_FAILURE() << name << ": short row: " << line;
                break;
            }
            bytes[i] = static_cast<std::uint8_t>(std::stoul(hex, nullptr, 16));
        }
        std::copy(bytes.begin(), bytes.end(), block.begin() + offset);
        previous = bytes;
        next = offset + 16;
    }
    for (; repeat && next < block.size(); next += 16)
        std::copy(previous.begin(), previous.end(), block.begin() + next);
    return block;
}

}  // namespace orm::testing
