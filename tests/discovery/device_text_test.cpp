// The identification's text rules: trimming, descriptor texts, model, firmware, serial, bus names.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "discovery/device_text.h"
#include "discovery/probe.h"

namespace orm {
namespace {

TEST(TrimText, CutsEveryByteUpTo32AtBothEnds) {
    EXPECT_EQ(TrimText("  abc \t\r\n"), "abc");
    EXPECT_EQ(TrimText(std::string("\x01\x1f a b \x20", 7)), "a b");
    EXPECT_EQ(TrimText("    "), "");
    EXPECT_EQ(TrimText(""), "");
    // Bytes above 127 are characters, not blanks.
    EXPECT_EQ(TrimText("\xe9t\xe9 "), "\xe9t\xe9");
}

TEST(DescriptorText, StopsAtZeroAtReturnedAndAtBufferEnd) {
    std::vector<std::uint8_t> buf(64, 0);
    std::memcpy(&buf[40], "ABCDEF", 6);
    EXPECT_EQ(DescriptorText(buf, 40, 64), "ABCDEF");
    EXPECT_EQ(DescriptorText(buf, 0, 64), "");      // offset 0: no text
    EXPECT_EQ(DescriptorText(buf, 40, 43), "ABC");  // cut where the answer ends
    EXPECT_EQ(DescriptorText(buf, 43, 43), "");
    EXPECT_EQ(DescriptorText(buf, 400, 512), "");  // past the buffer
    EXPECT_EQ(DescriptorText(buf, 0xFFFFFFFFu, 0xFFFFFFFFu), "");
    std::fill(buf.begin() + 40, buf.end(), 'x');  // no terminating zero at all
    EXPECT_EQ(DescriptorText(buf, 60, 1000), "xxxx");
}

TEST(ModelAndFirmware, FieldRules) {
    EXPECT_EQ(ModelText("IBM", "DTLA-307030"), "IBM DTLA-307030         ");
    EXPECT_EQ(ModelText("", "WDC WD800JB-00JJC0"), "WDC WD800JB-00JJC0      ");
    EXPECT_EQ(ModelText("ACME", ""), "ACME                    ");
    EXPECT_EQ(ModelText("", ""), std::string(24, ' '));
    EXPECT_EQ(ModelText("VENDORXX", "A VERY LONG PRODUCT NAME HERE"), "VENDORXX A VERY LONG PRO");
    EXPECT_EQ(FirmwareText("3.06A"), "3.06A   ");
    EXPECT_EQ(FirmwareText("123456789"), "12345678");
    EXPECT_EQ(FirmwareText(""), "        ");
}

TEST(DecodeSerial, SerialTable) {
    const std::string usbHex = "0123456789ABCDEF0123456789abcdef01234567";  // a USB stick's serial
    const std::string plain40 = "SerialNumberOfAUsbDiskThatIsFortyCharsXY";
    const std::string s41 = "abcdefghijklmnopqrstuvwxyz0123456789ABCDE";
    const struct {
        std::string given, serial, field;  // field: the 20 characters the table stores
    } cases[] = {
        // Five groups of blanks, then "WD-WCAV123" with each character pair swapped; lower case
        // a-f decodes like upper case, "_" and blanks stand for "2".
        {"202020202020202020204457572D414331563332", "WD-WCAV123", "WD-WCAV123"},
        {"202020202020202020204457572d414331563332", "WD-WCAV123", "WD-WCAV123"},
        {"_0_0 0 0 0 0 0 0 0 04457572D414331563332", "WD-WCAV123", "WD-WCAV123"},
        // Hexadecimal that decodes to control bytes, or characters that are not hexadecimal: kept.
        {usbHex, usbHex, usbHex.substr(0, 20)},
        {plain40, plain40, plain40.substr(0, 20)},
        {"2020202020202020202G4457572D414331563332", "2020202020202020202G4457572D414331563332",
         "2020202020202020202G"},
        {"AA20202020202020202020202020202020202020", "AA20202020202020202020202020202020202020",
         "AA202020202020202020"},  // 0xAA is not printable
        {"abc123xyz789abc123xyz789", "abc123xyz789abc123xyz789", "abc123xyz789abc123xy"},  // 24: as given
        {s41, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCD", "ABCDEFGHIJKLMNOPQRST"},  // 41: 40 in upper case
        {"serial" + std::string(34, ' ') + "tail", "SERIAL", "SERIAL"},  // the cut at 40 leaves blanks
        {"", "", ""},
    };
    for (const auto& c : cases) {
        const std::string serial = DecodeSerial(c.given);
        EXPECT_EQ(serial, c.serial) << c.given;
        char field[20];
        StoreSerialNumber(serial, field);
        EXPECT_EQ(std::string(field, strnlen(field, 20)), c.field) << c.given;
    }
}

TEST(StoreSerialNumber, FitsTwentyCharactersAndZeroFills) {
    char field[20];
    std::memset(field, 'Z', sizeof field);
    StoreSerialNumber("S123", field);
    EXPECT_EQ(std::string(field, 4), "S123");
    for (std::size_t i = 4; i < 20; ++i) EXPECT_EQ(field[i], '\0') << i;
    StoreSerialNumber("ABCDEFGHIJKLMNOPQRSTUVWXYZ", field);
    EXPECT_EQ(std::string(field, 20), "ABCDEFGHIJKLMNOPQRST");
}

TEST(BusTypeName, NameTable) {
    const struct {
        std::int64_t code;
        const char* name;
    } cases[] = {
        {0, "UNKNOWN"},   {1, "SCSI"},      {2, "ATAPI"},    {3, "ATA"},
        {4, "IEEE 1394"}, {5, "SSA"},       {6, "FIBRE"},    {7, "USB"},
        {8, "RAID"},      {9, "ISCSI"},     {10, "SAS"},     {11, "UNKNOWN"},
        {12, "SD"},       {13, "MMC"},      {14, "VIRTUAL"}, {15, "FILEVIRTUAL"},
        {16, "SPACES"},   {17, "NVME"},     {18, "SCM"},     {19, "UFS"},
        {20, "UNKNOWN"},  {255, "UNKNOWN"}, {-1, "UNKNOWN"}, {0x100000011LL, "NVME"}};  // low 32 bits
    for (const auto& c : cases) EXPECT_EQ(BusTypeName(c.code), c.name) << c.code;
}

}  // namespace
}  // namespace orm
