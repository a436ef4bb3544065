// pelvanor-batch: computes one project without the window, for scripts,
// many projects and a cluster's job scheduler.  See batch_options.cpp for
// the command line and README.md for the recipes.

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "batch/batch_options.h"
#include "batch/batch_run.h"
#include "batch/stop_signals.h"
#include "uilocale/locale_services.h"

int main(int argc, char** argv) {
    using namespace pelvanor::batch;
    // The pictures (--plots) are drawn with Qt Gui, which needs a
    // QGuiApplication for its fonts; without a display (a cluster node, a
    // script over ssh) on the offscreen platform.  Every other run stays on
    // Qt Core and never looks for a display.
    std::vector<std::string> raw(argv, argv + argc);
    std::unique_ptr<QCoreApplication> app;
    if (WantsPlots(raw)) {
        const char* display = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        if ((display == nullptr || *display == '\0') && (wayland == nullptr || *wayland == '\0'))
            setenv("QT_QPA_PLATFORM", "offscreen", 0);
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // Qt sets the C library's locale from the environment; file I/O and the
    // matrix dumps always use ".", so keep the C library's numbers neutral.
    // The protocols take the user's decimal separator from QLocale instead.
    std::setlocale(LC_NUMERIC, "C");
    QCoreApplication::setApplicationName(QStringLiteral("pelvanor-batch"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PELVANOR_VERSION));

    std::vector<std::string> arguments;
    for (const QString& argument : QCoreApplication::arguments()) arguments.push_back(argument.toStdString());
    BatchOptions options;
    const ParseResult parsed = ParseArguments(arguments, pelvanor::UiDecimalSeparator(), options);
    switch (parsed.kind) {
        case ParseResult::Kind::Help:
        case ParseResult::Kind::Version:
            std::fputs(parsed.text.c_str(), stdout);
            if (parsed.kind == ParseResult::Kind::Version) std::fputc('\n', stdout);
            return kExitDone;
        case ParseResult::Kind::Error:
            std::fprintf(stderr, "pelvanor-batch: %s\n%s\n", parsed.text.c_str(),
                         CzechTexts() ? "Nápověda: pelvanor-batch --help" : "Help: pelvanor-batch --help");
            // A script that collects the summaries finds this run too.
            return RefuseRun(options, parsed.text);
        case ParseResult::Kind::Run:
            break;
    }
    InstallStopSignals();
    return RunBatch(options, isatty(STDERR_FILENO) != 0);
}
