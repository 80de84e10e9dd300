#include "plugins/plugin_host.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

#include "common/code_page.hpp"
#include "common/exception.hpp"
#include "plugins/plugin_rules.hpp"
#include "plugins/plugin_system.hpp"
#include "plugins/shared_allocator.hpp"
#include "settings/settings.hpp"

namespace kelv {

namespace {

struct HostState {
  std::vector<InModule> inModules;
  std::vector<EffectModule> effectModules;
  std::vector<NativeModule> libraries;
  bool memoryManagerLoaded = false;

  void* buffer = nullptr;  // the shared decode buffer
  int64_t bufferSize = 0;

  // The variable whose address the options record carries.
  KelvRowSinkProc rowSinkVariable = nullptr;
  RowSinkHandler rowSinkHandler = nullptr;
  KelvRowSinkProc rowSinkEntry = nullptr;
  bool rowSinkTook = false;    // the handler accepted the current picture
  bool rowSinkFailed = false;  // the handler raised during the current picture
};

HostState& State() {
  static HostState state;
  return state;
}

constexpr int64_t kPhysicalCheckThreshold = 50'000'000;

bool SizeAllowed(int64_t size) {
  // Only large requests need the memory status.
  uint64_t available = size > kPhysicalCheckThreshold
                           ? CurrentPluginSystem().AvailablePhysicalMemory()
                           : std::numeric_limits<uint64_t>::max();
  return BufferSizeAllowed(size, available);
}

// Entries the modules call: C ABI, so nothing may be thrown out of them.
void* KELV_CDECL AllocBufferEntry(uint32_t byteCount) noexcept {
  try {
    return AllocBuffer(static_cast<int64_t>(byteCount));
  } catch (...) {
    return nullptr;
  }
}

uint8_t KELV_CDECL RowSinkEntry(intptr_t first, int32_t rowIndex, int32_t width,
                                int32_t height) noexcept {
  HostState& s = State();
  if (s.rowSinkFailed || (!s.rowSinkHandler && !s.rowSinkEntry)) return 0;
  try {
    bool accepted = s.rowSinkHandler ? s.rowSinkHandler(first, rowIndex, width, height)
                                     : s.rowSinkEntry(first, rowIndex, width, height) != 0;
    if (rowIndex == KELV_ROWSINK_HEADER) s.rowSinkTook = accepted;
    return accepted ? 1 : 0;
  } catch (...) {
    // The failure stays on this side of the boundary; the picture counts as unreadable.
    s.rowSinkFailed = true;
    return 0;
  }
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  // A last byte 0x5C may be the second byte of a double-byte character, not a separator.
  const size_t last = FindLastDelimiter(folder, "\\/");
  if (!folder.empty() && last == folder.size() - 1) return folder + name;
  return folder + "\\" + name;
}

std::string KeptFileName(const std::string& name) { return name.substr(0, kModuleFileNameLimit); }

TInModuleOptions BuildOptions() {
  const Settings& settings = TheSettings();
  TInModuleOptions o{};
  o.size = static_cast<int32_t>(sizeof(TInModuleOptions));
  o.allocBuffer = &AllocBufferEntry;
  o.flags = InputOptionFlags(settings.ignoreexif, settings.crop);
  o.rowSinkVariable = settings.rtresize ? &State().rowSinkVariable : nullptr;
  o.getMem = &HostGetMem;
  o.freeMem = &HostFreeMem;
  o.reallocMem = &HostReallocMem;
  return o;
}

bool HasOptionsEntry(const TInModule& d) {
  return (d.flags & KELV_IN_HAS_OPTIONS) && d.setOptions != nullptr;
}

void LoadMemoryManagerOrEnd(PluginSystem& sys, const std::string& folder) {
  uintptr_t handle = 0;
  uint32_t error = 0;
  std::optional<MemoryManagerProcs> procs =
      sys.LoadMemoryManager(JoinPath(folder, kMemoryManagerLibrary), handle, error);
  if (!procs || !procs->complete()) {
    // Nothing that crosses the plug-in boundary could be allocated: the run ends here,
    // cleanly, after telling the user.
    sys.ShowMessage(MemoryManagerFailureMessage(handle, error));
    sys.EndProgram();
  }
  BindSharedAllocator(*procs);
  State().memoryManagerLoaded = true;
}

void TakeInputModule(PluginSystem& sys, NativeModule library, const std::string& fileName) {
  auto getInModule = reinterpret_cast<KelvGetInModuleProc>(sys.FindExport(library, "GetInModule"));
  if (!getInModule) return;
  const TInModule* offered = getInModule();
  if (!offered || offered->interfaceVersion != kInModuleVersion) return;

  HostState& s = State();
  InModule module;
  std::memcpy(&module.descriptor, offered, sizeof(TInModule));
  module.fileName = KeptFileName(fileName);
  module.library = library;
  module.getPictureInfo =
      reinterpret_cast<KelvGetPictureInfoProc>(sys.FindExport(library, "GetPictureInfo"));
  s.inModules.push_back(std::move(module));
  s.libraries.push_back(library);

  InModule& kept = s.inModules.back();
  if (!HasOptionsEntry(kept.descriptor)) return;
  TInModuleOptions options = BuildOptions();
  kept.descriptor.setOptions(&options);
  kept.optionsSent = true;
  if (options.flags & KELV_OPT_SIX_ARG) {
    sys.ShowMessage(TooOldMessage(kept.descriptor.name));
    sys.EndProgram();
  }
}

void TakeEffectModule(PluginSystem& sys, NativeModule library, const std::string& fileName) {
  auto getEffectModule =
      reinterpret_cast<KelvGetEffectModuleProc>(sys.FindExport(library, "GetEffectModule"));
  if (!getEffectModule) return;
  const TEffectModule* offered = getEffectModule();
  if (!offered || offered->interfaceVersion != kEffectModuleVersion) return;

  HostState& s = State();
  EffectModule module;
  std::memcpy(&module.descriptor, offered, sizeof(TEffectModule));
  module.library = library;
  module.state.fileName = KeptFileName(fileName);
  module.state.enabled = true;
  const int32_t groups = std::max<int32_t>(0, module.descriptor.groupCount);
  for (int32_t g = 0; g < groups; ++g) {
    const size_t effects = module.descriptor.effectCounts ? module.descriptor.effectCounts[g] : 0;
    module.state.groups.push_back(EffectGroupState{true, std::vector<bool>(effects, true)});
    module.effectWork.emplace_back(effects, 0);
  }
  module.groupWork.assign(static_cast<size_t>(groups), 0);
  s.effectModules.push_back(std::move(module));
  if (s.libraries.empty() || s.libraries.back() != library) s.libraries.push_back(library);
}

// Closes a file the host opened for a decoder.
struct OpenedFile {
  PluginSystem& sys;
  NativeFile file;
  ~OpenedFile() {
    if (file != kNoFile) sys.CloseFile(file);
  }
};

// A decoder receives the open file as the interface's pointer-sized value, bit for bit
// what the platform opened.
KelvFileHandle InterfaceFileValue(NativeFile file) {
  return reinterpret_cast<KelvFileHandle>(static_cast<std::uintptr_t>(file));
}

}  // namespace

void* AllocBuffer(int64_t size) {
  HostState& s = State();
  if (!SizeAllowed(size)) return nullptr;
  if (!s.buffer) {
    s.buffer = SharedGetMem(static_cast<size_t>(size));
    s.bufferSize = s.buffer ? size : 0;
  } else if (size != s.bufferSize) {
    if (!SharedReallocMem(s.buffer, static_cast<size_t>(size))) return nullptr;
    s.bufferSize = size;
  }
  return s.buffer;
}

void FreeBuffer() {
  HostState& s = State();
  SharedFreeMem(s.buffer);
  s.buffer = nullptr;
  s.bufferSize = 0;
}

void* KELV_REGCALL HostGetMem(uint32_t size) {
  try {
    return SizeAllowed(size) ? SharedGetMem(size) : nullptr;
  } catch (...) {
    return nullptr;
  }
}

void KELV_REGCALL HostFreeMem(void* block) { SharedFreeMem(block); }

void* KELV_REGCALL HostReallocMem(void** block, uint32_t newSize) {
  if (!block) return nullptr;
  return SharedReallocMem(*block, newSize) ? *block : nullptr;
}

void PublishRowSink(RowSinkHandler handler) {
  HostState& s = State();
  s.rowSinkHandler = handler;
  s.rowSinkEntry = nullptr;
  s.rowSinkVariable = handler ? &RowSinkEntry : nullptr;
}

void PublishRowSinkEntry(KelvRowSinkProc entry) {
  HostState& s = State();
  s.rowSinkHandler = nullptr;
  s.rowSinkEntry = entry;
  s.rowSinkVariable = entry ? &RowSinkEntry : nullptr;
}

void WithdrawRowSink() { PublishRowSink(nullptr); }

void LoadPlugins() {
  HostState& s = State();
  if (s.memoryManagerLoaded) return;  // once per process
  PluginSystem& sys = CurrentPluginSystem();
  const std::string folder = TheSettings().PluginFolder;

  FreeBuffer();
  LoadMemoryManagerOrEnd(sys, folder);

  if (!folder.empty() && sys.FolderExists(folder)) {
    std::vector<std::string> files = PluginLibraryFiles(
        sys.ListFiles(folder),
        [&sys](const std::string& a, const std::string& b) { return sys.CompareNames(a, b); });
    for (const std::string& name : files) {
      uint32_t error = 0;
      NativeModule library = sys.LoadLibrary(JoinPath(folder, name), error);
      if (!library) throw Exception("can't load " + name + ", " + std::to_string(error));
      TakeInputModule(sys, library, name);
      TakeEffectModule(sys, library, name);
      if (s.libraries.empty() || s.libraries.back() != library) sys.FreeLibrary(library);
    }
  }
  sys.ModulesChanged();
}

void ResendInputOptions() {
  for (InModule& m : State().inModules) {
    if (!HasOptionsEntry(m.descriptor)) continue;
    TInModuleOptions options = BuildOptions();
    m.descriptor.setOptions(&options);
  }
}

void UnloadPlugins() {
  HostState& s = State();
  PluginSystem& sys = CurrentPluginSystem();
  FreeBuffer();
  for (EffectModule& m : s.effectModules) {
    m.groupWork.clear();
    m.effectWork.clear();
  }
  for (InModule& m : s.inModules) {
    const uint32_t flags = m.descriptor.flags;
    if ((flags & KELV_IN_RESERVED_8) && HasOptionsEntry(m.descriptor)) {
      TInModuleOptions release{};
      release.size = static_cast<int32_t>(sizeof(TInModuleOptions));
      release.flags = KELV_OPT_RELEASE;
      m.descriptor.setOptions(&release);
    }
  }
  for (NativeModule library : s.libraries) sys.FreeLibrary(library);
  s.libraries.clear();
  s.inModules.clear();
  s.effectModules.clear();
  // The memory manager goes last: the plug-ins may still free blocks of the shared heap
  // while they are released and unloaded.
  if (s.memoryManagerLoaded) {
    UnbindSharedAllocator();
    sys.UnloadMemoryManager();
    s.memoryManagerLoaded = false;
  }
}

const std::vector<InModule>& InputModules() { return State().inModules; }
std::vector<InModule>& MutableInputModules() { return State().inModules; }
std::vector<EffectModule>& EffectModules() { return State().effectModules; }
const std::vector<NativeModule>& ModuleLibraries() { return State().libraries; }

std::vector<EffectModuleState*> EffectModuleStates() {
  std::vector<EffectModuleState*> states;
  for (EffectModule& m : State().effectModules) states.push_back(&m.state);
  return states;
}

std::vector<std::string> DeclaredExtensions() {
  std::vector<std::string> declared;
  for (const InModule& m : State().inModules) {
    if (!m.enabled) continue;
    for (std::string& e : DescriptorExtensions(m.descriptor)) declared.push_back(std::move(e));
  }
  return declared;
}

namespace {

// What one decoder gave back.
struct DecoderReply {
  int32_t deliveredW, deliveredH, sourceW, sourceH;
  void* pixels = nullptr;
};

// Takes the decoder's reply into `result`: false when the decoder refused the file (the
// next decoder for the extension is tried).
bool TakeReply(const DecoderReply& r, const DecodeRequest& request, const char* formatName, DecodeResult& result) {
  HostState& s = State();
  DecodeAnswer answer;
  answer.deliveredWidth = r.deliveredW;
  answer.deliveredHeight = r.deliveredH;
  answer.sourceWidth = r.sourceW;
  answer.sourceHeight = r.sourceH;
  answer.rowsTaken = s.rowSinkTook && !s.rowSinkFailed;
  // Pixels count only when they lie in the shared buffer and fit in it.
  answer.pixelsDelivered = r.pixels && r.pixels == s.buffer && r.deliveredW > 0 && r.deliveredH > 0 &&
                           static_cast<int64_t>(r.deliveredW) * r.deliveredH * 4 <= s.bufferSize;
  DecodeVerdict verdict = JudgeDecode(answer, request.wantPixels);
  if (s.rowSinkFailed) verdict = DecodeVerdict::Rejected;

  if (verdict == DecodeVerdict::Filtered) {
    const bool sourceNegative = r.sourceW < 0 && r.sourceH < 0;
    result.width = sourceNegative ? r.sourceW : r.deliveredW;
    result.height = sourceNegative ? r.sourceH : r.deliveredH;
  } else if (verdict == DecodeVerdict::Decoded) {
    const bool sourceKnown = r.sourceW > 0 && r.sourceH > 0;
    result.width = sourceKnown ? r.sourceW : r.deliveredW;
    result.height = sourceKnown ? r.sourceH : r.deliveredH;
    result.rowsTaken = answer.rowsTaken;
    if (request.wantPixels && !answer.rowsTaken && answer.pixelsDelivered)
      result.bitmap = TBitmap::CreateFromBits(r.deliveredW, r.deliveredH, r.pixels);
  } else {
    result.width = r.deliveredW;
    result.height = r.deliveredH;
    return false;
  }
  result.formatName = formatName ? formatName : "";
  result.decoded = true;
  return true;
}

// The date the module that just decoded a picture says it was taken, when it is a real one.
std::string AskDateTaken(const InModule& module) {
  if (!module.getPictureInfo) return {};
  TInPictureInfo info{};
  info.size = static_cast<int32_t>(sizeof info);
  if (module.getPictureInfo(&info) != 1) return {};
  return DateTakenText(info);
}

// One decoder's attempt at the file: true when the search ends with it (the file is
// missing or cannot be opened, or the decoder took the file).
bool TryDecoder(const InModule& module, int32_t format, const std::string& fileName, const DecodeRequest& request,
                int32_t minWidth, int32_t minHeight, DecodeResult& result) {
  HostState& s = State();
  PluginSystem& sys = CurrentPluginSystem();
  const TInModule& d = module.descriptor;
  // Every attempt starts from the caller's values.
  DecoderReply reply{request.wantWidth, request.wantHeight, minWidth, minHeight};
  void** bufferArg = request.wantPixels ? &reply.pixels : nullptr;
  s.rowSinkTook = false;
  s.rowSinkFailed = false;

  if (!sys.FileExists(fileName)) {
    result.fileMissing = true;
    return true;
  }
  OpenedFile opened{sys, kNoFile};
  TInHostFile hostFile{};
  void* fileArg = nullptr;
  const bool byName = (d.flags & KELV_IN_OPENS_BY_NAME) != 0;
  if (byName) {
    fileArg = const_cast<char*>(fileName.c_str());
  } else {
    opened.file = sys.OpenFileForRead(fileName);
    if (opened.file == kNoFile) {
      result.fileUnopenable = true;
      return true;
    }
    result.fileSize = sys.FileSize(opened.file);
    hostFile.handle = InterfaceFileValue(opened.file);
    hostFile.magic = KELV_HOSTFILE_MAGIC;
    fileArg = &hostFile;
  }

  if (module.optionsSent) {
    reinterpret_cast<KelvDecode6Proc>(d.decoders[format])(fileArg, &reply.deliveredW, &reply.deliveredH,
                                                          &reply.sourceW, &reply.sourceH, bufferArg);
  } else {
    // A module that never took the options still has its four-argument decoders.
    reinterpret_cast<KelvDecode4Proc>(d.decoders[format])(fileArg, &reply.deliveredW, &reply.deliveredH, bufferArg);
    reply.sourceW = reply.deliveredW;
    reply.sourceH = reply.deliveredH;
  }
  if (byName) {
    OpenedFile sized{sys, sys.OpenFileForRead(fileName)};
    if (sized.file != kNoFile) result.fileSize = sys.FileSize(sized.file);
  }
  if (!TakeReply(reply, request, d.formatNames ? d.formatNames[format] : nullptr, result)) return false;
  // Right after a decode that delivered the picture, the module still holds what it read.
  if (result.width > 0 && result.height > 0 && request.wantPixels) result.dateTaken = AskDateTaken(module);
  return true;
}

}  // namespace

DecodeResult DecodeFile(const std::string& fileName, int32_t wantWidth, int32_t wantHeight,
                        int32_t minWidth, int32_t minHeight) {
  DecodeResult result;
  result.width = wantWidth;
  result.height = wantHeight;
  const DecodeRequest request = MakeDecodeRequest(wantWidth, wantHeight, TheSettings().Resize == 2);
  const std::string extension = LowerAscii(FileExtension(fileName));
  // Every decoder declaring the extension, in load order, until one takes the file.
  for (const InModule& module : State().inModules) {
    if (!module.enabled) continue;
    const TInModule& d = module.descriptor;
    if (!d.extensions || !d.decoders) continue;
    for (int32_t i = 0; i < d.formatCount; ++i) {
      if (!d.extensions[i] || LowerAscii(d.extensions[i]) != extension || !d.decoders[i]) continue;
      if (TryDecoder(module, i, fileName, request, minWidth, minHeight, result)) return result;
    }
  }
  return result;
}

}  // namespace kelv
