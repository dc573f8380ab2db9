// What the Z6 keeps stored for its user: whether its start-up settings are
// the factory ones (a keyed write restores them) and its name. Both are
// persistent registers, so a saved device keeps them. Attaches itself to
// the register map and sets the scenario's values.
#pragma once

#include "z6/register_map.h"
#include "z6/scenario.h"

namespace z6 {

class DeviceSettings {
public:
    DeviceSettings(const StoredSettings& settings, RegisterMap& registers);
    DeviceSettings(const DeviceSettings&) = delete;
    DeviceSettings& operator=(const DeviceSettings&) = delete;

private:
    RegisterMap& registers_;
};

}  // namespace z6
