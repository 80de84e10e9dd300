// Filling an input module's descriptor. The host copies the record right after
// GetInModule returns it, so every module fills its static record afresh each time; the
// three per-format tables are taken as arrays so that their lengths must agree and the
// format count follows from them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kelv_inmodule.h"

namespace kelv::plugin {

// The descriptor's fields apart from the per-format tables.
struct InModuleFacts {
  uint32_t interfaceVersion = KELV_INMODULE_VERSION;
  uint32_t moduleVersion = 0;
  const char* name = "";
  uint32_t flags = 0;
  KelvAboutProc about = nullptr;
  const char* description = "";
  KelvSetOptionsProc setOptions = nullptr;
};

template <size_t Formats>
TInModule* FillInModule(TInModule& descriptor, const InModuleFacts& facts,
                        const char* const (&extensions)[Formats],
                        const char* const (&formatNames)[Formats],
                        KelvDecodeProc (&decoders)[Formats]) noexcept {
  static_assert(Formats > 0 && Formats <= INT32_MAX, "an input module decodes at least one format");
  descriptor.interfaceVersion = facts.interfaceVersion;
  descriptor.moduleVersion = facts.moduleVersion;
  descriptor.name = facts.name;
  descriptor.flags = facts.flags;
  descriptor.about = facts.about;
  descriptor.description = facts.description;
  descriptor.formatCount = static_cast<int32_t>(Formats);
  descriptor.extensions = extensions;
  descriptor.formatNames = formatNames;
  descriptor.decoders = decoders;
  descriptor.setOptions = facts.setOptions;
  return &descriptor;
}

}  // namespace kelv::plugin
