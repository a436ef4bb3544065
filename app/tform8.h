#pragma once
// The user guide (docs/navod.md) in a window of the program: the Markdown
// rendered by Qt with its pictures, the table of contents' links followed
// inside the window.  Nothing outside the program is needed to read it.

#include <QString>
#include <QWidget>

class QPushButton;
class QTextBrowser;
class QUrl;

namespace pelvanor {

class TForm8 : public QWidget {
    Q_OBJECT
public:
    explicit TForm8(QWidget* parent = nullptr);

    // Shows the guide in `file` (its pictures relative to it); false when
    // the file cannot be read.  A guide already shown stays where it was
    // scrolled to.
    bool Open(const QString& file);

    QTextBrowser* TextBrowser1() const { return browser_; }
    // Follows a link as a click does: a heading of the guide ("#3-pracovní-postup"),
    // another file of the guide, or a web address in the desktop's browser.
    void FollowLink(const QUrl& link);
    // Scrolls to the heading whose anchor, as a Markdown renderer on the web
    // forms it (lower case, blanks to "-", punctuation dropped), is
    // `anchor`; false when the guide has no such heading.
    bool ScrollToHeading(const QString& anchor);

private:
    QTextBrowser* browser_ = nullptr;
    QPushButton* contents_ = nullptr;
    QString file_;
};

// The anchor of a heading's text: "1. Spuštění a ukázkový projekt" gives
// "1-spuštění-a-ukázkový-projekt".
QString HeadingAnchor(const QString& heading);

}  // namespace pelvanor
