#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "config/Axis.h"
#include "config/ConfigDialog.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTabWidget;

// The axis parameters dialog: per axis the resolution, the encoder pulse count, the calibration
// factor and the linear/angular orientation. The main window fills it from the configuration it
// read from the box (LoadResolutionLists, SetAxisResolution, EnableAxisGroup, OrientationBits,
// the edits and the radio buttons) and shows it modally.
//
// Checking a radio button from code runs its click rule, as a click by the operator does;
// selecting a combo entry from code does not run the combo's change rule.
class TparamsForm : public ConfigDialog {
    Q_OBJECT
public:
    TparamsForm(TRS232Service& service, platform::Prompts& prompts, platform::Clock& clock,
                QWidget* parent = nullptr);
    ~TparamsForm() override;

    // Controls, named by role and kind.
    QTabWidget* pgCtrl;
    QWidget* orientationTabSheet;
    QGroupBox* dimXGBox;
    QGroupBox* dimYGBox;
    QGroupBox* dimZGBox;
    QRadioButton* lineXRButton;
    QRadioButton* lineYRButton;
    QRadioButton* lineZRButton;
    QRadioButton* angleXRButton;
    QRadioButton* angleYRButton;
    QRadioButton* angleZRButton;
    QLabel* resXLabel;
    QLabel* resYLabel;
    QLabel* resZLabel;
    QComboBox* resXCBox;
    QComboBox* resYCBox;
    QComboBox* resZCBox;
    QLabel* umXLabel;
    QLabel* umYLabel;
    QLabel* umZLabel;
    QLabel* impulseXLabel;
    QLabel* impulseYLabel;
    QLabel* impulseZLabel;
    QLineEdit* impulseXEdit;
    QLineEdit* impulseYEdit;
    QLineEdit* impulseZEdit;
    QLabel* calibXLabel;
    QLabel* calibYLabel;
    QLabel* calibZLabel;
    QLineEdit* calibXEdit;
    QLineEdit* calibYEdit;
    QLineEdit* calibZEdit;

    // Bit 0 X angular, bit 1 Y, bit 2 Z; the other bits are those last read from the box and go
    // back to it unchanged.
    std::uint32_t OrientationBits = 0;
    // Per axis (index by axisIndex): the combo index restored when the axis goes back to linear,
    // and the values of the next send.
    std::array<std::int32_t, 3> LinearIndex{};
    std::array<std::int32_t, 3> LineCount{};
    std::array<std::int32_t, 3> ResolutionCode{};
    std::array<double, 3> Calibration{};

    // Operations the main window calls once it knows the device kind and the configuration.
    void LoadResolutionLists(int deviceKind);
    void SetAxisResolution(Axis axis, int code);
    void EnableAxisGroup(Axis axis, bool enabled);
    // Fills the pulse edit from a line count read from the box (four per pulse). A count that is
    // no multiple of four cannot be typed as pulses: it goes back as read while the edit still
    // shows the text it was filled with.
    void setLineCount(Axis axis, std::int32_t count);
    // 0 until a list was loaded, then 7 (kind 1) or 10 (kinds 2 to 4).
    int MaxResolutionCode() const { return maxResolutionCode_; }

    // The orientation and resolution rules of one axis.
    void lineRButtonClick(Axis axis);
    void angleRButtonClick(Axis axis);
    void resCBoxChange(Axis axis);

    void FormShow() override;
    // The pulse count of X, the first entry of the page.
    QWidget* firstEntry() const override;
    void ClearSendValues();

    // Checks one axis's entries and keeps its values for the send; on a refusal the operator is
    // told which entry of which axis, and the buttons come back.
    bool ValidateAxis(Axis axis);
    // Validates and writes everything to the box: calibration, resolution (and for kind 1 the
    // dimension types apart), line counts, then the end of the configuration.
    void saveButtonClick();


    // Controls of one axis, for code that treats the three alike.
    QGroupBox* group(Axis axis) const;
    QRadioButton* lineButton(Axis axis) const;
    QRadioButton* angleButton(Axis axis) const;
    QComboBox* resolutionCombo(Axis axis) const;
    QLineEdit* impulseEdit(Axis axis) const;
    QLineEdit* calibrationEdit(Axis axis) const;

private:
    struct AxisMembers;
    static const AxisMembers& members(Axis axis);
    void buildAxis(Axis axis, QWidget* page, int top);
    void SetDefaults();
    // The values of the next send for an axis of a disabled group: what was read for it.
    void KeepReadValues(Axis axis);
    int deviceKind() const;

    // What the main window last filled in from the box, per axis.
    struct ReadValues {
        std::optional<int> code;
        std::optional<std::int32_t> lineCount;
        QString pulseText;
    };
    std::array<ReadValues, 3> read_;

    int maxResolutionCode_ = 0;
    // The kind whose list the combos hold (0: none loaded yet).
    int listKind_ = 0;
};
