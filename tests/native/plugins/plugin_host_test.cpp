// The plug-in host over an in-memory platform: which libraries load and in what order,
// what the host keeps and sends, how decode requests are routed and answered.
#include <gtest/gtest.h>

#include <cstring>

#include "common/exception.hpp"
#include "fake_plugin_system.hpp"
#include "plugins/plugin_host.hpp"
#include "plugins/shared_allocator.hpp"
#include "settings/settings.hpp"

namespace kelv::test {
namespace {

const std::string kFolder = "C:\\Kelvora";
std::string InFolder(const std::string& name) { return kFolder + "\\" + name; }

// ---- Fake modules (C entries as the real modules have them) -----------------------

struct DecodeCall {
  std::string module;
  int32_t wantW = 0, wantH = 0, srcW = 0, srcH = 0;
  bool bufferRequested = false;
  void* file = nullptr;
};

struct FakeInput {
  TInModule descriptor{};
  const char* extensions[2] = {".jpg", ".png"};
  const char* names[2] = {"JPEG", "PNG"};
  KelvDecodeProc decoders[2] = {};
  TInModuleOptions lastOptions{};
  std::vector<uint32_t> optionFlagsSeen;
  bool acknowledge = true;
  // What the decode answers.
  int32_t picW = 40, picH = 30;
  bool fail = false;
};

FakeInput g_first, g_second;
std::vector<DecodeCall> g_calls;

template <FakeInput* M>
int32_t KELV_CDECL FakeSetOptions(TInModuleOptions* o) {
  M->lastOptions = *o;
  M->optionFlagsSeen.push_back(o->flags);
  if (M->acknowledge) o->flags &= ~KELV_OPT_SIX_ARG;
  return 1;
}

bool BelowFilter(int32_t w, int32_t h, int32_t mw, int32_t mh) {
  return mw > 0 && mh > 0 && ((w < mw && h < mh) || (w < mh && h < mw));
}

template <FakeInput* M>
void KELV_CDECL FakeDecode(void* file, int32_t* wantW, int32_t* wantH, int32_t* srcW, int32_t* srcH,
                           void** buffer) {
  g_calls.push_back({M == &g_first ? "first" : "second", *wantW, *wantH, *srcW, *srcH,
                     buffer != nullptr, file});
  if (M->fail) {
    *wantW = *wantH = *srcW = *srcH = 0;
    if (buffer) *buffer = nullptr;
    return;
  }
  const int32_t w = M->picW, h = M->picH;
  if (BelowFilter(w, h, *srcW, *srcH)) {
    *wantW = w, *wantH = h, *srcW = -w, *srcH = -h;
    return;
  }
  *wantW = *srcW = w;
  *wantH = *srcH = h;
  if (!buffer) return;
  auto* pixels = static_cast<uint32_t*>(M->lastOptions.allocBuffer(static_cast<uint32_t>(w * h * 4)));
  if (!pixels) {
    *wantW = *wantH = *srcW = *srcH = 0;
    *buffer = nullptr;
    return;
  }
  for (int32_t i = 0; i < w * h; ++i) pixels[i] = 0x00102030;
  *buffer = pixels;
}

template <FakeInput* M>
TInModule* KELV_CDECL FakeGetInModule() {
  return &M->descriptor;
}

template <FakeInput* M>
void ResetInput(const char* name, uint32_t flags) {
  *M = FakeInput{};
  M->decoders[0] = reinterpret_cast<KelvDecodeProc>(&FakeDecode<M>);
  M->decoders[1] = reinterpret_cast<KelvDecodeProc>(&FakeDecode<M>);
  TInModule& d = M->descriptor;
  d.interfaceVersion = KELV_INMODULE_VERSION;
  d.moduleVersion = 0x01020304;
  d.name = name;
  d.flags = flags;
  d.formatCount = 2;
  d.extensions = M->extensions;
  d.formatNames = M->names;
  d.decoders = M->decoders;
  d.setOptions = &FakeSetOptions<M>;
}

// Effect module with two groups of 3 and 1 effects.
const char* const kGroupNames[] = {"Wipes", "Fades"};
const uint8_t kEffectCounts[] = {3, 1};
TEffectModule g_effect{};
TEffectModule* KELV_CDECL FakeGetEffectModule() { return &g_effect; }

void ResetEffect() {
  g_effect = TEffectModule{};
  g_effect.interfaceVersion = KELV_EFFECTMODULE_VERSION;
  g_effect.moduleVersion = 0x01000205;
  g_effect.name = "Fake Effects";
  g_effect.groupCount = 2;
  g_effect.groupNames = kGroupNames;
  g_effect.effectCounts = kEffectCounts;
}

void* Entry(auto fn) { return reinterpret_cast<void*>(fn); }

class PluginHost : public ::testing::Test {
protected:
  FakePluginSystem sys;

