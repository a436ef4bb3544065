// main() of the GUI tests: one QApplication (offscreen unless the
// environment chose a platform) around GoogleTest.

#include <QApplication>
#include <clocale>

#include <gtest/gtest.h>

#include "app/window_services.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Pelvanor"));
    QApplication::setFont(pelvanor::TahomaFont(8));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
