// The one-shot "RunSettings" request: something (an installer, the display settings of an
// older system) asks that the next saver start opens the settings dialog instead.
#pragma once

#include "settings/registry.hpp"

namespace kelv {

// True when "RunSettings" under the product key reads "1" in HKEY_CURRENT_USER, else in
// HKEY_LOCAL_MACHINE; the value is then deleted from that hive (still true when the
// delete is refused). The keys are never created. A value of another type than a string
// is not the request: it is left in place and the answer is false.
bool ConsumeRunSettingsRequest(RegistryStore& registry);

}  // namespace kelv