  void SetUp() override {
    ResetInput<&g_first>("First", KELV_IN_HAS_OPTIONS);
    ResetInput<&g_second>("Second", KELV_IN_HAS_OPTIONS | KELV_IN_RESERVED_8 | KELV_IN_OPENS_BY_NAME);
    ResetEffect();
    g_calls.clear();
    Settings& s = TheSettings();
    s = Settings{};
    s.PluginFolder = kFolder;
    SetPluginSystem(&sys);
  }
  void TearDown() override {
    UnloadPlugins();
    SetPluginSystem(nullptr);
    TheSettings() = Settings{};
  }

  void AddLibrary(const std::string& name, std::map<std::string, void*> exports) {
    sys.folders[kFolder].push_back(name);
    sys.libraries[InFolder(name)].exports = std::move(exports);
  }
  void AddInputLibraries() {
    AddLibrary("a.dll", {{"GetInModule", Entry(&FakeGetInModule<&g_first>)}});
    AddLibrary("b.dll", {{"GetInModule", Entry(&FakeGetInModule<&g_second>)}});
  }
  std::vector<std::string> Loaded() const {
    std::vector<std::string> out;
    for (const auto& line : sys.log)
      if (line.rfind("load ", 0) == 0) out.push_back(line.substr(5));
    return out;
  }
  void AddFile(const std::string& path) { sys.files[path] = std::string(123, 'x'); }
};

TEST_F(PluginHost, LoadsDllFilesOnlyInCaseInsensitiveOrder) {
  AddLibrary("b.DLL", {{"GetEffectModule", Entry(&FakeGetEffectModule)}});
  AddLibrary("A.dll", {{"GetInModule", Entry(&FakeGetInModule<&g_first>)}});
  sys.folders[kFolder].push_back("readme.txt");
  sys.folders[kFolder].push_back("old.dll.bak");
  LoadPlugins();
  EXPECT_EQ(Loaded(), (std::vector<std::string>{InFolder("A.dll"), InFolder("b.DLL")}));
  EXPECT_EQ(sys.log.front(), "mm load " + InFolder("fastmm.dll"));
  EXPECT_EQ(sys.log.back(), "modules changed");
  ASSERT_EQ(InputModules().size(), 1u);
  EXPECT_EQ(InputModules()[0].fileName, "A.dll");
  ASSERT_EQ(EffectModules().size(), 1u);
  EXPECT_EQ(EffectModules()[0].state.fileName, "b.DLL");
}

TEST_F(PluginHost, MissingFolderLoadsNothingButTheMemoryManager) {
  TheSettings().PluginFolder = "C:\\Nowhere";
  LoadPlugins();
  EXPECT_TRUE(InputModules().empty());
  EXPECT_EQ(sys.log.size(), 2u);  // memory manager, modules changed
}

TEST_F(PluginHost, KeepsOnlyLibrariesOfferingAcceptedModules) {
  g_second.descriptor.interfaceVersion = 0x00010301;
  AddLibrary("both.dll", {{"GetInModule", Entry(&FakeGetInModule<&g_first>)},
                          {"GetEffectModule", Entry(&FakeGetEffectModule)}});
  AddLibrary("nothing.dll", {});
  AddLibrary("oldversion.dll", {{"GetInModule", Entry(&FakeGetInModule<&g_second>)}});
  LoadPlugins();
  EXPECT_EQ(InputModules().size(), 1u);
  EXPECT_EQ(EffectModules().size(), 1u);
  ASSERT_EQ(ModuleLibraries().size(), 1u);  // one handle for both modules
  EXPECT_EQ(sys.NameOf(ModuleLibraries()[0]), InFolder("both.dll"));
  std::vector<std::string> freed;
  for (const auto& l : sys.log)
    if (l.rfind("free ", 0) == 0) freed.push_back(l.substr(5));
  EXPECT_EQ(freed, (std::vector<std::string>{InFolder("nothing.dll"), InFolder("oldversion.dll")}));
  EXPECT_TRUE(sys.messages.empty());  // a wrong version is skipped without a word
  EXPECT_TRUE(g_second.optionFlagsSeen.empty());
}

TEST_F(PluginHost, CopiesDescriptorsAndBuildsEffectState) {
  AddLibrary("fx.dll", {{"GetEffectModule", Entry(&FakeGetEffectModule)}});
  LoadPlugins();
  g_effect.name = "changed after the call";  // the host keeps its own copy
  const EffectModule& m = EffectModules().at(0);
  EXPECT_STREQ(m.descriptor.name, "Fake Effects");
  EXPECT_EQ(m.descriptor.moduleVersion, 0x01000205u);
  EXPECT_EQ(m.groupWork.size(), 2u);
  ASSERT_EQ(m.effectWork.size(), 2u);
  EXPECT_EQ(m.effectWork[0].size(), 3u);
  auto states = EffectModuleStates();
  ASSERT_EQ(states.size(), 1u);
  EXPECT_TRUE(states[0]->enabled);
  ASSERT_EQ(states[0]->groups.size(), 2u);
  EXPECT_EQ(states[0]->groups[0].effects, std::vector<bool>(3, true));
  EXPECT_EQ(states[0]->groups[1].effects, std::vector<bool>(1, true));
}

TEST_F(PluginHost, LongFileNamesAreCutToOneHundredCharacters) {
  std::string name = std::string(120, 'n') + ".dll";
  AddLibrary(name, {{"GetInModule", Entry(&FakeGetInModule<&g_first>)}});
  LoadPlugins();
  EXPECT_EQ(InputModules().at(0).fileName, name.substr(0, 100));
}

TEST_F(PluginHost, OptionsRecordCarriesTheSettings) {
  TheSettings().ignoreexif = true;
  TheSettings().crop = true;
  TheSettings().rtresize = false;
  AddInputLibraries();
  LoadPlugins();
  const TInModuleOptions& o = g_first.lastOptions;
  EXPECT_EQ(o.size, static_cast<int32_t>(sizeof(TInModuleOptions)));
  EXPECT_EQ(o.flags, 1u | 2u | 4u);
  EXPECT_EQ(o.rowSinkVariable, nullptr);
  EXPECT_NE(o.allocBuffer, nullptr);
  EXPECT_NE(o.getMem, nullptr);

  TheSettings().ignoreexif = false;
  TheSettings().crop = false;
  TheSettings().rtresize = true;
  ResendInputOptions();
  EXPECT_EQ(g_first.lastOptions.flags, 1u);
  EXPECT_NE(g_first.lastOptions.rowSinkVariable, nullptr);
  EXPECT_EQ(g_second.optionFlagsSeen.size(), 2u);
}

TEST_F(PluginHost, ModuleWithoutOptionsEntryIsNotAskedAndDecodesWithFourArguments) {
  g_first.descriptor.flags = 0;
  AddLibrary("a.dll", {{"GetInModule", Entry(&FakeGetInModule<&g_first>)}});
  LoadPlugins();
  EXPECT_TRUE(g_first.optionFlagsSeen.empty());
  EXPECT_FALSE(InputModules().at(0).optionsSent);
}

TEST_F(PluginHost, UnacknowledgedOptionsEndTheProgramWithTheMessage) {
  g_second.acknowledge = false;
  AddInputLibraries();
  EXPECT_THROW(LoadPlugins(), ProgramEnded);
  ASSERT_EQ(sys.messages.size(), 1u);
  EXPECT_EQ(sys.messages[0], "Second plugin is too old. Please download new version");
}

TEST_F(PluginHost, MissingMemoryManagerEndsTheProgramWithTheMessage) {
  sys.memoryManagerPresent = false;
  AddInputLibraries();
  EXPECT_THROW(LoadPlugins(), ProgramEnded);
  ASSERT_EQ(sys.messages.size(), 1u);
  EXPECT_EQ(sys.messages[0], "Can't load \"fastmm.dll\". Please reinstall Kelvora. Error 0, 126");
  EXPECT_TRUE(Loaded().empty());
}

TEST_F(PluginHost, LibraryThatCannotLoadRaisesCantLoad) {
  AddInputLibraries();
  sys.folders[kFolder].push_back("broken.dll");
  sys.loadErrors[InFolder("broken.dll")] = 193;
  try {
    LoadPlugins();
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "can't load broken.dll, 193");
  }
}

TEST_F(PluginHost, UnloadSendsReleaseNoticeAndFreesMemoryManagerLast) {
  AddInputLibraries();
  AddLibrary("fx.dll", {{"GetEffectModule", Entry(&FakeGetEffectModule)}});
  LoadPlugins();
  sys.log.clear();
  g_first.optionFlagsSeen.clear();
  g_second.optionFlagsSeen.clear();
  UnloadPlugins();
  EXPECT_TRUE(g_first.optionFlagsSeen.empty());  // flag 8 missing: no notice
  ASSERT_EQ(g_second.optionFlagsSeen, std::vector<uint32_t>{KELV_OPT_RELEASE});
  EXPECT_EQ(g_second.lastOptions.allocBuffer, nullptr);
  EXPECT_EQ(g_second.lastOptions.size, static_cast<int32_t>(sizeof(TInModuleOptions)));
  EXPECT_EQ(sys.log, (std::vector<std::string>{"free " + InFolder("a.dll"), "free " + InFolder("b.dll"),
                                                "free " + InFolder("fx.dll"), "mm unload"}));
  EXPECT_TRUE(InputModules().empty());
  EXPECT_TRUE(EffectModules().empty());
  EXPECT_TRUE(ModuleLibraries().empty());
}

// ---- Decode routing ----------------------------------------------------------------

TEST_F(PluginHost, RoutesByLowerCasedExtensionToFirstModule) {
  AddInputLibraries();
  LoadPlugins();
  const std::string file = "C:\\pics\\Photo.JPG";
  AddFile(file);
  DecodeResult r = DecodeFile(file, 800, 600, 0, 0);
  ASSERT_TRUE(r.decoded);
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].module, "first");
  EXPECT_EQ(g_calls[0].wantW, 800);
  EXPECT_EQ(r.formatName, "JPEG");
  EXPECT_EQ(r.fileSize, 123);
  ASSERT_NE(r.bitmap, nullptr);
  EXPECT_EQ(r.bitmap->Width, 40);
  EXPECT_EQ(r.bitmap->Height, 30);
  EXPECT_EQ(r.bitmap->Pixel(39, 29), 0x00102030u);
  EXPECT_EQ(sys.openFiles, 0);  // the host file was closed again
  // The first module gets a host file record with the open handle.
  // (The handle itself was valid only during the call.)
  FreeBuffer();
}

