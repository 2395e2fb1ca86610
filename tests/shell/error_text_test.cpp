// The system's error text as the boxes show it.
#include <gtest/gtest.h>

#include "common/error_text.h"
#include "platform/sim/sim_platform.h"

namespace orm {
namespace {

// The simulated platform with chosen texts for a few codes.
class TextPlatform : public sim::SimPlatform {
  public:
    std::string ErrorText(std::uint32_t code) override {
        switch (code) {
            case 1:
                return "Trailing dots, blanks and breaks go... \r\n\t";
            case 2:
                return "Inner. dots stay.";
            case 3:
                return std::string(300, 'x') + ".";
            case 4:
                return "....  ";
            case 5:
                return std::string(250, 'y') + "    .....\r\n";
            case 6:
                return "No end";
            case 7:
                return std::string("bell\x07\x7f", 6);
            default:
                return sim::SimPlatform::ErrorText(code);
        }
    }
};

TEST(SystemErrorText, CutsTrailingBlanksControlsAndFullStops) {
    TextPlatform ks;
    const struct {
        std::uint32_t code;
        std::string text;
    } cases[] = {
        {1, "Trailing dots, blanks and breaks go"},
        {2, "Inner. dots stay"},
        {3, std::string(255, 'x')},  // cut to 255 characters first
        {4, ""},
        {5, std::string(250, 'y')},  // what remains of the 255 is trimmed
        {6, "No end"},
        {7, "bell"},
        {5 + 1000, ""},  // a code with no text
        {2000 + 3, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(SystemErrorText(ks, c.code), c.text) << c.code;
}

TEST(SystemErrorText, SimulatedWindowsTexts) {
    sim::SimPlatform ks;
    EXPECT_EQ(SystemErrorText(ks, 5), "Access is denied");
    EXPECT_EQ(SystemErrorText(ks, 21), "The device is not ready");
}

}  // namespace
}  // namespace orm
