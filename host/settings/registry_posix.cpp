// The native build has no registry: the process keeps its settings in memory.
#include "settings/registry.hpp"
#include "settings/registry_memory.hpp"

namespace kelv {

RegistryStore& SystemRegistry() {
  static MemoryRegistry store;
  return store;
}

}  // namespace kelv
