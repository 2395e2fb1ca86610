// The drive probe over simulated drives: numbering, limits, identified fields, failures.
#include <gtest/gtest.h>

#include "probe_fixture.h"

#include "platform/win_layouts.h"

namespace orm {
namespace {

using namespace orm::win;
using orm::testing::FatalRecorder;
using orm::testing::OpenedDrives;
using orm::testing::TriedDrives;
using sim::Call;
using sim::SimPlatform;

void AddPlainDrive(SimPlatform& sim, unsigned n) {
    sim.AddDrive(n)
        .Sectors(100'000 + n)
        .Product("DISK " + std::to_string(n))
        .Revision("1.0")
        .Serial("S" + std::to_string(n));
}

class Probe : public ::testing::Test {
  protected:
    bool Run() { return ProbeDrives(sim, state, fatal); }
    SimPlatform sim;
    RunState state;
    FatalRecorder fatal;
};

TEST_F(Probe, NoDrivesFoundIsNoFailure) {
    EXPECT_TRUE(Run());
    EXPECT_EQ(state.DrivesFound, 0);
    EXPECT_TRUE(fatal.calls.empty());
    for (const auto& r : state.DeviceTable) EXPECT_TRUE(r.DevicePath.empty());
    const auto tried = TriedDrives(sim);
    ASSERT_EQ(tried.size(), 256u);
    EXPECT_EQ(tried.front(), 0);
    EXPECT_EQ(tried.back(), 255);  // the last name tried
    EXPECT_TRUE(sim.Calls(Call::Control).empty());
}

TEST_F(Probe, GapsInNumberingKeepAscendingOrder) {
    AddPlainDrive(sim, 0);
    AddPlainDrive(sim, 3);
    AddPlainDrive(sim, 255);
    ASSERT_TRUE(Run());
    ASSERT_EQ(state.DrivesFound, 3);
    EXPECT_EQ(state.Record(1).DevicePath, "\\\\.\\PhysicalDrive0");
    EXPECT_EQ(state.Record(2).DevicePath, "\\\\.\\PhysicalDrive3");
    EXPECT_EQ(state.Record(3).DevicePath, "\\\\.\\PhysicalDrive255");
    EXPECT_EQ(state.Record(2).SectorCount, 100'003);
    EXPECT_TRUE(state.Record(4).DevicePath.empty());
    EXPECT_EQ(OpenedDrives(sim), (std::vector<int>{0, 3, 255}));
}

TEST_F(Probe, StopsAtSixteenAcceptedDrives) {
    for (unsigned n = 0; n < 20; ++n) AddPlainDrive(sim, n);
    ASSERT_TRUE(Run());
    EXPECT_EQ(state.DrivesFound, 16);
    EXPECT_EQ(state.Record(16).DevicePath, "\\\\.\\PhysicalDrive15");
    const auto tried = TriedDrives(sim);
    EXPECT_EQ(tried.back(), 15);  // the 17th number is never opened
    EXPECT_EQ(tried.size(), 16u);
}

TEST_F(Probe, SkippedDrivesDoNotCountTowardsSixteen) {
    for (unsigned n = 0; n < 18; ++n) AddPlainDrive(sim, n);
    sim.Drive(2).faults.controlFails[{IOCTL_DISK_GET_DRIVE_GEOMETRY, std::nullopt}] = ERROR_NOT_READY;
    sim.Drive(5).faults.openError = ERROR_ACCESS_DENIED;
    ASSERT_TRUE(Run());
    EXPECT_EQ(state.DrivesFound, 16);
    EXPECT_EQ(state.Record(16).DevicePath, "\\\\.\\PhysicalDrive17");
    EXPECT_EQ(TriedDrives(sim).back(), 17);
}

TEST_F(Probe, OpensForReadingAndClosesEveryHandle) {
    AddPlainDrive(sim, 0);
    AddPlainDrive(sim, 1);
    sim.Drive(1).faults.controlFails[{IOCTL_DISK_GET_DRIVE_GEOMETRY, std::nullopt}] = ERROR_NOT_READY;
    ASSERT_TRUE(Run());
    EXPECT_EQ(state.DrivesFound, 1);
    const auto opens = sim.Calls(Call::Open);
    EXPECT_EQ(opens[0].access, GENERIC_READ);
    std::vector<Handle> opened, closed;
    for (const auto& e : opens) {
        if (e.ok) opened.push_back(e.handle);
    }
    for (const auto& e : sim.Calls(Call::Close)) {
        EXPECT_TRUE(e.ok);
        closed.push_back(e.handle);
    }
    EXPECT_EQ(opened, closed);
    // Each handle is closed before the next drive is opened.
    Handle open = kNoHandle;
    for (const auto& e : sim.Journal()) {
        if (e.call == Call::Open && e.ok) {
            EXPECT_EQ(open, kNoHandle);
            open = e.handle;
        } else if (e.call == Call::Close) {
            EXPECT_EQ(e.handle, open);
            open = kNoHandle;
        }
    }
}

TEST_F(Probe, CallOrderOfOneIdentification) {
    sim.AddDrive(0).Sectors(1000).Bus(BusTypeAta).InquiryByte13(1);
    ASSERT_TRUE(Run());
    const auto controls = sim.Calls(Call::Control);
    std::vector<std::uint32_t> codes;
    for (const auto& c : controls) {
        codes.push_back(c.code);
        EXPECT_EQ(c.outSize, 512u);
    }
    ASSERT_EQ(codes, (std::vector<std::uint32_t>{IOCTL_DISK_GET_DRIVE_GEOMETRY, IOCTL_DISK_GET_LENGTH_INFO,
                                                 IOCTL_STORAGE_QUERY_PROPERTY, IOCTL_STORAGE_QUERY_PROPERTY,
                                                 IOCTL_SCSI_GET_INQUIRY_DATA}));
    EXPECT_EQ(controls[2].propertyId, StorageAdapterProperty);
    EXPECT_EQ(controls[2].input.size(), 12u);
    EXPECT_EQ(controls[3].propertyId, StorageDeviceProperty);
    EXPECT_EQ(state.Record(1).DriveNumber, 1);
}

struct SectorCase {
    std::uint32_t reported;
    std::int64_t length;
    std::int64_t sectorCount;
    std::int64_t bytesPerSector;
};

TEST_F(Probe, SectorSizes) {
    const SectorCase cases[] = {
        {512, 80'026'361'856, 156'301'488, 512},
        {4096, 4096LL * 1000 + 100, 1000, 4096},
        {256, 1'000'000, 0, 512},  // below 512: accepted, no sectors
        {0, 1'000'000, 0, 512},
        {520, 520 * 10, 10, 520},
    };
    unsigned n = 0;
    for (const auto& c : cases) sim.AddDrive(n++).SectorSize(c.reported).Length(c.length);
    ASSERT_TRUE(Run());
    ASSERT_EQ(state.DrivesFound, static_cast<std::int64_t>(std::size(cases)));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& r = state.Record(static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(r.SectorCount, cases[i].sectorCount) << cases[i].reported;
        EXPECT_EQ(r.BytesPerSector, cases[i].bytesPerSector) << cases[i].reported;
    }
}

TEST_F(Probe, MaxTransferSectorsCappedAt250) {
    sim.AddDrive(0).Sectors(10).MaxTransfer(65536);
    sim.AddDrive(1).Sectors(10).MaxTransfer(1'048'576);
    sim.AddDrive(2).SectorSize(4096).Sectors(10).MaxTransfer(65536);
    ASSERT_TRUE(Run());
    EXPECT_EQ(state.Record(1).MaxTransferSectors, 128);
    EXPECT_EQ(state.Record(2).MaxTransferSectors, 250);
    EXPECT_EQ(state.Record(3).MaxTransferSectors, 16);
}

TEST_F(Probe, ModelFirmwareSerialAndRemovable) {
    sim.AddDrive(0)
        .Sectors(10)
        .Vendor("IBM")
        .Product("DTLA-307030")
        .Revision("TX4OA50")
        .Serial("  yhdyhcx1234  ");
    sim.AddDrive(1)
        .Sectors(10)
        .Product("WDC WD800JB-00JJC0")
        .Revision("05.01C05")
        .Serial("202020202020202020204457572D414331563332");
    sim.AddDrive(2)
        .Sectors(10)
        .Vendor("USB")
        .Product("Stick")
        .Revision("123456789")
        .Serial("abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHI")
        .Removable();
    ASSERT_TRUE(Run());
    const auto& a = state.Record(1);
    EXPECT_EQ(std::string(a.Model, 40), "IBM DTLA-307030         " + std::string(16, '\0'));
    EXPECT_EQ(std::string(a.Firmware, 8), "TX4OA50 ");
    EXPECT_EQ(FieldText(a.SerialNumber), "yhdyhcx1234");
    EXPECT_EQ(a.RemovableMedia, 0);
    const auto& b = state.Record(2);
    EXPECT_EQ(FieldText(b.Model), "WDC WD800JB-00JJC0      ");
    EXPECT_EQ(std::string(b.Firmware, 8), "05.01C05");
    EXPECT_EQ(FieldText(b.SerialNumber), "WD-WCAV123");
    const auto& c = state.Record(3);
    EXPECT_EQ(std::string(c.Firmware, 8), "12345678");
    // 40 upper-case characters, fitted to the 20 of the field.
    EXPECT_EQ(std::string(c.SerialNumber, 20), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(c.RemovableMedia, 1);
}

TEST_F(Probe, BusTypeAboveEightSendsNoInquiry) {
    sim.AddDrive(0).Sectors(10).Bus(BusTypeSata).InquiryByte13(1);
    sim.AddDrive(1).Sectors(10).Bus(BusTypeUsb).InquiryByte13(1);
    sim.AddDrive(2).Sectors(10).Bus(BusTypeAta).InquiryByte13(0xFE);
    ASSERT_TRUE(Run());
    EXPECT_EQ(state.Record(1).BusType, 11);
    EXPECT_EQ(BusTypeName(state.Record(1).BusType), "UNKNOWN");
    EXPECT_EQ(state.Record(1).DriveNumber, 0);
    EXPECT_EQ(state.Record(2).DriveNumber, 0);
    EXPECT_EQ(state.Record(3).DriveNumber, 0);  // only bit 0 counts
    int inquiries = 0;
    for (const auto& e : sim.Calls(Call::Control)) {
        if (e.code == IOCTL_SCSI_GET_INQUIRY_DATA) {
            ++inquiries;
            EXPECT_EQ(e.drive, 2);
        }
    }
    EXPECT_EQ(inquiries, 1);
}

TEST_F(Probe, FailingInquiryGivesDriveNumberZero) {
    sim.AddDrive(0)
        .Sectors(10)
        .Bus(BusTypeAta)
        .InquiryByte13(1)
        .FailControl(IOCTL_SCSI_GET_INQUIRY_DATA, ERROR_INVALID_FUNCTION);
    sim.AddDrive(1).Sectors(10).Bus(BusTypeAta).InquiryByte13(1).FailControl(IOCTL_SCSI_GET_INQUIRY_DATA, 0);
    ASSERT_TRUE(Run());
    EXPECT_EQ(state.DrivesFound, 2);
    EXPECT_EQ(state.Record(1).DriveNumber, 0);
    EXPECT_EQ(state.Record(2).DriveNumber, 0);
    EXPECT_TRUE(fatal.calls.empty());
}

// A length or property query that fails ends the probe with the system's text; no later drive
// is opened and the failing drive's handle is closed.
struct FatalCase {
    std::uint32_t code;
    std::optional<std::uint32_t> propertyId;
    std::uint32_t error;
    const char* text;
};

TEST_F(Probe, FailingLengthOrPropertyQueryIsFatal) {
    const FatalCase cases[] = {
        {IOCTL_DISK_GET_LENGTH_INFO, std::nullopt, ERROR_NOT_READY,
         "Error accessing device: The device is not ready"},
        {IOCTL_STORAGE_QUERY_PROPERTY, StorageAdapterProperty, ERROR_ACCESS_DENIED,
         "Error accessing device: Access is denied"},
        {IOCTL_STORAGE_QUERY_PROPERTY, StorageDeviceProperty, ERROR_IO_DEVICE,
         "Error accessing device: The request could not be performed because of an I/O device error"},
        {IOCTL_DISK_GET_LENGTH_INFO, std::nullopt, ERROR_DEVICE_NOT_CONNECTED,
         "Error accessing device: The device is not connected"},  // gone after the geometry call
        {IOCTL_DISK_GET_LENGTH_INFO, std::nullopt, 0xDEAD, "Error accessing device: "},  // no system text
    };
    for (const auto& c : cases) {
        SimPlatform s;
        RunState st;
        FatalRecorder f;
        AddPlainDrive(s, 0);
        AddPlainDrive(s, 2);
        AddPlainDrive(s, 4);
        s.Drive(2).faults.controlFails[{c.code, c.propertyId}] = c.error;
        EXPECT_FALSE(ProbeDrives(s, st, f));
        ASSERT_EQ(f.calls.size(), 1u);
        EXPECT_EQ(f.calls[0].first, c.text);
        EXPECT_EQ(f.calls[0].second, "Error");
        EXPECT_EQ(st.DrivesFound, 1);
        EXPECT_EQ(TriedDrives(s), (std::vector<int>{0, 1, 2}));
        const auto journal = s.Journal();
        ASSERT_FALSE(journal.empty());
        EXPECT_EQ(journal.back().call, Call::Close);  // the failing drive's handle, closed last
        EXPECT_EQ(journal.back().drive, 2);
        EXPECT_TRUE(journal.back().ok);
    }
}

TEST_F(Probe, FailureWithCodeZeroCountsAsSuccess) {
    sim.AddDrive(0)
        .Sectors(1000)
        .Product("DISK")
        .FailControl(IOCTL_DISK_GET_DRIVE_GEOMETRY, 0)
        .FailControl(IOCTL_DISK_GET_LENGTH_INFO, 0)
        .FailControl(IOCTL_STORAGE_QUERY_PROPERTY, 0, StorageAdapterProperty)
        .FailControl(IOCTL_STORAGE_QUERY_PROPERTY, 0, StorageDeviceProperty);
    ASSERT_TRUE(Run());
    EXPECT_TRUE(fatal.calls.empty());
    ASSERT_EQ(state.DrivesFound, 1);
    // The values come from the buffers as the failed calls left them: zero.
    const auto& r = state.Record(1);
    EXPECT_EQ(r.SectorCount, 0);
    EXPECT_EQ(r.BytesPerSector, 512);
    EXPECT_EQ(r.BusType, 0);
    EXPECT_EQ(FieldText(r.Model), std::string(24, ' '));
}

TEST_F(Probe, GeometryFailureSkipsSilently) {
    sim.AddDrive(0).Sectors(10).FailControl(IOCTL_DISK_GET_DRIVE_GEOMETRY, ERROR_NOT_READY);
    sim.AddDrive(1).Sectors(10);
    ASSERT_TRUE(Run());
    EXPECT_TRUE(fatal.calls.empty());
    EXPECT_EQ(state.DrivesFound, 1);
    EXPECT_EQ(state.Record(1).DevicePath, "\\\\.\\PhysicalDrive1");
    // Nothing more is asked of the skipped drive.
    int onDrive0 = 0;
    for (const auto& e : sim.Calls(Call::Control)) onDrive0 += e.drive == 0;
    EXPECT_EQ(onDrive0, 1);
}

TEST_F(Probe, OpenWithNonZeroLastErrorStillProbes) {
    sim.AddDrive(0).Sectors(10).OpenWithLastError(183);
    ASSERT_TRUE(Run());
    EXPECT_EQ(state.DrivesFound, 1);
}

TEST_F(Probe, DriveGoneAfterOpenIsSkipped) {
    // A drive gone between the open and the first query fails the geometry call: skipped.
    sim.AddDrive(0).Sectors(10).VanishAfterOpen();
    sim.AddDrive(1).Sectors(10);
    ASSERT_TRUE(Run());
    EXPECT_EQ(state.DrivesFound, 1);
    EXPECT_TRUE(fatal.calls.empty());
}

}  // namespace
}  // namespace orm
