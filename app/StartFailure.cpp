#include "app/StartFailure.h"

#include <QMessageBox>

void showStartFailure(const std::string& message) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("kvt3"), QString::fromStdString(message),
                    QMessageBox::Ok);
    box.exec();
}
