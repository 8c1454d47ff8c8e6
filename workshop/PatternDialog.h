#pragma once

#include <QDialog>

#include "workshop/Patterns.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace platform {
class Prompts;
}

namespace workshop {

// The entries of a bolt-hole circle or of a row or grid, in the unit shown; OK makes the points,
// or tells why the pattern makes no sense and stays open.
class PatternDialog : public QDialog {
    Q_OBJECT
public:
    PatternDialog(bool circle, const Display& display, platform::Prompts& prompts, QWidget* parent);

    const Points& points() const { return points_; }

    QLineEdit* nameEdit;
    QLineEdit* xEdit;
    QLineEdit* yEdit;
    QLineEdit* sizeEdit;    // circle: diameter; grid: step along the row
    QLineEdit* stepYEdit;   // grid: step between rows
    QLineEdit* angleEdit;   // circle: start angle; grid: the row's angle
    QSpinBox* countSpin;    // circle: holes; grid: holes in a row
    QSpinBox* rowsSpin;     // grid: rows
    QCheckBox* clockwiseCheck;
    QPushButton* addButton;

    void accept() override;

private:
    bool circle_;
    Display display_;
    platform::Prompts& prompts_;
    Points points_;
};

}  // namespace workshop
