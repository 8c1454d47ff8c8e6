#pragma once

#include <array>

class QAction;
class QMenu;

// The port items COM1..COM4 keep their texts and name the device each stands for as their
// tooltip and status tip, brought up to date whenever the menu opens: an adapter plugged in
// since the last look, or a COMn link made meanwhile, shows at once.
void showPortDevices(QMenu& menu, const std::array<QAction*, 4>& items);

// Sets the hints of the items now.
void updatePortHints(const std::array<QAction*, 4>& items);
