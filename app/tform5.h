#pragma once
// The about box.

#include <QDialog>

namespace pelvanor {

class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);
};

}  // namespace pelvanor
