#pragma once
// The computing commands, for what follows them: the failure diagnosis, the
// result warnings and the hooks of the front ends.

namespace pelvanor {

enum class ComputingCommand { Orientation, Bundle, ObjectPoints };

}  // namespace pelvanor
