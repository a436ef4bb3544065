#include "app/tform5.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/program_setup.h"
#include "app/window_services.h"

namespace pelvanor {

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("O programu"));
    setFont(TahomaFont(8));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(QStringLiteral("Pelvanor"), this);
    name->setObjectName(QStringLiteral("ProductName"));
    name->setFont(TahomaFont(14, true));
    auto* version = new QLabel(QStringLiteral("Verze %1").arg(ProgramVersion()), this);
    version->setObjectName(QStringLiteral("Version"));
    auto* purpose = new QLabel(QStringLiteral("Blízká fotogrammetrie s jednou komorou: oprava distorze, vnější "
                                              "orientace, svazkové vyrovnání a souřadnice XYZ."),
                               this);
    purpose->setWordWrap(true);
    auto* institution = new QLabel(QStringLiteral("Otevřený projekt Pelvanor"), this);
    institution->setObjectName(QStringLiteral("Institution"));
    auto* author = new QLabel(QStringLiteral("Autoři: vývojový tým Pelvanor"), this);
    author->setObjectName(QStringLiteral("Author"));
    auto* licence = new QLabel(QStringLiteral("Šířeno pod licencí BSD (3 body)."), this);
    licence->setObjectName(QStringLiteral("Licence"));
    guide_ = new QLabel(QStringLiteral("<a href=\"navod\">Uživatelská příručka</a> (F1)"), this);
    guide_->setObjectName(QStringLiteral("GuideLink"));
    guide_->setTextFormat(Qt::RichText);
    guide_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    guide_->setOpenExternalLinks(false);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    layout->addWidget(name);
    layout->addWidget(version);
    layout->addWidget(purpose);
    layout->addSpacing(8);
    layout->addWidget(institution);
    layout->addWidget(author);
    layout->addWidget(licence);
    layout->addWidget(guide_);
    layout->addSpacing(8);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    setFixedWidth(300);
}

}  // namespace pelvanor
