#include "project/settings_fields.h"

#include <limits>

#include "input/number_parse.h"
#include "protocol/number_format.h"

namespace pelvanor {

bool ParseSettingInteger(std::string_view text, std::int32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    // Accumulate towards the negative side, which holds one more value.
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > -kMin) return false;
    }
    const std::int64_t result = negative ? -magnitude : magnitude;
    if (result > std::numeric_limits<std::int32_t>::max()) return false;
    value = static_cast<std::int32_t>(result);
    return true;
}

bool StoreSettingField(SettingField field, std::string_view text, char decimal, AdjustmentSettings& settings) {
    if (field == SettingField::Tolerance) {
        long double real = 0.0L;
        if (!ParseFieldNumber(text, decimal, real)) return false;
        settings.Tolerance = real;
        return true;
    }
    if (field == SettingField::ImageSigma || field == SettingField::ControlSigmaXY ||
        field == SettingField::ControlSigmaZ) {
        long double real = 0.0L;
        if (!ParseFieldNumber(text, decimal, real)) return false;
        if (field == SettingField::ImageSigma) {
            if (!(real > 0.0L)) return false;
            settings.ImageSigma = real;
        } else {
            if (!(real >= 0.0L)) return false;
            (field == SettingField::ControlSigmaXY ? settings.ControlSigmaXY : settings.ControlSigmaZ) = real;
        }
        return true;
    }
    std::int32_t whole = 0;
    if (!ParseSettingInteger(text, whole)) return false;
    switch (field) {
        case SettingField::MaxIterations: settings.MaxIterations = whole; break;
        case SettingField::SignificancePercent: settings.SignificancePercent = whole; break;
        case SettingField::RobustWeightPercent: settings.RobustWeightPercent = whole; break;
        case SettingField::FixedPointCount: settings.FixedPointCount = whole; break;
        case SettingField::PointPercent: settings.PointPercent = whole; break;
        case SettingField::Tolerance:
        case SettingField::ImageSigma:
        case SettingField::ControlSigmaXY:
        case SettingField::ControlSigmaZ: break;
    }
    return true;
}

std::string SettingFieldText(SettingField field, const AdjustmentSettings& settings, char decimal) {
    switch (field) {
        case SettingField::MaxIterations: return std::to_string(settings.MaxIterations);
        case SettingField::Tolerance: return FormatGeneral(settings.Tolerance, decimal);
        case SettingField::SignificancePercent: return std::to_string(settings.SignificancePercent);
        case SettingField::RobustWeightPercent: return std::to_string(settings.RobustWeightPercent);
        case SettingField::FixedPointCount: return std::to_string(settings.FixedPointCount);
        case SettingField::PointPercent: return std::to_string(settings.PointPercent);
        case SettingField::ImageSigma: return FormatGeneral(settings.ImageSigma, decimal);
        case SettingField::ControlSigmaXY: return FormatGeneral(settings.ControlSigmaXY, decimal);
        case SettingField::ControlSigmaZ: return FormatGeneral(settings.ControlSigmaZ, decimal);
    }
    return std::string();
}

const char* SettingFieldCaption(SettingField field) {
    switch (field) {
        case SettingField::MaxIterations: return "Maximální počet iterací";
        case SettingField::Tolerance: return "Tolerance výpočtu";
        case SettingField::SignificancePercent: return "Hladina významnosti v procentech";
        case SettingField::RobustWeightPercent: return "Váha pro robustní odhad v procentech";
        case SettingField::FixedPointCount: return "Počet pevných bodů pro stabilizaci svazkového vyrovnání";
        case SettingField::PointPercent: return "Body vstupujících do svazkového vyrovnání v procentech";
        case SettingField::ImageSigma: return "Apriorní směrodatná odchylka snímkových souřadnic";
        case SettingField::ControlSigmaXY: return "Směrodatná odchylka vlícovacích bodů v X a Y [m]";
        case SettingField::ControlSigmaZ: return "Směrodatná odchylka vlícovacích bodů v Z [m]";
    }
    return "";
}

std::string SettingFieldRefusal(SettingField field, std::string_view text, char decimal) {
    std::string line = std::string("„") + SettingFieldCaption(field) + "“: „" + std::string(text) + "“ ";
    const bool real = field == SettingField::Tolerance || field == SettingField::ImageSigma ||
                      field == SettingField::ControlSigmaXY || field == SettingField::ControlSigmaZ;
    if (!real) return line + "není celé číslo (jen číslice, před nimi smí být mezery a znaménko; například 20)";
    if (field == SettingField::ImageSigma)
        line += decimal == ',' ? "není kladné číslo s desetinnou čárkou (například 0,006)"
                               : "není kladné číslo s desetinnou tečkou (například 0.006)";
    else if (field == SettingField::Tolerance)
        line += decimal == ',' ? "není číslo s desetinnou čárkou (například 0,1)" : "není číslo s desetinnou tečkou (například 0.1)";
    else
        line += decimal == ',' ? "není nezáporné číslo s desetinnou čárkou (například 0,01)"
                               : "není nezáporné číslo s desetinnou tečkou (například 0.01)";
    // The other separator is the usual slip: named.
    const char other = decimal == ',' ? '.' : ',';
    if (text.find(other) != std::string_view::npos)
        line += decimal == ',' ? "; desetinná tečka platí jen ve vstupních souborech" : "; desetinnou čárku tento systém nepoužívá";
    return line;
}

}  // namespace pelvanor
