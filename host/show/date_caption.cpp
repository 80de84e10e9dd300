#include "show/date_caption.hpp"

#include "common/exif_date.hpp"
#include "show/date_caption_platform.hpp"

namespace kelv {

std::string CaptionWithDate(const std::string& name, const std::string& dateTaken) {
  if (dateTaken.empty()) return name;
  const std::optional<ExifDate> date = ParseExifDate(dateTaken);
  if (!date) return name;
  const std::string longDate = date_caption_platform::LongDate(*date);
  if (longDate.empty()) return name;
  const std::optional<std::string> separator = date_caption_platform::InCodePage(kDateSeparator);
  return name + separator.value_or(kPlainDateSeparator) + longDate;
}

}  // namespace kelv
