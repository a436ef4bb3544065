#pragma once
// Why a computation failed, in the words the user reads: the line that
// stands in a protocol in place of an adjustment that could not be
// computed, the log line of a command that needs that adjustment, and the
// log line of a command that ran out of memory.

#include <cstdint>
#include <string>

#include "adjustment/bundle_adjustment.h"

namespace pelvanor {

// The log line of a command that failed because an allocation failed.
inline constexpr const char* kMemoryFailureLine = "Chyba - Nedostatek paměti";

// What the adjustment did, as the end of a sentence whose subject is the
// adjustment: "nekonverguje", "má menší počet měření než neznámých", ...
std::string AdjustmentFailureText(AdjustmentFailure failure);

// The protocol line in place of the block of an adjustment (without or with
// the camera constant) that could not be computed, e.g. "Výpočet
// svazkového vyrovnání s konstantou komory nelze provést - vyrovnání
// nekonverguje".
std::string AdjustmentNotComputedLine(bool withCameraConstant, AdjustmentFailure failure);

// The log line of a command that needs an adjustment that could not be
// computed, e.g. "Chyba - Vyrovnání s konstantou komory nekonverguje".
std::string AdjustmentFailedLogLine(bool withCameraConstant, AdjustmentFailure failure);

// Allocation failures from its construction on: a command compares, so
// that an allocation that failed anywhere in its work fails the whole
// command, also where the step that met it would otherwise be survived.
class MemoryWatch {
public:
    MemoryWatch();
    // An allocation failed since construction (inside a guarded
    // computation, or reported with Trip).
    bool Tripped() const;
    // Records a std::bad_alloc the command caught itself.
    void Trip() { tripped_ = true; }

private:
    std::uint64_t start_;
    bool tripped_ = false;
};

}  // namespace pelvanor
