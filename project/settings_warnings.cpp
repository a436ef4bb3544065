#include "project/settings_warnings.h"

#include "project/log_texts.h"
#include "protocol/number_format.h"

namespace pelvanor {

using detail::kWarn;

std::vector<std::string> SettingsWarnings(const AdjustmentSettings& set, char decimal) {
    std::vector<std::string> out;
    const auto line = [&](const char* name, const std::string& value, const char* range) {
        out.push_back(std::string(kWarn) + "Nastavení „" + name + "“ = " + value +
                      " je mimo smysluplný rozsah (" + range + ")");
    };
    // Negative: not even the first pass runs.
    if (set.MaxIterations < 0)
        line("Maximální počet iterací", std::to_string(set.MaxIterations), "0 a více");
    // At 0 or below the change test is never met and every iteration runs to
    // its limit; from 100 on the adjustment passes are never entered.
    if (!(set.Tolerance > 0.0L && set.Tolerance < 100.0L))
        line("Tolerance výpočtu", FormatGeneral(set.Tolerance, decimal), "větší než 0 a menší než 100");
    // 0 % and 100 % leave no quantile of the F distribution.
    if (set.SignificancePercent < 1 || set.SignificancePercent > 99)
        line("Hladina významnosti v procentech", std::to_string(set.SignificancePercent), "1 až 99");
    if (set.RobustWeightPercent < 0 || set.RobustWeightPercent > 100)
        line("Váha pro robustní odhad v procentech", std::to_string(set.RobustWeightPercent), "0 až 100");
    // A spatial similarity datum (7 parameters) needs three fixed points;
    // with fewer the pseudo-inverse picks the coordinates' frame itself.
    if (set.FixedPointCount < 3)
        line("Počet pevných bodů pro stabilizaci svazkového vyrovnání", std::to_string(set.FixedPointCount),
             "3 a více");
    // 0 takes no point (the selection fails), above 100 the step rounds to
    // every point or to none.
    if (set.PointPercent < 1 || set.PointPercent > 100)
        line("Body vstupujících do svazkového vyrovnání v procentech", std::to_string(set.PointPercent),
             "1 až 100");
    return out;
}

}  // namespace pelvanor
