// The skeleton of an effect module: its descriptor and name/count/flag tables, the
// eleven instances, the allocator and random generator, Setup and the dispatch of a
// group entry to the module's drawing code. A plug-in describes itself with a
// ModuleDefinition and supplies one function that runs a command of a group.
//
// Building an effect module on it (see plugins/basicfx):
//   1. a table of GroupDefinition rows (names, counts, four name slots, flag bytes) and a
//      ModuleDefinition;
//   2. a RunGroupProc that dispatches (group, command) to the drawing code; the command
//      is the effect index, or KELV_FX_COMMAND_PRE_STEP / _PREPARE plus the index;
//   3. one module object in fx::Immortal storage, an accessor `EffectModule& Module()`,
//      the entries `MakeGroupEntries<&Module>(std::make_index_sequence<rows>{})` and
//      `Open(seed, about, &SetupEntry<&Module>)` (fx_entries.hpp);
//   4. a *_win.cpp with the export GetEffectModule (Open with TickSeed()) and an About
//      entry calling ShowAboutBox; link fxcommon_win.
// Drawing code gets an EffectRun: pixel rows, Step(fraction) (Wait plus stop check),
// OnTime(), Finish(), Allocate(), Random(). Per-instance state of its own (saved
// pictures, masks) a module keeps in an array of KELV_FX_INSTANCES entries.
#pragma once

#include <array>
#include <cstdint>

#include "fxcommon/fx_allocator.hpp"
#include "fxcommon/fx_instance.hpp"
#include "fxcommon/fx_random.hpp"
#include "fxcommon/fx_run.hpp"
#include "kelv_effectmodule.h"

namespace kelv::fx {

inline constexpr int kMaxTableRows = 16;
inline constexpr int kNameSlots = 4;

struct GroupDefinition {
  const char* name;
  uint8_t effectCount;
  // Unused slots hold a filler text; hosts never read past the effect count.
  std::array<const char*, kNameSlots> effectNames;
  std::array<uint8_t, kNameSlots> flags;
};

struct ModuleDefinition {
  uint32_t moduleVersion;
  const char* name;
  const char* description;
  int32_t groupCount;                 // groups announced to the host
  const GroupDefinition* groups;      // tableRows rows; rows past groupCount stay unannounced
  int32_t tableRows;
};

// Runs one command (run, pre-step or prepare: see kelv_effectmodule.h) of a group.
using RunGroupProc = void (*)(EffectRun& run, int32_t group, int32_t command);

class EffectModule {
public:
  // `entries` holds tableRows C entry points, entry g leading to Run(g, ...).
  EffectModule(const ModuleDefinition& definition, const KelvRunEffectProc* entries,
               RunGroupProc run) noexcept;

  // What GetEffectModule does: fills the descriptor, goes back to the module's own
  // heap and seeds the random generator.
  TEffectModule* Open(uint32_t seed, KelvAboutProc about, KelvEffectSetupProc setup) noexcept;

  // Takes one set-up record: rejects a missing or empty record and a bad instance
  // number, picks the heap the record names, hands the record to its instance and, once
  // accepted, publishes the group entries. The two run-time errors come back as a status.
  SetupStatus Setup(const TEffectSetup* record) noexcept;

  // A group entry: runs when the instance is complete, else returns at once.
  void Run(int32_t group, int32_t command, int32_t instance) noexcept;

  TEffectModule& Descriptor() noexcept { return descriptor_; }
  Instance& InstanceAt(int32_t index) noexcept { return instances_[index]; }
  const ModuleAllocator& Allocator() const noexcept { return allocator_; }
  ModuleRandom& Random() noexcept { return random_; }
  const ModuleDefinition& Definition() const noexcept { return definition_; }

private:
  const ModuleDefinition& definition_;
  const KelvRunEffectProc* entrySource_;
  RunGroupProc run_;
  TEffectModule descriptor_{};
  std::array<const char*, kMaxTableRows> groupNames_{};
  std::array<uint8_t, kMaxTableRows> effectCounts_{};
  std::array<const char* const*, kMaxTableRows> effectNames_{};
  std::array<const uint8_t*, kMaxTableRows> effectFlags_{};
  std::array<KelvRunEffectProc, kMaxTableRows> groupEntries_{};
  std::array<Instance, KELV_FX_INSTANCES> instances_{};
  ModuleAllocator allocator_;
  ModuleRandom random_;
};

}  // namespace kelv::fx
