#pragma once
#include <QMainWindow>

namespace pelvanor {

// The main window.
class TPelvanor : public QMainWindow {
    Q_OBJECT
public:
    explicit TPelvanor(QWidget* parent = nullptr);
};

}  // namespace pelvanor
