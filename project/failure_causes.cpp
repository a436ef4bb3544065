#include "project/failure_causes.h"

#include "matrix/fp_guard.h"

namespace pelvanor {

std::string AdjustmentFailureText(AdjustmentFailure failure) {
    switch (failure) {
        case AdjustmentFailure::None: return "proběhlo";
        case AdjustmentFailure::MissingInput: return "nemá potřebná vstupní data";
        case AdjustmentFailure::NoPoints: return "nemá žádný bod měřený alespoň na dvou snímcích";
        case AdjustmentFailure::TooLarge: return "má více než 65535 měření nebo neznámých";
        case AdjustmentFailure::TooFewObservations: return "má menší počet měření než neznámých";
        case AdjustmentFailure::NoRedundancy: return "nemá žádné nadbytečné měření";
        case AdjustmentFailure::Memory: return "se nevešlo do dostupné paměti";
        case AdjustmentFailure::Singular: return "má singulární soustavu rovnic";
        case AdjustmentFailure::Divergence: return "nekonverguje";
        case AdjustmentFailure::Fault: return "skončilo přetečením nebo neplatnou operací";
        case AdjustmentFailure::CameraConstantUndetermined:
            return "neurčí konstantu komory (f nelze odlišit od vzdálenosti ve směru záběru)";
        case AdjustmentFailure::Other: break;
    }
    return "selhalo";
}

std::string AdjustmentNotComputedLine(bool withCameraConstant, AdjustmentFailure failure) {
    return std::string("Výpočet svazkového vyrovnání ") +
           (withCameraConstant ? "s konstantou komory" : "bez konstanty komory") +
           " nelze provést - vyrovnání " + AdjustmentFailureText(failure);
}

std::string AdjustmentFailedLogLine(bool withCameraConstant, AdjustmentFailure failure) {
    std::string line = std::string("Chyba - Vyrovnání ") +
                       (withCameraConstant ? "s konstantou komory " : "bez konstanty komory ") +
                       AdjustmentFailureText(failure);
    // The remedy is the user's: the data cannot give this camera constant.
    if (failure == AdjustmentFailure::CameraConstantUndetermined)
        line += " - vypněte „Vyrovnání konstanty komory“ nebo kameru kalibrujte";
    return line;
}

MemoryWatch::MemoryWatch() : start_(AllocationFailureCount()) {}

bool MemoryWatch::Tripped() const { return tripped_ || AllocationFailureCount() != start_; }

}  // namespace pelvanor
