// The fluent builder of simulated drives: each setter changes one field of the drive's description.
#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_state.h"

namespace orm::sim {

DriveSpec& DriveBuilder::Params() {
    if (m_swap) {
        std::lock_guard lock(m_platform.m_impl->mutex);
        return m_platform.m_impl->swaps.at(m_number)->params;
    }
    return m_platform.Drive(m_number);
}

DriveBuilder& DriveBuilder::Bus(std::uint8_t busType) {
    Params().busType = busType;
    return *this;
}
DriveBuilder& DriveBuilder::SectorSize(std::uint32_t reported) {
    Params().reportedSectorSize = reported;
    if (m_sectors) Params().length = *m_sectors * static_cast<std::int64_t>(reported);
    return *this;
}
DriveBuilder& DriveBuilder::Length(std::int64_t bytes) {
    m_sectors.reset();
    Params().length = bytes;
    return *this;
}
DriveBuilder& DriveBuilder::Sectors(std::int64_t count) {
    m_sectors = count;
    Params().length = count * static_cast<std::int64_t>(Params().reportedSectorSize);
    return *this;
}
DriveBuilder& DriveBuilder::MaxTransfer(std::uint32_t bytes) {
    Params().maxTransferLength = bytes;
    return *this;
}
DriveBuilder& DriveBuilder::Removable(bool removable) {
    Params().removable = removable;
    return *this;
}
DriveBuilder& DriveBuilder::Vendor(const std::string& text) {
    Params().vendor = text;
    return *this;
}
DriveBuilder& DriveBuilder::Product(const std::string& text) {
    Params().product = text;
    return *this;
}
DriveBuilder& DriveBuilder::Revision(const std::string& text) {
    Params().revision = text;
    return *this;
}
DriveBuilder& DriveBuilder::Serial(const std::string& text) {
    Params().serial = text;
    return *this;
}
DriveBuilder& DriveBuilder::DeviceDescriptor(const std::vector<std::uint8_t>& rawAnswer) {
    Params().rawDeviceDescriptor = rawAnswer;
    return *this;
}
DriveBuilder& DriveBuilder::InquiryByte13(std::uint8_t value) {
    Params().inquiryByte13 = value;
    return *this;
}
DriveBuilder& DriveBuilder::Identify(const std::array<std::uint8_t, 512>& block) {
    Params().identify = block;
    return *this;
}
DriveBuilder& DriveBuilder::Smart(const std::array<std::uint8_t, 512>& block) {
    Params().smart = block;
    return *this;
}
DriveBuilder& DriveBuilder::SmartEnabled(bool enabled) {
    Params().smartEnabled = enabled;
    return *this;
}
DriveBuilder& DriveBuilder::Image(const std::string& path) {
    Params().imageFile = path;
    return *this;
}
DriveBuilder& DriveBuilder::QueueDepth(std::uint32_t depth, bool completeNewestFirst) {
    Params().queueDepth = depth;
    Params().completeNewestFirst = completeNewestFirst;
    return *this;
}
DriveBuilder& DriveBuilder::FailOpen(std::uint32_t error) {
    Params().faults.openError = error;
    return *this;
}
DriveBuilder& DriveBuilder::OpenWithLastError(std::uint32_t error) {
    Params().faults.openLastError = error;
    return *this;
}
DriveBuilder& DriveBuilder::FailControl(std::uint32_t code, std::uint32_t error,
                                        std::optional<std::uint32_t> propertyId) {
    Params().faults.controlFails[ControlKey{code, propertyId}] = error;
    return *this;
}
DriveBuilder& DriveBuilder::ControlReturns(std::uint32_t code, std::uint32_t bytesReturned,
                                           std::optional<std::uint32_t> propertyId) {
    Params().faults.controlReturns[ControlKey{code, propertyId}] = bytesReturned;
    return *this;
}
DriveBuilder& DriveBuilder::FailSeekAt(std::int64_t offset, std::uint32_t error) {
    Params().faults.seekFails[offset] = error;
    return *this;
}
DriveBuilder& DriveBuilder::SeekReportsAt(std::int64_t offset, std::int64_t reported) {
    Params().faults.seekReports[offset] = reported;
    return *this;
}
DriveBuilder& DriveBuilder::FailWriteAt(std::int64_t offset, std::uint32_t error) {
    Params().faults.writeFails[offset] = error;
    return *this;
}
DriveBuilder& DriveBuilder::ShortWriteAt(std::int64_t offset, std::uint32_t written) {
    Params().faults.shortWrites[offset] = written;
    return *this;
}
DriveBuilder& DriveBuilder::FailFlush(std::uint32_t error) {
    Params().faults.flushError = error;
    return *this;
}
DriveBuilder& DriveBuilder::RefuseSmartEnable() {
    Params().faults.refuseSmartEnable = true;
    return *this;
}
DriveBuilder& DriveBuilder::SmartReadReturns(std::uint32_t bytes, bool noHeader) {
    Params().faults.smartReadReturns = bytes;
    Params().faults.smartReadNoHeader = noHeader;
    return *this;
}
DriveBuilder& DriveBuilder::IdentifyReturns(std::uint32_t bytes) {
    Params().faults.identifyReturns = bytes;
    return *this;
}
DriveBuilder& DriveBuilder::DriverStatusError(std::uint8_t driverError) {
    Params().faults.driverError = driverError;
    return *this;
}
DriveBuilder& DriveBuilder::NativeMaxAddress(std::uint64_t address) {
    Params().nativeMaxAddress = address;
    return *this;
}
DriveBuilder& DriveBuilder::DcoMaxAddress(std::uint64_t address) {
    Params().dcoMaxAddress = address;
    return *this;
}
DriveBuilder& DriveBuilder::AbortAtaCommand(std::uint8_t command) {
    Params().faults.abortedCommands.push_back(command);
    return *this;
}
DriveBuilder& DriveBuilder::VanishAfterOpen() {
    Params().faults.vanishAfterOpen = true;
    return *this;
}
DriveBuilder& DriveBuilder::VanishAt(std::int64_t offset, std::uint32_t error) {
    Params().faults.vanishAt = offset;
    Params().faults.vanishError = error;
    return *this;
}

}  // namespace orm::sim
