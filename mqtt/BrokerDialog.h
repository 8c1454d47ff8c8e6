#pragma once

#include <QDialog>

#include "mqtt/BrokerChoice.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace mqtt {

class ReadingsOut;

// The operator's window for the broker: on or off, its address, the CA file for mqtts://, the
// user and password, how many messages a second at most, and the connection's state. Nothing
// changes until "Zastosuj", which keeps the choice for the next start; the password goes to a
// file only its owner may read, never into the choice file.
class BrokerDialog : public QDialog {
    Q_OBJECT
public:
    BrokerDialog(ReadingsOut& out, QWidget* parent);

    QCheckBox* publishBox;
    QLineEdit* urlEdit;
    QLineEdit* caEdit;
    QLineEdit* userEdit;
    QLineEdit* passwordEdit;  // empty: the password kept stays
    QSpinBox* rateSpin;
    QLabel* statusLabel;   // the connection in words
    QLabel* failureLabel;  // why "Zastosuj" was refused; hidden otherwise
    QPushButton* applyButton;
    QPushButton* closeButton;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void load();
    void apply();
    void showFailure(const QString& why);

    ReadingsOut& out_;
};

}  // namespace mqtt
