// The three computing commands of "Výpočty": the window runs the same
// Qt-free commands that the tests test and that any other front end runs.
// Each clears OrientationLogged first, so that the orientation's success
// lines reach the log once per command, then runs its pipeline, which writes
// its own log lines and switches the result items.

#include "project/bundle_pipeline.h"
#include "project/object_points_pipeline.h"
#include "project/orientation_pipeline.h"
#include "app/tpelvanor.h"

namespace pelvanor {

// "Přibližná vnější orientace".
void TPelvanor::Piblinvnjorientace1Click() {
    ApproximateOrientationCommand(state_, *this);
}

// "Svazkové vyrovnání".
void TPelvanor::Svazkovvyrovnn1Click() {
    BundleCommand(state_, *this);
}

// "Souřadnice XYZ".
void TPelvanor::SouadniceXYZ1Click() {
    ObjectPointsCommand(state_, *this);
}

}  // namespace pelvanor
