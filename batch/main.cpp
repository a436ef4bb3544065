// pelvanor-batch: computes one project without the window, for scripts,
// many projects and a cluster's job scheduler.  See batch_options.cpp for
// the command line and README.md for the recipes.

#include <QCoreApplication>
#include <QStringList>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "batch/batch_options.h"
#include "batch/batch_run.h"
#include "uilocale/locale_services.h"

int main(int argc, char** argv) {
    using namespace pelvanor::batch;
    QCoreApplication app(argc, argv);
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
            return kExitBadUsage;
        case ParseResult::Kind::Run:
            break;
    }
    return RunBatch(options, isatty(STDERR_FILENO) != 0);
}
