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

// What a field shows reads back to the value it shows, in either notation.
TEST(SettingFieldText, ReadsBackToTheSameSettings) {
    AdjustmentSettings shown;
    shown.MaxIterations = -7;
    shown.Tolerance = 1.25e-5L;
    shown.SignificancePercent = 2147483647;
    shown.RobustWeightPercent = 0;
    shown.FixedPointCount = 12;
    shown.PointPercent = 75;
    for (const char decimal : {',', '.'}) {
        EXPECT_EQ(SettingFieldText(SettingField::Tolerance, shown, decimal), std::string("1") + decimal + "25E-5");
        AdjustmentSettings read;
        for (const SettingField field :
             {SettingField::MaxIterations, SettingField::Tolerance, SettingField::SignificancePercent,
              SettingField::RobustWeightPercent, SettingField::FixedPointCount, SettingField::PointPercent})
            ASSERT_TRUE(StoreSettingField(field, SettingFieldText(field, shown, decimal), decimal, read));
        EXPECT_EQ(read.MaxIterations, shown.MaxIterations);
        EXPECT_EQ(read.Tolerance, shown.Tolerance);
        EXPECT_EQ(read.SignificancePercent, shown.SignificancePercent);
        EXPECT_EQ(read.RobustWeightPercent, shown.RobustWeightPercent);
        EXPECT_EQ(read.FixedPointCount, shown.FixedPointCount);
        EXPECT_EQ(read.PointPercent, shown.PointPercent);
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
