#include <QApplication>
#include <clocale>

#include "app/tpelvanor.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Qt sets the C library's locale from the environment; file I/O and the
    // matrix dumps always use ".", so keep the C library's numbers neutral.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Pelvanor"));
    pelvanor::TPelvanor window;
    window.show();
    return app.exec();
}
