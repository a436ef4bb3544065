#include "app/tform8.h"

#include <QAbstractTextDocumentLayout>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

namespace pelvanor {

QString HeadingAnchor(const QString& heading) {
    QString anchor;
    for (const QChar c : heading.trimmed()) {
        if (c.isLetterOrNumber()) {
            anchor += c.toLower();
        } else if (c == QLatin1Char(' ')) {
            anchor += QLatin1Char('-');
        } else if (c == QLatin1Char('-') || c == QLatin1Char('_')) {
            anchor += c;
        }
    }
    return anchor;
}

TForm8::TForm8(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("Uživatelská příručka - Pelvanor"));
    resize(900, 720);

    contents_ = new QPushButton(QStringLiteral("Obsah"), this);
    contents_->setObjectName(QStringLiteral("BitBtn1"));
    contents_->setToolTip(QStringLiteral("Na začátek příručky s obsahem"));
    auto* close = new QPushButton(QStringLiteral("Zavřít"), this);
    close->setObjectName(QStringLiteral("BitBtn2"));
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("TextBrowser1"));
    // Links are followed here: the headings of the table of contents are no
    // anchors of Qt's Markdown, and web addresses go to the browser.
    browser_->setOpenLinks(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents_);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->addLayout(buttons);
    column->addWidget(browser_, 1);

    connect(browser_, &QTextBrowser::anchorClicked, this, &TForm8::FollowLink);
    connect(contents_, &QPushButton::clicked, this, [this]() { browser_->verticalScrollBar()->setValue(0); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
}

bool TForm8::Open(const QString& file) {
    const QString absolute = QFileInfo(file).absoluteFilePath();
    if (!QFileInfo(absolute).isReadable()) return false;
    if (absolute == file_ && !browser_->document()->isEmpty()) return true;
    browser_->setSource(QUrl::fromLocalFile(absolute), QTextDocument::MarkdownResource);
    if (browser_->document()->isEmpty()) return false;
    file_ = absolute;
    return true;
}

bool TForm8::ScrollToHeading(const QString& anchor) {
    const QString wanted = QUrl::fromPercentEncoding(anchor.toUtf8());
    QTextDocument* document = browser_->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0 || HeadingAnchor(block.text()) != wanted) continue;
        const QRectF where = document->documentLayout()->blockBoundingRect(block);
        browser_->verticalScrollBar()->setValue(static_cast<int>(where.top()));
        return true;
    }
    return false;
}

void TForm8::FollowLink(const QUrl& link) {
    const QUrl resolved = browser_->source().resolved(link);
    if (resolved.isLocalFile() && QFileInfo(resolved.toLocalFile()).absoluteFilePath() == file_) {
        if (link.hasFragment()) ScrollToHeading(link.fragment(QUrl::FullyDecoded));
        return;
    }
    if (resolved.isLocalFile() && resolved.toLocalFile().endsWith(QStringLiteral(".md"))) {
        Open(resolved.toLocalFile());
        return;
    }
    QDesktopServices::openUrl(resolved);
}

}  // namespace pelvanor
