#pragma once
// The conversion rules of the fields of "Nastavení", shared by the settings
// dialog and the batch command's options, so that both refuse exactly the
// same texts.  There is no range test: zero and negative values are stored
// as typed.

#include <cstdint>
#include <string>
#include <string_view>

#include "matrix/project_parameters.h"

namespace pelvanor {

// A whole number of a settings field: leading blanks, an optional sign and
// decimal digits, nothing after them; it must fit 32 bits.
bool ParseSettingInteger(std::string_view text, std::int32_t& value);

// The typed fields of "Nastavení", in the order "Použít" converts them.
enum class SettingField {
    MaxIterations,        // "Maximální počet iterací"
    Tolerance,            // "Tolerance výpočtu"
    SignificancePercent,  // "Hladina významnosti v procentech"
    RobustWeightPercent,  // "Váha pro robustní odhad v procentech"
    FixedPointCount,      // "Počet pevných bodů pro stabilizaci svazkového vyrovnání"
    PointPercent,         // the percentage of points entering the adjustment
    ImageSigma,           // a priori sigma of the image coordinates, above 0
    ControlSigmaXY,       // sigma of the control points in X and Y (metres, 0 or more)
    ControlSigmaZ,        // sigma of the control points in Z (metres, 0 or more)
};

// Converts `text` by the field's rule (a whole number as ParseSettingInteger
// reads it; the tolerance and the sigmas reals in the notation of
// `decimal`, as a window field) and stores it into the field's member of
// `settings`.  False, with `settings` unchanged, when the text does not
// convert.  The sigmas alone are range-tested: the image sigma must be
// above 0 (it divides), the control sigmas 0 or more (0: no weight).
bool StoreSettingField(SettingField field, std::string_view text, char decimal, AdjustmentSettings& settings);

// The text the field shows for the field's member of `settings`: a whole
// number in decimal digits, the tolerance and the sigmas in the general number format with
// `decimal`.  StoreSettingField reads it back to the same value.
std::string SettingFieldText(SettingField field, const AdjustmentSettings& settings, char decimal);

// The caption of the field in "Nastavení".
const char* SettingFieldCaption(SettingField field);

// The line that says why StoreSettingField refused `text`: the field's
// caption, the text as typed and the form the field takes, e.g.
// "„Tolerance výpočtu“: „0.05“ není číslo s desetinnou čárkou (například 0,1)".
std::string SettingFieldRefusal(SettingField field, std::string_view text, char decimal);

}  // namespace pelvanor
