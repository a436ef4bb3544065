#pragma once
// Helpers of the GUI tests: a main window whose dialogs answer from a
// queue, and the user's locale switched for one test.

#include <QLocale>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

#include "app/scripted_dialogs.h"
#include "app/tpelvanor.h"

namespace pelvanor::test {

// Makes `name` ("cs_CZ", "en_US") the user's locale until destroyed.
class LocaleScope {
public:
    explicit LocaleScope(const char* name);
    ~LocaleScope();
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    QLocale saved_;
};

// The main window with scripted dialogs.
struct Gui {
    Gui();
    TPelvanor& window() { return *owned; }
    ScriptedDialogs* dialogs = nullptr;  // owned by the window
    std::unique_ptr<TPelvanor> owned;

    // Menu commands as a click on an item reached through enabled menus.
    void Trigger(UiItem item);
    // File answer, then the command.
    void LoadCamera(const std::string& path);
    void LoadControlPoints(const std::vector<std::string>& paths);
    void LoadImagePoints(const std::vector<std::string>& paths);
    // Log messages written since the window was made, without the first.
    std::vector<std::string> Log() const;
    std::string LastLog() const;
};

QStringList ToQt(const std::vector<std::string>& paths);

}  // namespace pelvanor::test
