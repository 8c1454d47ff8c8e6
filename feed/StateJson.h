#pragma once

#include <QByteArray>
#include <cstdint>

#include "feed/Reading.h"

// The readings' state as JSON, as the MQTT broker and /<token>/state.json give it
// (docs/readings-state.schema.json describes it).
namespace feed {

QByteArray stateJson(const Reading& state);

}  // namespace feed
