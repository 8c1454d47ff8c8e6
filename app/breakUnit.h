#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The small modal window that asks the operator whether to stop waiting for a silent box, or
// tells that a wait has ended. The main window sets txtLabel's text and yesBtn's caption before
// each showing. Its caller only ever sees 6 (stop waiting: the button, Escape, the close box) or
// 7 (the main window closed it from outside because the wait is over).
class TbreakForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int ResultYes = 6;
    static constexpr int ResultNo = 7;

    explicit TbreakForm(QWidget* parent = nullptr);

    QLabel* txtLabel;
    QLabel* Image;
    QPushButton* yesBtn;

    // Any result other than 6 or 7 (the close box gives cancel) becomes 6.
    void done(int result) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
