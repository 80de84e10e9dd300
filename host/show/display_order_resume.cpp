// The resume point "Prev": "<index>?<full path>" of the last picture of a run, kept in
// the current user's settings key.
#include <memory>
#include <string>

#include "catalogue/pic_list.hpp"
#include "settings/registry.hpp"
#include "settings/settings.hpp"
#include "settings/settings_store.hpp"
#include "show/display_order.hpp"

namespace kelv {

namespace {

constexpr const char* kResumeValue = "Prev";

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t k = 0; k < a.size(); ++k) {
    char x = a[k], y = b[k];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

void SaveResumePoint(RegistryStore& registry, int32_t index) {
  const TPicList& catalogue = TheCatalogue();
  std::string value;
  if (index >= 0 && index < catalogue.PictureCount()) {
    value = std::to_string(index) + "?" + catalogue.PictureName(index);
  }
  if (std::unique_ptr<RegistryKey> key = registry.Open(Hive::CurrentUser, kProductKey, KeyAccess::Create)) {
    key->SetString(kResumeValue, value);
  }
}

void SaveResumePoint(int32_t index) { SaveResumePoint(SystemRegistry(), index); }

int32_t LoadResumePoint(RegistryStore& registry) {
  if (TheSettings().Order == OrderRandom) return -1;
  std::unique_ptr<RegistryKey> key = registry.Open(Hive::CurrentUser, kProductKey, KeyAccess::Read);
  if (!key) return -1;
  const std::optional<std::string> stored = ReadStringValue(*key, kResumeValue);
  if (!stored || stored->empty()) return -1;

  const TPicList& catalogue = TheCatalogue();
  const int32_t count = catalogue.PictureCount();
  std::string name = *stored;
  const size_t mark = stored->find('?');
  if (mark != std::string::npos) {
    const std::optional<int32_t> index = ParseDecimalInt32(stored->substr(0, mark));
    name = stored->substr(mark + 1);
    if (index && *index >= 0 && *index < count &&
        EqualIgnoringAsciiCase(catalogue.PictureName(*index), name)) {
      return *index;
    }
  }
  // The picture moved (or the index is unusable): the first picture of exactly that path.
  return catalogue.FindPicture(name);
}

int32_t LoadResumePoint() { return LoadResumePoint(SystemRegistry()); }

}  // namespace kelv