TEST_F(PluginHost, ModuleOpeningByNameGetsTheFileName) {
  g_first.descriptor.extensions = nullptr;  // only the second module decodes
  AddInputLibraries();
  LoadPlugins();
  const std::string file = "C:\\pics\\a.png";
  AddFile(file);
  DecodeResult r = DecodeFile(file, 100, 100, 0, 0);
  ASSERT_TRUE(r.decoded);
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].module, "second");
  EXPECT_EQ(r.fileSize, 123);
  EXPECT_EQ(sys.openFiles, 0);
}

TEST_F(PluginHost, FailedModuleFallsThroughToNextWithCallersValues) {
  g_first.fail = true;
  AddInputLibraries();
  LoadPlugins();
  const std::string file = "C:\\pics\\a.jpg";
  AddFile(file);
  DecodeResult r = DecodeFile(file, 320, 240, 10, 12);
  ASSERT_TRUE(r.decoded);
  ASSERT_EQ(g_calls.size(), 2u);
  EXPECT_EQ(g_calls[1].module, "second");
  EXPECT_EQ(g_calls[1].wantW, 320);
  EXPECT_EQ(g_calls[1].srcW, 10);
  EXPECT_EQ(g_calls[1].srcH, 12);
  EXPECT_EQ(r.formatName, "JPEG");
}

