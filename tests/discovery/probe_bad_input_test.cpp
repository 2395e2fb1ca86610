// The probe against odd device descriptors: offsets past the answer or the buffer, texts
// without a terminating zero, short answers. Nothing is read outside the buffer and no field
// of the table spills into the next.
#include <gtest/gtest.h>

#include <cstring>

#include "probe_fixture.h"

#include "platform/win_layouts.h"

namespace orm {
namespace {

using namespace orm::win;
using orm::testing::FatalRecorder;
using sim::SimPlatform;

constexpr std::size_t kVendor = offsetof(STORAGE_DEVICE_DESCRIPTOR, VendorIdOffset);
constexpr std::size_t kProduct = offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductIdOffset);
constexpr std::size_t kRevision = offsetof(STORAGE_DEVICE_DESCRIPTOR, ProductRevisionOffset);
constexpr std::size_t kSerial = offsetof(STORAGE_DEVICE_DESCRIPTOR, SerialNumberOffset);

// A device descriptor of `size` bytes with the given text offsets; texts are placed by Put.
struct RawDescriptor {
    explicit RawDescriptor(std::size_t size) : bytes(size, 0) {}
    RawDescriptor& Offset(std::size_t field, std::uint32_t value) {
        PutLe32(&bytes[field], value);
        return *this;
    }
    RawDescriptor& Put(std::size_t at, const std::string& text) {
        std::memcpy(&bytes[at], text.data(), text.size());
        return *this;
    }
    std::vector<std::uint8_t> bytes;
};

struct Identified {
    std::string model, firmware, serial;
    TDeviceTable record;
};

Identified ProbeOne(const std::vector<std::uint8_t>& descriptor, std::optional<std::uint32_t> returned = {}) {
    SimPlatform sim;
    auto drive = sim.AddDrive(0).Sectors(1000).DeviceDescriptor(descriptor);
    if (returned) drive.ControlReturns(IOCTL_STORAGE_QUERY_PROPERTY, *returned, StorageDeviceProperty);
    RunState state;
    FatalRecorder fatal;
    EXPECT_TRUE(ProbeDrives(sim, state, fatal));
    EXPECT_EQ(state.DrivesFound, 1);
    const TDeviceTable& r = state.Record(1);
    return {FieldText(r.Model), std::string(r.Firmware, 8), FieldText(r.SerialNumber), r};
}

TEST(ProbeBadInput, TextsStopAtTheEndOfTheAnswer) {
    // Texts run to the last byte with no zero: each is cut at the answer's end.
    RawDescriptor d(60);
    d.Offset(kProduct, 40).Put(40, "PRODUCT-NAME-WITHOUT").Offset(kRevision, 50).Offset(kSerial, 55);
    const auto got = ProbeOne(d.bytes);
    EXPECT_EQ(got.model, "PRODUCT-NAME-WITHOUT    ");
    EXPECT_EQ(got.firmware, "ME-WITHO");  // shares the product's last ten bytes
    EXPECT_EQ(got.serial, "THOUT");
}

TEST(ProbeBadInput, OffsetsPastTheAnswerOrTheBufferGiveEmptyTexts) {
    RawDescriptor d(512);
    d.Put(100, "STALE")
        .Offset(kVendor, 100)
        .Offset(kProduct, 512)
        .Offset(kRevision, 0xFFFFFFF0u)
        .Offset(kSerial, 600);
    // The call says only 64 bytes are the answer: the vendor at 100 is not part of it.
    const auto got = ProbeOne(d.bytes, 64);
    EXPECT_EQ(got.model, std::string(24, ' '));
    EXPECT_EQ(got.firmware, std::string(8, ' '));
    EXPECT_EQ(got.serial, "");
}

// A returned count above the 512-byte buffer is bounded by it; an answer longer than it is cut.
TEST(ProbeBadInput, TextsEndAtTheEndOfTheBuffer) {
    RawDescriptor above(512), longer(1000);
    above.Put(500, "ABCDEFGHIJKL").Offset(kSerial, 500);  // no zero up to the buffer's end
    longer.Offset(kSerial, 505).Put(505, "12345678901234567890");
    EXPECT_EQ(ProbeOne(above.bytes, 4096).serial, "ABCDEFGHIJKL");
    EXPECT_EQ(ProbeOne(longer.bytes).serial, "1234567");  // the 7 bytes that fit in the buffer
}

TEST(ProbeBadInput, LongTextsNeverSpillIntoTheNextField) {
    RawDescriptor d(400);
    const std::string longText(200, 'M');
    d.Offset(kVendor, 40).Put(40, longText).Offset(kRevision, 260).Put(260, std::string(100, 'F'));
    d.bytes[240] = 0;
    d.Offset(kSerial, 370).Put(370, std::string(29, 'S'));
    const auto got = ProbeOne(d.bytes);
    EXPECT_EQ(std::string(got.record.Model, 24), std::string(24, 'M'));
    for (std::size_t i = 24; i < 40; ++i) EXPECT_EQ(got.record.Model[i], '\0');
    EXPECT_EQ(got.firmware, std::string(8, 'F'));
    EXPECT_EQ(std::string(got.record.SerialNumber, 20), std::string(20, 'S'));
    EXPECT_EQ(got.record.SectorCount, 1000);  // the field behind the serial is intact
}

TEST(ProbeBadInput, OddFortyCharacterSerials) {
    const struct {
        const char* serial;
        const char* stored;
    } cases[] = {
        {"202020202020202020204457572D414331563332", "WD-WCAV123"},
        // Not hexadecimal, or bytes that are no text (zero, DEL): kept as given, cut to 20.
        {"2020202020202020202Z4457572D414331563332", "2020202020202020202Z"},
        {"0000000000000000000000000000000000000000", "00000000000000000000"},
        {"4100420043004400450046004700480049004A00", "41004200430044004500"},
        {"7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F7F", "7F7F7F7F7F7F7F7F7F7F"},
    };
    for (const auto& c : cases) {
        SimPlatform sim;
        sim.AddDrive(0).Sectors(10).Serial(c.serial);
        RunState state;
        FatalRecorder fatal;
        ASSERT_TRUE(ProbeDrives(sim, state, fatal));
        EXPECT_EQ(FieldText(state.Record(1).SerialNumber), c.stored) << c.serial;
    }
}

TEST(ProbeBadInput, NegativeLengthGivesNoSectors) {
    SimPlatform sim;
    sim.AddDrive(0).Length(-4096);
    RunState state;
    FatalRecorder fatal;
    ASSERT_TRUE(ProbeDrives(sim, state, fatal));
    EXPECT_EQ(state.Record(1).SectorCount, 0);
}

}  // namespace
}  // namespace orm
