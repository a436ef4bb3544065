#include "app/window_services.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>

#include <string>

namespace pelvanor {

void RegisterApplicationFonts() {
    static bool done = false;
    if (done) return;
    done = true;
    if (!QFontDatabase::families().contains(QStringLiteral("Tahoma"))) {
        const QStringList folders = {QStringLiteral("/usr/share/wine/fonts"),
                                     QStringLiteral("/usr/share/fonts/truetype/wine"),
                                     QStringLiteral("/usr/share/fonts/wine")};
        for (const QString& folder : folders) {
            for (const char* name : {"tahoma.ttf", "tahomabd.ttf"}) {
                const QString path = QDir(folder).filePath(QString::fromLatin1(name));
                if (QFile::exists(path)) QFontDatabase::addApplicationFont(path);
            }
        }
    }
}

QFont TahomaFont(int point_size, bool bold) {
    RegisterApplicationFonts();
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(point_size);
    font.setBold(bold);
    return font;
}

QFont MonospaceFont(int point_size) {
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Mono"), QStringLiteral("Courier New"), QStringLiteral("DejaVu Sans Mono")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(point_size);
    return font;
}

QString WithoutMnemonic(const QString& caption) {
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == QLatin1Char('&')) {
            if (i + 1 < caption.size() && caption.at(i + 1) == QLatin1Char('&')) out += caption.at(++i);
            continue;
        }
        out += caption.at(i);
    }
    return out;
}

std::string ToUtf8(const QString& text) { return text.toStdString(); }

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace pelvanor