// What the fake GetPictureInfo export answers and saw.
struct PictureInfoExport {
  int32_t answer = 1;
  const char* date = "2021:07:14 10:30:00";
  std::vector<int32_t> sizesSeen;
};
PictureInfoExport g_info;

int32_t KELV_CDECL FakeGetPictureInfo(TInPictureInfo* info) {
  g_info.sizesSeen.push_back(info->size);
  // The host's record comes zeroed: an answer without a date leaves it empty.
  for (char c : info->dateTaken) EXPECT_EQ(c, '\0');
  if (g_info.answer == 1 && KELV_INFO_COVER(info, dateTaken))
    std::strncpy(info->dateTaken, g_info.date, sizeof info->dateTaken);
  return g_info.answer;
}

TEST_F(PluginHost, DateTakenComesFromTheDecodingModulesOptionalExport) {
  // The first module has the export, the second (PNG only here) has not.
  AddLibrary("a.dll", {{"GetInModule", Entry(&FakeGetInModule<&g_first>)},
                       {"GetPictureInfo", Entry(&FakeGetPictureInfo)}});
  AddLibrary("b.dll", {{"GetInModule", Entry(&FakeGetInModule<&g_second>)}});
  g_first.descriptor.formatCount = 1;
  LoadPlugins();
  const std::string jpg = "C:\\pics\\a.jpg", png = "C:\\pics\\b.png";
  AddFile(jpg);
  AddFile(png);
  // A module may fill the whole field and leave out the NUL: the text is read no further.
  static char unterminated[21] = "2021:07:14 10:30:00X";
  struct Case {
    const char* what;
    int32_t answer;
    const char* date;
    const char* expected;
  } cases[] = {
      {"a real date", 1, "2021:07:14 10:30:00", "2021:07:14 10:30:00"},
      {"the module has nothing", 0, "2021:07:14 10:30:00", ""},
      {"an odd answer", 2, "2021:07:14 10:30:00", ""},
      {"all zeros", 1, "0000:00:00 00:00:00", ""},
      {"month 13", 1, "2021:13:01 00:00:00", ""},
      {"29 February of a common year", 1, "2021:02:29 12:00:00", ""},
      {"blanks", 1, "    :  :     :  :  ", ""},
      {"date without time", 1, "2021:07:14", ""},
      {"no NUL in the field", 1, unterminated, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_info = {c.answer, c.date, {}};
    DecodeResult r = DecodeFile(jpg, 300, 200, 0, 0);
    ASSERT_TRUE(r.decoded);
    EXPECT_EQ(r.dateTaken, c.expected);
    EXPECT_EQ(g_info.sizesSeen, std::vector<int32_t>{static_cast<int32_t>(sizeof(TInPictureInfo))});
    FreeBuffer();
  }
  // Asked only right after a decode that delivered the picture: not for sizes alone, not
  // for a filtered or failed picture, not of a module without the export.
  g_info = {};
  EXPECT_EQ(DecodeFile(jpg, -1, -1, 0, 0).dateTaken, "");
  EXPECT_EQ(DecodeFile(jpg, 300, 200, 50, 35).dateTaken, "");
  g_first.fail = true;
  EXPECT_EQ(DecodeFile(jpg, 300, 200, 0, 0).dateTaken, "");
  g_first.fail = false;
  DecodeResult other = DecodeFile(png, 300, 200, 0, 0);
  ASSERT_TRUE(other.decoded);
  EXPECT_EQ(other.dateTaken, "");
  EXPECT_TRUE(g_info.sizesSeen.empty());
  FreeBuffer();
}

TEST_F(PluginHost, BestQualityDoublesAndSizeOnlyRequestPassesNoBuffer) {
  AddInputLibraries();
  LoadPlugins();
  const std::string file = "C:\\pics\\a.jpg";
  AddFile(file);
  TheSettings().Resize = 2;
  DecodeFile(file, 300, 200, 0, 0);
  EXPECT_EQ(g_calls.back().wantW, 600);
  EXPECT_EQ(g_calls.back().wantH, 400);
  DecodeResult r = DecodeFile(file, -1, -1, 0, 0);
  EXPECT_EQ(g_calls.back().wantW, 0);
  EXPECT_FALSE(g_calls.back().bufferRequested);
  EXPECT_TRUE(r.decoded);
  EXPECT_EQ(r.bitmap, nullptr);
  EXPECT_EQ(r.width, 40);
  EXPECT_EQ(r.height, 30);
}

TEST_F(PluginHost, FilteredPictureIsDecodedWithNegativeSizes) {
  AddInputLibraries();
  LoadPlugins();
  const std::string file = "C:\\pics\\a.jpg";
  AddFile(file);
  DecodeResult r = DecodeFile(file, 300, 200, 50, 35);
  EXPECT_TRUE(r.decoded);
  EXPECT_EQ(r.bitmap, nullptr);
  EXPECT_EQ(r.width, -40);
  EXPECT_EQ(r.height, -30);
}

TEST_F(PluginHost, UnknownMissingAndUnopenableFiles) {
  AddInputLibraries();
  LoadPlugins();
  DecodeResult unknown = DecodeFile("C:\\pics\\notes.txt", 300, 200, 0, 0);
  EXPECT_FALSE(unknown.decoded || unknown.fileMissing || unknown.fileUnopenable);
  EXPECT_EQ(unknown.width, 300);
  EXPECT_EQ(unknown.height, 200);
  EXPECT_EQ(unknown.fileSize, -1);

  DecodeResult missing = DecodeFile("C:\\pics\\gone.jpg", 300, 200, 0, 0);
  EXPECT_TRUE(missing.fileMissing);
  EXPECT_FALSE(missing.decoded);

  AddFile("C:\\pics\\locked.jpg");
  sys.unopenable.push_back("C:\\pics\\locked.jpg");
  DecodeResult locked = DecodeFile("C:\\pics\\locked.jpg", 300, 200, 0, 0);
  EXPECT_TRUE(locked.fileUnopenable);
  EXPECT_TRUE(g_calls.empty());
}

TEST_F(PluginHost, PictureBeyondBufferLimitIsUnreadable) {
  g_first.picW = 6000;
  g_first.picH = 5000;  // 120,000,000 bytes
  g_second.fail = true;
  AddInputLibraries();
  LoadPlugins();
  AddFile("C:\\pics\\huge.jpg");
  DecodeResult r = DecodeFile("C:\\pics\\huge.jpg", 300, 200, 0, 0);
  EXPECT_FALSE(r.decoded);
  EXPECT_EQ(r.bitmap, nullptr);
  EXPECT_EQ(r.width, 0);
}

// A module answering with sizes larger than the buffer it allocated.
TInModuleOptions g_liarOptions{};
int32_t KELV_CDECL LiarSetOptions(TInModuleOptions* o) {
  g_liarOptions = *o;
  o->flags &= ~KELV_OPT_SIX_ARG;
  return 1;
}
void KELV_CDECL LiarDecode(void*, int32_t* wantW, int32_t* wantH, int32_t* srcW, int32_t* srcH,
                           void** buffer) {
  *buffer = g_liarOptions.allocBuffer(16);
  *wantW = *srcW = 100;
  *wantH = *srcH = 100;
}
const char* const kLiarExt[] = {".jpg"};
KelvDecodeProc g_liarDecoders[] = {reinterpret_cast<KelvDecodeProc>(&LiarDecode)};
TInModule g_liar{KELV_INMODULE_VERSION, 1, "Liar", KELV_IN_HAS_OPTIONS, nullptr, "", 1,
                 kLiarExt, kLiarExt, g_liarDecoders, &LiarSetOptions};
TInModule* KELV_CDECL LiarGetInModule() { return &g_liar; }

TEST_F(PluginHost, SizesLargerThanTheDeliveredBufferAreRefused) {
  AddLibrary("liar.dll", {{"GetInModule", Entry(&LiarGetInModule)}});
  LoadPlugins();
  AddFile("C:\\pics\\a.jpg");
  DecodeResult r = DecodeFile("C:\\pics\\a.jpg", 300, 200, 0, 0);
  EXPECT_FALSE(r.decoded);
  EXPECT_EQ(r.bitmap, nullptr);
}

// ---- Row sink -----------------------------------------------------------------------

TInModuleOptions g_rowOptions{};
int32_t KELV_CDECL RowSetOptions(TInModuleOptions* o) {
  g_rowOptions = *o;
  o->flags &= ~KELV_OPT_SIX_ARG;
  return 1;
}
void KELV_CDECL RowDecode(void*, int32_t* wantW, int32_t* wantH, int32_t* srcW, int32_t* srcH,
                          void** buffer) {
  *wantW = *srcW = 4;
  *wantH = *srcH = 3;
  KelvRowSinkProc sink = g_rowOptions.rowSinkVariable ? *g_rowOptions.rowSinkVariable : nullptr;
  if (sink && sink(1, -1, 4, 3)) {
    uint8_t row[12] = {};
    for (int y = 0; y < 3; ++y) sink(reinterpret_cast<intptr_t>(row), y, 4, 3);
    *buffer = nullptr;
    return;
  }
  *buffer = g_rowOptions.allocBuffer(4 * 3 * 4);
}
KelvDecodeProc g_rowDecoders[] = {reinterpret_cast<KelvDecodeProc>(&RowDecode)};
TInModule g_rowModule{KELV_INMODULE_VERSION, 1, "Rows", KELV_IN_HAS_OPTIONS, nullptr, "", 1,
                      kLiarExt, kLiarExt, g_rowDecoders, &RowSetOptions};
TInModule* KELV_CDECL RowGetInModule() { return &g_rowModule; }

int g_rowsSeen = 0;
bool AcceptingSink(intptr_t, int32_t index, int32_t, int32_t) {
  if (index >= 0) ++g_rowsSeen;
  return true;
}
uint8_t KELV_CDECL RefusingEntry(intptr_t, int32_t, int32_t, int32_t) { return 0; }
bool RaisingSink(intptr_t, int32_t index, int32_t, int32_t) {
  if (index == 1) throw Exception("prevLine=0, curLine=2");
  return true;
}

TEST_F(PluginHost, RowSinkTakesPictureOrItsFailureStaysOnHostSide) {
  AddLibrary("rows.dll", {{"GetInModule", Entry(&RowGetInModule)}});
  LoadPlugins();
  AddFile("C:\\pics\\a.jpg");

  PublishRowSink(&AcceptingSink);
  g_rowsSeen = 0;
  DecodeResult taken = DecodeFile("C:\\pics\\a.jpg", 300, 200, 0, 0);
  EXPECT_TRUE(taken.decoded);
  EXPECT_TRUE(taken.rowsTaken);
  EXPECT_EQ(taken.bitmap, nullptr);
  EXPECT_EQ(g_rowsSeen, 3);

  PublishRowSink(&RaisingSink);
  DecodeResult failed = DecodeFile("C:\\pics\\a.jpg", 300, 200, 0, 0);
  EXPECT_FALSE(failed.decoded);

  PublishRowSinkEntry(&RefusingEntry);  // the module falls back to the whole buffer
  DecodeResult refused = DecodeFile("C:\\pics\\a.jpg", 300, 200, 0, 0);
  EXPECT_FALSE(refused.rowsTaken);
  EXPECT_NE(refused.bitmap, nullptr);

  WithdrawRowSink();
  DecodeResult whole = DecodeFile("C:\\pics\\a.jpg", 300, 200, 0, 0);
  EXPECT_TRUE(whole.decoded);
  ASSERT_NE(whole.bitmap, nullptr);
  EXPECT_EQ(whole.bitmap->Width, 4);
}

// ---- Buffer and heap ----------------------------------------------------------------

TEST_F(PluginHost, BufferIsReusedResizedAndLimited) {
  LoadPlugins();
  EXPECT_EQ(AllocBuffer(100'000'001), nullptr);
  EXPECT_EQ(AllocBuffer(0), nullptr);
  EXPECT_EQ(AllocBuffer(-5), nullptr);
  void* a = AllocBuffer(1000);
  ASSERT_NE(a, nullptr);
  std::memset(a, 7, 1000);
  EXPECT_EQ(AllocBuffer(1000), a);
  auto* b = static_cast<uint8_t*>(AllocBuffer(5000));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b[999], 7);  // contents kept on resize
  FreeBuffer();
  sys.availablePhysical = 100'000'000;  // 0.3 x = 30,000,000
  EXPECT_EQ(AllocBuffer(50'000'001), nullptr);
  sys.availablePhysical = 1'000'000'000;
  void* big = AllocBuffer(50'000'001);
  EXPECT_NE(big, nullptr);
  FreeBuffer();
}

