// The failure the glue raises when a picture cannot be decoded. The reason is kept for
// debugging only: the module never shows it, the host sees zero sizes.
#pragma once

#include <stdexcept>
#include <string>

namespace modernformats {

class DecodeError : public std::runtime_error {
public:
  explicit DecodeError(const std::string& reason) : std::runtime_error(reason) {}
};

}  // namespace modernformats
