#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The about window: the maker's contact details and the version. Five letters typed in a row
// replace the version text with a hidden text built from the maker's labels.
class TlogoForm : public QDialog {
    Q_OBJECT
public:
    explicit TlogoForm(QWidget* parent = nullptr);

    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label9;
    QLabel* Label10;
    QLabel* Label11;
    QLabel* verLabel;
    QPushButton* Btn;

    // How far the key sequence has got, 0 to 4.
    int keyProgress() const { return keyProgress_; }

    // Every key pressed while the window is active comes here before it reaches a control.
    void FormKeyDown(int key);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int keyProgress_ = 0;
    // Set while a key the window has seen travels on to its control.
    bool forwarding_ = false;
};
