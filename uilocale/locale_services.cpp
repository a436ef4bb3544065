#include "uilocale/locale_services.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QTime>

#include <algorithm>

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

QStringList ProjectFolderFiles(const QString& folder, const QString& pattern) {
    QStringList files;
    for (const QFileInfo& entry : QDir(folder).entryInfoList({pattern}, QDir::Files | QDir::CaseSensitive))
        files << QDir::cleanPath(entry.absoluteFilePath());
    SortFileNames(files);
    return files;
}

std::vector<std::string> ToUtf8Names(const QStringList& names) {
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(names.size()));
    for (const QString& name : names) out.push_back(name.toStdString());
    return out;
}

QStringList FromUtf8Names(const std::vector<std::string>& names) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(names.size()));
    for (const std::string& name : names) out << QString::fromStdString(name);
    return out;
}

QString ProjectNameOf(const QString& imageFile) { return QFileInfo(imageFile).absoluteDir().dirName(); }

}  // namespace pelvanor
