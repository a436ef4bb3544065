#pragma once
// The about box: the program's name and version, what it does, who makes
// it and a link to the user guide (the window opens the guide when the link
// is activated).

#include <QDialog>

class QLabel;

namespace pelvanor {

class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);
    QLabel* GuideLink() const { return guide_; }

private:
    QLabel* guide_ = nullptr;
};

}  // namespace pelvanor
