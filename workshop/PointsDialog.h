#pragma once

#include <QDialog>
#include <functional>

#include "workshop/Points.h"

class QLineEdit;
class QPushButton;
class QTableWidget;
class QLabel;

namespace platform {
class Prompts;
}

namespace workshop {

// The list of points, edited as a table in the unit shown (name, X, Y, Z; an empty cell leaves the
// axis free), with the near-zero tolerance, CSV import and export, and the patterns that add
// points. OK takes the list when every cell reads; "Jedź do punktu" also chooses the current row.
class PointsDialog : public QDialog {
    Q_OBJECT
public:
    PointsDialog(platform::Prompts& prompts, QWidget* parent);

    void setContent(const Points& points, const Shown& shown, double tolerance, int chosen);
    // What the operator left, once accepted.
    const Points& points() const { return points_; }
    int chosen() const { return chosen_; }
    // A note above the table (why the points file was not read).
    void setNote(const QString& note);

    // Which file to import from or export to; a file dialog unless replaced (tests).
    std::function<QString(bool save)> askPath;

    QTableWidget* table;
    QLineEdit* toleranceEdit;
    QPushButton* addButton;
    QPushButton* removeButton;
    QPushButton* importButton;
    QPushButton* exportButton;
    QPushButton* circleButton;
    QPushButton* gridButton;
    QPushButton* goButton;
    QPushButton* okButton;
    QPushButton* cancelButton;

signals:
    void toleranceChanged(double tolerance);

public:
    void accept() override;

private:
    // The table's rows as points, or false with the operator told which cell is wrong.
    bool readTable(Points& out);
    void fillTable(const Points& points);
    void appendRows(const Points& points);
    bool readTolerance();
    void importCsv();
    void exportCsv();
    void addPattern(bool circle);
    QString defaultPath(bool save);

    platform::Prompts& prompts_;
    Shown shown_;
    Points points_;
    int chosen_ = -1;
    double tolerance_ = 0;
    QLabel* note_;
};

}  // namespace workshop
