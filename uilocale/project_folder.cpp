#include "uilocale/project_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "uilocale/locale_services.h"

namespace pelvanor {

namespace {

const QString kControlPrefix = QStringLiteral("ctrl_");
const QString kImagePrefix = QStringLiteral("img_");
const QString kSuffix = QStringLiteral(".txt");

enum class NameMatch { None, Exact, OtherCase };

// Whether `name` is prefix + key + ".txt"; `key` receives the part between.
// OtherCase: it is so only when the case is ignored.
NameMatch MatchName(const QString& name, const QString& prefix, QString& key) {
    if (name.size() < prefix.size() + kSuffix.size()) return NameMatch::None;
    if (!name.startsWith(prefix, Qt::CaseInsensitive) || !name.endsWith(kSuffix, Qt::CaseInsensitive))
        return NameMatch::None;
    key = name.mid(prefix.size(), name.size() - prefix.size() - kSuffix.size());
    return name.startsWith(prefix) && name.endsWith(kSuffix) ? NameMatch::Exact : NameMatch::OtherCase;
}

// The names in the folder; false when it cannot be listed.
bool ListFolder(const QString& folder, QStringList& names) {
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (dir == nullptr) return false;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) names << QFile::decodeName(entry->d_name);
    const bool complete = errno == 0;
    ::closedir(dir);
    return complete;
}

// A regular file (after following links) that opens for reading.  Opened
// without waiting, so that a pipe of that name cannot block the check.
bool ReadableFile(const QString& path) {
    const QByteArray encoded = QFile::encodeName(path);
    struct stat st {};
    if (::stat(encoded.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const int fd = ::open(encoded.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// "a", "a a b", "a, b a c".
QString Listed(const QStringList& items) {
    if (items.size() <= 1) return items.join(QString());
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" a ") + items.back();
}

// One file of the folder that takes part in the pairing.
struct FolderFile {
    QString name;
    QString path;
};

}  // namespace

ProjectFolderPairs PairProjectFolder(const QString& folder) {
    ProjectFolderPairs pairs;
    const QString root = QDir::cleanPath(QDir(folder).absolutePath());
    QStringList names;
    if (!ListFolder(root, names)) {
        pairs.refusal << QStringLiteral("Složku projektu nelze číst: ") + root;
        return pairs;
    }
    names.sort();  // the messages name the files in a fixed order

    // Each kind by key; the keys are compared exactly.
    QMap<QString, FolderFile> control;
    QMap<QString, FolderFile> images;
    QStringList unreadable;
    QStringList otherCase;
    for (const QString& name : names) {
        QString key;
        QMap<QString, FolderFile>* kind = nullptr;
        NameMatch match = MatchName(name, kControlPrefix, key);
        if (match != NameMatch::None) {
            kind = &control;
        } else {
            match = MatchName(name, kImagePrefix, key);
            if (match != NameMatch::None) kind = &images;
        }
        if (kind == nullptr) continue;
        const QString path = QDir::cleanPath(root + QLatin1Char('/') + name);
        if (match == NameMatch::OtherCase) otherCase << name;
        else if (!ReadableFile(path)) unreadable << name;
        // A misnamed file still stands for its image: the one cause is named.
        if (!kind->contains(key)) kind->insert(key, FolderFile{name, path});
    }

    if (!unreadable.isEmpty())
        pairs.refusal << (unreadable.size() == 1 ? QStringLiteral("Soubor projektu nelze číst: ")
                                                 : QStringLiteral("Soubory projektu nelze číst: ")) +
                             Listed(unreadable);
    if (!otherCase.isEmpty())
        pairs.refusal << (otherCase.size() == 1
                              ? QStringLiteral("Jméno souboru se od ctrl_*.txt a img_*.txt liší velikostí písmen: ")
                              : QStringLiteral("Jména souborů se od ctrl_*.txt a img_*.txt liší velikostí písmen: ")) +
                             Listed(otherCase);
    // An orientation-only project has no image files at all; a folder of
    // image files alone loads only those.  Otherwise every file needs its
    // partner.
    if (!control.isEmpty() && !images.isEmpty()) {
        QStringList lonelyControl;
        QStringList lonelyImages;
        for (auto it = control.cbegin(); it != control.cend(); ++it)
            if (!images.contains(it.key()))
                lonelyControl << it->name + QStringLiteral(" (chybí ") + kImagePrefix + it.key() + kSuffix +
                                     QLatin1Char(')');
        for (auto it = images.cbegin(); it != images.cend(); ++it)
            if (!control.contains(it.key()))
                lonelyImages << it->name + QStringLiteral(" (chybí ") + kControlPrefix + it.key() + kSuffix +
                                    QLatin1Char(')');
        if (!lonelyControl.isEmpty())
            pairs.refusal << (lonelyControl.size() == 1
                                  ? QStringLiteral("Soubor vlícovacích bodů nemá svůj soubor snímkových souřadnic: ")
                                  : QStringLiteral("Soubory vlícovacích bodů nemají své soubory snímkových "
                                                   "souřadnic: ")) +
                                 Listed(lonelyControl);
        if (!lonelyImages.isEmpty())
            pairs.refusal << (lonelyImages.size() == 1
                                  ? QStringLiteral("Soubor snímkových souřadnic nemá svůj soubor vlícovacích bodů: ")
                                  : QStringLiteral("Soubory snímkových souřadnic nemají své soubory vlícovacích "
                                                   "bodů: ")) +
                                 Listed(lonelyImages);
    }
    if (!pairs.refusal.isEmpty()) return pairs;

    for (const FolderFile& file : control) pairs.control << file.path;
    for (const FolderFile& file : images) pairs.images << file.path;
    SortFileNames(pairs.control);
    SortFileNames(pairs.images);
    // Each kind is numbered by its own sorted names; the collation may order
    // keys differently behind the two prefixes (keys equal but for case):
    // then image k of one kind would not be image k of the other.
    if (!pairs.control.isEmpty() && !pairs.images.isEmpty()) {
        QStringList crossed;
        for (qsizetype k = 0; k < pairs.control.size(); ++k) {
            QString controlKey, imageKey;
            MatchName(QFileInfo(pairs.control[k]).fileName(), kControlPrefix, controlKey);
            MatchName(QFileInfo(pairs.images[k]).fileName(), kImagePrefix, imageKey);
            if (controlKey != imageKey)
                crossed << QFileInfo(pairs.control[k]).fileName() + QStringLiteral(" s ") +
                               QFileInfo(pairs.images[k]).fileName();
        }
        if (!crossed.isEmpty()) {
            pairs.refusal << QStringLiteral("Soubory ctrl_*.txt a img_*.txt se neřadí ve stejném pořadí, "
                                            "snímek by dostal cizí vlícovací body: ") +
                                 Listed(crossed);
            pairs.control.clear();
            pairs.images.clear();
        }
    }
    return pairs;
}

}  // namespace pelvanor
