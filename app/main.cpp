#include <QApplication>
#include <clocale>

#include "app/program_setup.h"
#include "app/tpelvanor.h"
#include "app/window_services.h"

int main(int argc, char** argv) {
    // --help and --version answer on the terminal, also without a display.
    if (const int status = pelvanor::HandleInfoOptions(argc, argv, stdout); status >= 0) return status;
    QApplication app(argc, argv);
    // Qt sets the C library's locale from the environment; file I/O and the
    // matrix dumps always use ".", so keep the C library's numbers neutral.
    // The window takes the user's decimal separator from QLocale instead.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Pelvanor"));
    QApplication::setFont(pelvanor::TahomaFont(8));
    pelvanor::InstallQtTranslation();
    pelvanor::TPelvanor window;
    window.show();
    return app.exec();
}
