#include "app/labeled_edit.h"

namespace pelvanor {

LabeledEdit::LabeledEdit(QWidget* parent, const QString& name, const QString& caption, int left, int top,
                         int width, int height)
    : QLineEdit(parent), label_(new QLabel(caption, parent)) {
    setObjectName(name);
    label_->setObjectName(name + QStringLiteral("Label"));
    setGeometry(left, top, width, height);
    label_->setBuddy(this);
    label_->adjustSize();
    const int spacing = 3;
    label_->move(left - spacing - label_->width(), top + (height - label_->height()) / 2);
}

}  // namespace pelvanor
