#pragma once

#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

#include "feed/LinkHealth.h"

class QLabel;

// The link's health in a small window beside the figures: readings per second, invalid replies,
// repeated requests, line errors by kind and link losses, since the start and over the last
// minute. It asks for the counts twice a second while shown, and costs nothing while closed.
namespace readout {

class HealthWindow : public QWidget {
    Q_OBJECT
public:
    HealthWindow(std::function<feed::LinkHealth::Counts()> source, QWidget* parent);

    // The value cells: row by row as the window shows them, since the start then last minute.
    static constexpr int rows = 8;
    std::array<std::array<QLabel*, 2>, rows> cells{};

    void refresh();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::function<feed::LinkHealth::Counts()> source_;
    QTimer tick_;
};

}  // namespace readout
