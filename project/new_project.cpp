#include "project/new_project.h"

namespace pelvanor {

void StartNewProject(ProjectState& state, CommandHost& host) {
    state.ReleaseResults();
    for (UiItem item : kResultItems) host.SetItemEnabled(item, false);
}

}  // namespace pelvanor
