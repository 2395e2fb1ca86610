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

TEST(DecodeSerial, HexadecimalFortyCharacters) {
    // Five groups of blanks, then "WD-WCAV123" with each character pair swapped.
    EXPECT_EQ(DecodeSerial("20202020202020202020"
                           "4457572D414331563332"),
              "WD-WCAV123");
    // Lower case a-f decodes like upper case; "_" and blanks stand for "2".
    EXPECT_EQ(DecodeSerial("20202020202020202020"
                           "4457572d414331563332"),
              "WD-WCAV123");
    EXPECT_EQ(DecodeSerial("_0_0 0 0 0 0 0 0 0 0"
                           "4457572D414331563332"),
              "WD-WCAV123");
    // Any other character empties the serial.
    EXPECT_EQ(DecodeSerial("2020202020202020202G"
                           "4457572D414331563332"),
              "");
    EXPECT_EQ(DecodeSerial("20202020202020202020"
                           "4457572D41433156333-"),
              "");
}

TEST(DecodeSerial, OtherLengths) {
    EXPECT_EQ(DecodeSerial("abc123xyz789"), "abc123xyz789");  // short: case kept
    EXPECT_EQ(DecodeSerial(""), "");
    const std::string s45 =
        "abcdefghij"
        "klmnopqrst"
        "uvwxyz0123"
        "456789ABCD"
        "EFGHI";
    EXPECT_EQ(DecodeSerial(s45), "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCD");
    // The cut at 40 can leave blanks at the end, which the trim removes.
    EXPECT_EQ(DecodeSerial("serial" + std::string(34, ' ') + "tail"), "SERIAL");
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
    } cases[] = {{0, "UNKNOWN"},   {1, "SCSI"},     {2, "ATAPI"},          {3, "ATA"},
                 {4, "IEEE 1394"}, {5, "SSA"},      {6, "FIBRE"},          {7, "USB"},
                 {8, "RAID"},      {9, "UNKNOWN"},  {11, "UNKNOWN"},       {17, "UNKNOWN"},
                 {255, "UNKNOWN"}, {-1, "UNKNOWN"}, {0x100000003LL, "ATA"}};  // only the low 32 bits count
    for (const auto& c : cases) EXPECT_EQ(BusTypeName(c.code), c.name) << c.code;
}

}  // namespace
}  // namespace orm
