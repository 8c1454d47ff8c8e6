#include "app/PortHints.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

#include "serial/PortNames.h"

void updatePortHints(const std::array<QAction*, 4>& items) {
    for (int n = 1; n <= static_cast<int>(items.size()); ++n) {
        const std::string device = serial::portDescription(n);
        const QString hint = device.empty()
                                 ? QCoreApplication::translate("PortHints", "Brak urządzenia")
                                 : QString::fromStdString(device);
        QAction* item = items[static_cast<std::size_t>(n - 1)];
        item->setToolTip(hint);
        item->setStatusTip(hint);
    }
}

void showPortDevices(QMenu& menu, const std::array<QAction*, 4>& items) {
    menu.setToolTipsVisible(true);
    updatePortHints(items);
    QObject::connect(&menu, &QMenu::aboutToShow, &menu, [items] { updatePortHints(items); });
}
