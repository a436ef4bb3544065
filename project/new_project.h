#pragma once
// "Soubor" > "Načíst projekt" begins a new project: nothing computed from
// the inputs loaded before may stay behind the new ones, where a result
// item would show or save it under the new project's name.

#include "project/command_host.h"
#include "project/project_state.h"

namespace pelvanor {

// The items of "Výsledky" that a computation enables, "Grafy" and the
// result windows among them; all are disabled when the program starts.
inline constexpr UiItem kResultItems[] = {
    UiItem::Opravensnmkovsouadnice1, UiItem::Snmkovsouadnice2, UiItem::Orientace2,
    UiItem::Piblineenvnjorientace1,  UiItem::Svazkovvyrovnn2,  UiItem::SouadniceXYZ2,
    UiItem::Protokoly1,              UiItem::Kompletn1,        UiItem::Pouzesouadnice1,
    UiItem::Grafy1,                  UiItem::Kontrolnbody1,    UiItem::Kontrolnbody2,
    UiItem::Tabulkavsledk1,          UiItem::Exportovatbody1,  UiItem::Kalibracekamery2,
    UiItem::Kalibracekamery3,        UiItem::Pevztkalibrovanoukameru1,
};

// Releases every result of the state (ProjectState::ReleaseResults) and
// disables the result items as at the start.  The loaded inputs, the camera
// and the settings stay until the new project's loads replace them; the
// log is the front end's and keeps its lines.
void StartNewProject(ProjectState& state, CommandHost& host);

}  // namespace pelvanor
