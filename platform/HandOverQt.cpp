#include "platform/HandOverQt.h"

#include <QMetaObject>
#include <utility>

namespace platform {

HandOverQt::HandOverQt() = default;

void HandOverQt::post(std::shared_ptr<HandOverChannel> channel) {
    QMetaObject::invokeMethod(
        &context_, [channel = std::move(channel)] { channel->deliver(); }, Qt::QueuedConnection);
}

}  // namespace platform
