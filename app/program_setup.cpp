#include "app/program_setup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstring>

#include "app/window_services.h"

#ifndef PELVANOR_VERSION
#define PELVANOR_VERSION "0.1.0"
#endif

namespace pelvanor {

QString ProgramVersion() { return QStringLiteral(PELVANOR_VERSION); }

QTranslator* InstallQtTranslation() {
    if (UiLocale().language() != QLocale::Czech || QCoreApplication::instance() == nullptr) return nullptr;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_cs"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

int HandleInfoOptions(int argc, char** argv, std::FILE* out) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--version") == 0 || std::strcmp(arg, "-v") == 0) {
            std::fprintf(out, "pelvanor %s\n", PELVANOR_VERSION);
            return 0;
        }
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            const QString guide = UserGuideFile();
            const QString text =
                QStringLiteral("Použití: pelvanor [VOLBA]\n"
                               "Blízká fotogrammetrie s jednou komorou: oprava distorze, vnější orientace,\n"
                               "svazkové vyrovnání a souřadnice XYZ.  Program se ovládá z okna.\n"
                               "\n"
                               "Volby:\n"
                               "  -h, --help     vypíše tuto nápovědu a skončí\n"
                               "  -v, --version  vypíše verzi programu a skončí\n"
                               "\n"
                               "Uživatelská příručka: %1\n")
                    .arg(guide.isEmpty() ? QStringLiteral("/usr/share/doc/pelvanor/navod.md") : guide);
            std::fputs(text.toUtf8().constData(), out);
            return 0;
        }
    }
    return -1;
}

QStringList UserGuideFolders() {
    QStringList folders;
    // An installed program finds the guide under its own prefix, wherever
    // that prefix is; the build folder's program finds the source tree's.
    if (QCoreApplication::instance() != nullptr)
        folders << QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/doc/pelvanor"));
    folders << QStringLiteral("/usr/share/doc/pelvanor");
#ifdef PELVANOR_SOURCE_EXAMPLES
    folders << QDir::cleanPath(QStringLiteral(PELVANOR_SOURCE_EXAMPLES "/../docs"));
#endif
    folders.removeDuplicates();
    return folders;
}

QString UserGuideFile() {
    for (const QString& folder : UserGuideFolders()) {
        const QString file = folder + QStringLiteral("/navod.md");
        if (QFileInfo(file).isFile()) return QDir::cleanPath(QFileInfo(file).absoluteFilePath());
    }
    return QString();
}

QPoint StartPosition(const QRect& frame, const QRect& available) {
    QRect placed = frame;
    placed.moveCenter(available.center());
    if (placed.left() < available.left()) placed.moveLeft(available.left());
    if (placed.top() < available.top()) placed.moveTop(available.top());
    return placed.topLeft();
}

}  // namespace pelvanor
