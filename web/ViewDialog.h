#pragma once

#include <QDialog>

#include "web/ServeChoice.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace web {

class LiveView;

// The operator's window for the live view: on or off, the address and port to listen on, the
// address to open (as text and as a QR code), a new access key. The controls change nothing until
// "Zastosuj"; "Zamknij", Escape and the close box leave what is served as it is, and the next
// showing starts from it again. A failure to listen is shown in the window, in red, and the view
// stays off.
class ViewDialog : public QDialog {
    Q_OBJECT
public:
    ViewDialog(LiveView& view, QWidget* parent);

    QCheckBox* shareBox;
    QLabel* addressLabel;
    QComboBox* addressCombo;  // first "Wszystkie adresy", then the machine's addresses
    QLabel* portLabel;
    QSpinBox* portSpin;
    QLabel* urlLabel;
    QLineEdit* urlEdit;  // read-only; empty while the view is off
    QLabel* qrLabel;     // the QR code of the address; empty while the view is off
    QPushButton* renewButton;
    QLabel* noteLabel;
    QLabel* failureLabel;  // hidden unless the last "Zastosuj" could not listen
    QPushButton* applyButton;
    QPushButton* closeButton;

    // What the controls choose now (the token stays the view's).
    ServeChoice chosen() const;

    // The QR code's side, in logical pixels, at most.
    static constexpr int qrSide = 200;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The choice last applied, as the controls show it.
    ServeChoice current() const;
    // The reason a change failed: the view's, or one of the dialog's when the view says nothing
    // but does not serve what was wanted.
    QString outcome(QString why, bool wanted) const;
    void load(const ServeChoice& choice);
    // The operator changed the controls since they were loaded.
    bool edited() const;
    void apply();
    void renew();
    // The address, its QR code and the key button follow the view.
    void showServing();
    // "Zastosuj" while the controls differ from what is served; address and port while on.
    void updateControls();
    // In red below the note; when the operator's own action failed, the focus goes to the port.
    void showFailure(const QString& why, bool operatorAsked);
    void onServingChanged();

    LiveView& view_;
    ServeChoice loaded_;  // what the controls were last set from
    bool applying_ = false;
};

}  // namespace web
