#include "app/tpelvanor.h"

namespace pelvanor {

TPelvanor::TPelvanor(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Pelvanor"));
    setFixedSize(1018, 495);
}

}  // namespace pelvanor
