#include "tests/app/gui_support.h"

#include <QAction>

namespace pelvanor::test {

LocaleScope::LocaleScope(const char* name) : saved_(QLocale()) { QLocale::setDefault(QLocale(QString::fromLatin1(name))); }

LocaleScope::~LocaleScope() { QLocale::setDefault(saved_); }

Gui::Gui() {
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    owned = std::make_unique<TPelvanor>(std::move(scripted));
}

void Gui::Trigger(UiItem item) { window().MenuAction(item)->trigger(); }

QStringList ToQt(const std::vector<std::string>& paths) {
    QStringList list;
    for (const std::string& path : paths) list << QString::fromStdString(path);
    return list;
}

void Gui::LoadCamera(const std::string& path) {
    dialogs->AnswerOpen({QString::fromStdString(path)});
    Trigger(UiItem::Nastkameru1);
}

void Gui::LoadControlPoints(const std::vector<std::string>& paths) {
    dialogs->AnswerOpen(ToQt(paths));
    Trigger(UiItem::Nastorientaci1);
}

void Gui::LoadImagePoints(const std::vector<std::string>& paths) {
    dialogs->AnswerOpen(ToQt(paths));
    Trigger(UiItem::Nastsnmkovsouadnice1);
}

std::vector<std::string> Gui::Log() const {
    const std::vector<std::string>& all = owned->LogHistory();
    return std::vector<std::string>(all.begin() + 1, all.end());
}

std::string Gui::LastLog() const { return owned->LogHistory().back(); }

}  // namespace pelvanor::test
