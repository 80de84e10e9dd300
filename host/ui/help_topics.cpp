#include "ui/help_topics.hpp"

namespace kelv {

const char* HelpTopicForPage(int pageIndex) noexcept {
  switch (pageIndex) {
    case 0:
      return "General.html";
    case 1:
      return "Images.html";
    case 2:
      return "Effects.html";
    default:
      return nullptr;
  }
}

}  // namespace kelv
