// "Výpočty" > "Oprava distorze" and "Výsledky" > "Oprava distorze": the lens
// distortion correction of the loaded tables and the saving of its results.

#include "app/tpelvanor.h"

namespace pelvanor {

// Corrects the image coordinates.
void TPelvanor::Snmkovsouadnice1Click() {}

// Corrects the image coordinates of the control points.
void TPelvanor::Orientace1Click() {}

// Saves the corrected image coordinates.
void TPelvanor::Snmkovsouadnice2Click() {}

// Saves the corrected control points.
void TPelvanor::Orientace2Click() {}

}  // namespace pelvanor
