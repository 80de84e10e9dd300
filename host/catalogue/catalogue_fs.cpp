#include "catalogue/catalogue_fs.hpp"

namespace kelv {

std::string FolderOfPath(const std::string& path) {
  size_t at = path.find_last_of("\\/");
  return at == std::string::npos ? std::string() : path.substr(0, at);
}

}  // namespace kelv
