#include "catalogue/size_filter.hpp"

#include "settings/settings.hpp"

namespace kelv {

MinimumPictureSize DecodeMinimumSize(const Settings& settings, bool runActive) {
  if (!runActive || !settings.filterres) return {};
  return {settings.filterx, settings.filtery};
}

}  // namespace kelv
