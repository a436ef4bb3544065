#include "app/window_services.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QTime>

#include <algorithm>
#include <string>

namespace pelvanor {

QLocale UiLocale() { return QLocale(); }

char UiDecimalSeparator() {
    const QString point = UiLocale().decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() < 0x80) return static_cast<char>(point.at(0).unicode());
    return '.';
}

QString LongTimeFormatWithoutZone(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    // Copy everything but unquoted runs of 't' (the time-zone field); quoted
    // literals ('...') pass unchanged.
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
        } else if (!quoted && c == QLatin1Char('t')) {
            // Drop the field together with the blank that separated it.
            while (!out.isEmpty() && out.back().isSpace()) out.chop(1);
        } else {
            out += c;
        }
    }
    return out.trimmed();
}

QString CurrentLongTime() {
    const QLocale locale = UiLocale();
    return locale.toString(QTime::currentTime(), LongTimeFormatWithoutZone(locale));
}

void SortFileNames(QStringList& names) {
    QCollator collator(UiLocale());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(names.begin(), names.end(),
                     [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
}

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
