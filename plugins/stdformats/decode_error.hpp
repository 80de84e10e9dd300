// The failure every reader and the JPEG glue raise when a picture cannot be decoded.
// The reason text is kept for debugging only: the module never shows it, the host sees
// zero sizes.
#pragma once

#include "common/exception.hpp"

namespace stdformats {

class DecodeError : public kelv::Exception {
public:
  explicit DecodeError(std::string reason) : kelv::Exception(std::move(reason)) {}
  const char* className() const noexcept override { return "DecodeError"; }
};

// Reason texts shared by several readers.
inline constexpr const char* kPrematureEnd = "Premature end of input file";

}  // namespace stdformats
