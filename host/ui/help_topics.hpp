// The help file's topic for each page of the settings dialog.
#pragma once

namespace kelv {

// The topic inside the help file that describes a settings page, by the page's index in
// tab order: 0 General, 1 Photos, 2 Effects. Any other index (the About page, or -1 when
// no page is selected) has no topic of its own and gives nullptr: the help then opens at
// its default page.
const char* HelpTopicForPage(int pageIndex) noexcept;

}  // namespace kelv
