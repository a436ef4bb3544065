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

namespace pelvanor {
namespace {

// A refused field is named with the form it takes; the slip of the other
// decimal separator is named as such.
TEST(SettingsRefusal, NamesTheFieldTheTextAndTheForm) {
    EXPECT_EQ(SettingFieldRefusal(SettingField::Tolerance, "0.05", ','),
              "„Tolerance výpočtu“: „0.05“ není číslo s desetinnou čárkou (například 0,1); desetinná tečka platí "
              "jen ve vstupních souborech");
    EXPECT_EQ(SettingFieldRefusal(SettingField::Tolerance, "x", '.'),
              "„Tolerance výpočtu“: „x“ není číslo s desetinnou tečkou (například 0.1)");
    EXPECT_EQ(SettingFieldRefusal(SettingField::PointPercent, "100 ", ','),
              "„Body vstupujících do svazkového vyrovnání v procentech“: „100 “ není celé číslo (jen číslice, před "
              "nimi smí být mezery a znaménko; například 20)");
}

}  // namespace
}  // namespace pelvanor
