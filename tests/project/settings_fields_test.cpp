// The conversion rules of the settings fields, which the dialog
// "Nastavení" and the batch command's options share.

#include "project/settings_fields.h"

#include <gtest/gtest.h>

namespace pelvanor {
namespace {

TEST(SettingsInteger, DecimalWithLeadingBlanksOnly) {
    const struct {
        const char* text;
        bool ok;
        std::int32_t value;
    } cases[] = {
        {"20", true, 20},           {"  50", true, 50},       {"\t7", true, 7},
        {"+7", true, 7},            {"-3", true, -3},         {"0", true, 0},
        {"2147483647", true, 2147483647}, {"-2147483648", true, -2147483647 - 1},
        {"2147483648", false, 0},   {"-2147483649", false, 0}, {"99999999999999999999", false, 0},
        {"", false, 0},             {" ", false, 0},          {"-", false, 0},
        {"100 ", false, 0},         {"1e2", false, 0},        {"0x10", false, 0},
        {"$10", false, 0},          {"1,0", false, 0},        {"- 1", false, 0},
    };
    for (const auto& c : cases) {
        std::int32_t value = 12345;
        EXPECT_EQ(ParseSettingInteger(c.text, value), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(value, c.ok ? c.value : 12345) << '"' << c.text << '"';
    }
}

}  // namespace
}  // namespace pelvanor
