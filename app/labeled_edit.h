#pragma once
// An edit field with its caption label standing at its left, three pixels
// apart and centred on the field's height.

#include <QLabel>
#include <QLineEdit>

namespace pelvanor {

class LabeledEdit : public QLineEdit {
public:
    // Edit at (left, top, width, height) in the parent's coordinates.
    LabeledEdit(QWidget* parent, const QString& name, const QString& caption, int left, int top, int width,
                int height = 21);
    QLabel* EditLabel() const { return label_; }

private:
    QLabel* label_;  // owned by the parent widget
};

}  // namespace pelvanor