TEST_F(PluginHost, HostHeapAppliesLimitsAndResizesInPlaceOfTheReference) {
  LoadPlugins();
  EXPECT_EQ(HostGetMem(100'000'001), nullptr);
  EXPECT_EQ(HostGetMem(0), nullptr);
  void* block = HostGetMem(16);
  ASSERT_NE(block, nullptr);
  std::memset(block, 3, 16);
  void* grown = HostReallocMem(&block, 4096);
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(block, grown);
  EXPECT_EQ(static_cast<uint8_t*>(block)[15], 3);
  EXPECT_EQ(HostReallocMem(&block, 0), nullptr);
  EXPECT_EQ(block, nullptr);
  HostFreeMem(nullptr);
}

TEST_F(PluginHost, DeclaredExtensionsFollowEnabledModulesInOrder) {
  g_second.extensions[0] = ".PNG";
  g_second.extensions[1] = ".gif";
  AddInputLibraries();
  LoadPlugins();
  EXPECT_EQ(DeclaredExtensions(), (std::vector<std::string>{".jpg", ".png", ".PNG", ".gif"}));
  MutableInputModules()[0].enabled = false;
  EXPECT_EQ(DeclaredExtensions(), (std::vector<std::string>{".PNG", ".gif"}));
}

}  // namespace
}  // namespace kelv::test
