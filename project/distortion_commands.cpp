#include "project/distortion_commands.h"

#include "orientation/distortion.h"
#include "project/failure_causes.h"
#include "protocol/number_format.h"

namespace pelvanor {

namespace {

using Correction = bool (*)(const Matice*, MatPtr&, long double, long double, long double,
                            long double, long double, long double, long double, long double);

// Runs one correction: `what` names the table in the log lines, `item` is
// its result item under "Výsledky" > "Oprava distorze".
bool CorrectionCommand(ProjectState& state, CommandHost& host, Correction correct,
                       const Matice* table, MatPtr& result, const std::string& what, UiItem item) {
    if (!host.ReadCameraFields()) {
        host.WriteLog("Chyba - Špatné hodnoty parametrů kamery");
        return false;
    }
    const CameraParameters& c = state.Camera;
    MatPtr corrected;
    const MemoryWatch memory;
    const bool ok = correct(table, corrected, c.x0, c.y0, c.f, c.k1, c.k2, c.k3, c.p1, c.p2);
    if (memory.Tripped()) host.WriteLog(kMemoryFailureLine);
    if (ok) {
        result = std::move(corrected);
        host.WriteLog("Oprava o distorze provedena - " + what);
        host.SetItemEnabled(UiItem::Opravensnmkovsouadnice1, true);
        host.SetItemEnabled(item, true);
        return true;
    }
    host.WriteLog("Chyba - Oprava o distorze nelze provést - " + what);
    host.SetItemEnabled(item, false);
    result.reset();
    return false;
}

std::vector<std::string> SaveCorrected(const Matice* table, const Matice* ranges,
                                       CommandHost& host, const std::string& fileName,
                                       const std::string& logLabel, const std::string& title) {
    if (!table || !ranges) return {};
    table->VypisDoSouboruPocet(false, fileName, *ranges);
    host.WriteLog(logLabel + fileName);
    // The title's length in characters: the Czech letters take two bytes.
    std::size_t length = 0;
    for (unsigned char ch : title)
        if ((ch & 0xC0) != 0x80) ++length;
    return {title, std::string(length, '*'),
            "Počet vypočtených bodů: " +
                FormatGeneral(static_cast<long double>(table->r), host.DecimalSeparator())};
}

}  // namespace

bool CorrectImagePointsCommand(ProjectState& state, CommandHost& host) {
    return CorrectionCommand(state, host, CorrectImagePoints, state.ImagePoints.get(),
                             state.ImagePointsCorrected, "snímkové souřadnice",
                             UiItem::Snmkovsouadnice2);
}

bool CorrectControlPointsCommand(ProjectState& state, CommandHost& host) {
    return CorrectionCommand(state, host, CorrectControlPoints, state.ControlPoints.get(),
                             state.ControlPointsCorrected, "orientace", UiItem::Orientace2);
}

std::vector<std::string> SaveCorrectedImagePoints(const ProjectState& state, CommandHost& host,
                                                  const std::string& fileName) {
    return SaveCorrected(state.ImagePointsCorrected.get(), state.ImagePointRanges.get(), host,
                         fileName, "Uloženy snímkové souřadnice: ",
                         "Oprava snímkových souřadnic o distorzi objektivu - program Pelvanor");
}

std::vector<std::string> SaveCorrectedControlPoints(const ProjectState& state, CommandHost& host,
                                                    const std::string& fileName) {
    return SaveCorrected(state.ControlPointsCorrected.get(), state.ControlPointRanges.get(), host,
                         fileName, "Uloženy vlícovací body: ",
                         "Oprava vlícovacích bodů o distorzi objektivu - program Pelvanor");
}

}  // namespace pelvanor
