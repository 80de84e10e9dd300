#include "fxcommon/fx_module.hpp"

namespace kelv::fx {

EffectModule::EffectModule(const ModuleDefinition& definition, const KelvRunEffectProc* entries,
                           RunGroupProc run) noexcept
    : definition_(definition), entrySource_(entries), run_(run) {
  for (int32_t g = 0; g < definition_.tableRows && g < kMaxTableRows; ++g) {
    const GroupDefinition& row = definition_.groups[g];
    groupNames_[g] = row.name;
    effectCounts_[g] = row.effectCount;
    effectNames_[g] = row.effectNames.data();
    effectFlags_[g] = row.flags.data();
  }
}

TEffectModule* EffectModule::Open(uint32_t seed, KelvAboutProc about,
                                  KelvEffectSetupProc setup) noexcept {
  descriptor_.interfaceVersion = KELV_EFFECTMODULE_VERSION;
  descriptor_.moduleVersion = definition_.moduleVersion;
  descriptor_.name = definition_.name;
  descriptor_.reserved = 0;
  descriptor_.about = about;
  descriptor_.description = definition_.description;
  descriptor_.groupCount = definition_.groupCount;
  descriptor_.groupNames = groupNames_.data();
  descriptor_.groupEntries = groupEntries_.data();
  descriptor_.effectCounts = effectCounts_.data();
  descriptor_.effectNames = effectNames_.data();
  descriptor_.setup = setup;
  descriptor_.effectFlags = effectFlags_.data();
  allocator_.UseOwnHeap();
  random_.Seed(seed);
  return &descriptor_;
}

SetupStatus EffectModule::Setup(const TEffectSetup* record) noexcept {
  if (record == nullptr || record->size == 0) return SetupStatus::Rejected;
  // The record is read only as far as the sender's size covers it: anything shorter
  // than the whole record is the module's run-time error 1001.
  if (record->size < static_cast<int32_t>(sizeof(TEffectSetup))) return SetupStatus::ShortRecord;
  if (record->instance < 0 || record->instance >= KELV_FX_INSTANCES) return SetupStatus::Rejected;

  if (record->flags & KELV_SETUP_HOST_HEAP)
    allocator_.UseHostHeap(record->getMem, record->freeMem);
  else
    allocator_.UseOwnHeap();

  const SetupStatus status = instances_[record->instance].Apply(*record, allocator_);
  if (status != SetupStatus::Accepted) return status;

  for (int32_t g = 0; g < definition_.tableRows && g < kMaxTableRows; ++g)
    groupEntries_[g] = entrySource_[g];
  return SetupStatus::Accepted;
}

void EffectModule::Run(int32_t group, int32_t command, int32_t instance) noexcept {
  if (instance < 0 || instance >= KELV_FX_INSTANCES) return;
  if (group < 0 || group >= definition_.tableRows) return;
  const Instance& inst = instances_[instance];
  if (!inst.Ready()) return;
  EffectRun run(inst, instance, allocator_, random_);
  run_(run, group, command);
}

}  // namespace kelv::fx
