#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "catalogue/cache_file.hpp"
#include "common/exception.hpp"
#include "fakes.hpp"

namespace kelv {
namespace {

using test::FakeFileSystem;
using test::Names;
using Bytes = std::vector<uint8_t>;
using Strings = std::vector<std::string>;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }
void Append16(Bytes& out, uint16_t v) { Append(out, {uint8_t(v), uint8_t(v >> 8)}); }
void Append32(Bytes& out, uint32_t v) { Append(out, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); }
void AppendNames(Bytes& out, const Strings& names) {
  for (const auto& n : names) {
    Append(out, Text(n));
    out.push_back(0);
  }
}

TPicList* Decode(const Bytes& data, TPicList& list) {
  DecodeCatalogue(data.data(), data.size(), list);
  return &list;
}

TEST(CacheFile, EmptyRootIsThirtyBytes) {
  TPicList list;
  list.AddFolder("Root");
  Bytes expected{0x50, 0x52, 0x00, 0x00, 0x03, 0x02, 0x16, 0x00, 'R', 'o', 'o', 't', 0x00, 0x02};
  expected.resize(30, 0);
  EXPECT_EQ(EncodeCatalogue(list), expected);
}

TEST(CacheFile, FolderRecordLayout) {
  TPicList list;
  int32_t e = list.AddFolder("C:\\P");
  list.Item(e)->Pictures->assign({"C:\\P\\a.jpg", "C:\\P\\b.jpg"});
  list.Item(e)->Filtered->assign({"C:\\P\\c.jpg"});
  Bytes expected = Text("PR");
  Append32(expected, 0x02030000);
  Append16(expected, 22);
  Append(expected, Text("C:\\P"));
  Append(expected, {0x00, 0x02});
  Append32(expected, 2);
  Append32(expected, 33);
  Append32(expected, 1);
  Append32(expected, 11);
  AppendNames(expected, {"C:\\P\\a.jpg", "C:\\P\\b.jpg", "C:\\P\\c.jpg"});
  EXPECT_EQ(EncodeCatalogue(list), expected);
}

// A catalogue with every kind of entry, for round trips and damage.
void Sample(TPicList& list) {
  list.AddFolder("Root");
  list.Item(0)->Pictures->assign({"C:\\one.jpg", "D:\\two \xE9t\xE9.bmp"});
  int32_t a = list.AddFolder("C:\\Photos");
  list.Item(a)->AutoRefresh = true;
  list.Item(a)->Pictures->assign({"C:\\Photos\\a.jpg", "C:\\Photos\\B.jpg", "C:\\Photos\\c.jpg"});
  list.Item(a)->Filtered->assign({"C:\\Photos\\small1.jpg", "C:\\Photos\\Small2.jpg"});
  int32_t b = list.AddFolder("E:\\Empty");
  list.Item(b)->IncludeSubdirs = false;
  int32_t c = list.AddFolder("F:\\All filtered");
  list.Item(c)->AutoRefresh = true;
  list.Item(c)->Filtered->assign({"F:\\All filtered\\x.jpg"});
}

void ExpectSame(const TPicList& expected, const TPicList& actual) {
  ASSERT_EQ(actual.Count(), expected.Count());
  for (int32_t i = 0; i < expected.Count(); ++i) {
    const TFolderItem& x = *expected.Item(i);
    const TFolderItem& y = *actual.Item(i);
    EXPECT_EQ(y.Path, x.Path);
    EXPECT_EQ(y.AutoRefresh, x.AutoRefresh);
    EXPECT_EQ(y.IncludeSubdirs, x.IncludeSubdirs);
    EXPECT_EQ(y.TreeItem, 0u);
    EXPECT_EQ(Names(*y.Pictures), Names(*x.Pictures));
    EXPECT_EQ(Names(*y.Filtered), Names(*x.Filtered));
  }
}

TEST(CacheFile, RoundTripKeepsEntriesFlagsAndLists) {
  TPicList list, loaded;
  Sample(list);
  list.Item(1)->TreeItem = 1234;  // never stored
  Bytes data = EncodeCatalogue(list);
  ExpectSame(list, *Decode(data, loaded));
  EXPECT_EQ(EncodeCatalogue(loaded), data);
}

// The loaded picture lists keep their names in the file's bytes until they are needed as
// strings; whatever is done to them, a loaded catalogue answers exactly as one whose lists
// were made of strings, and the file's bytes may go before the lists.
TEST(CacheFile, LoadedListsAnswerAsListsOfStrings) {
  using Step = std::function<void(TPicList&)>;
  const std::vector<std::pair<const char*, Step>> steps{
      {"nothing", [](TPicList&) {}},
      {"filter a picture", [](TPicList& c) { EXPECT_TRUE(c.FilterPicture(3, "C:\\Photos\\B.jpg")); }},
      {"filter and restore",
       [](TPicList& c) {
         c.FilterPicture(2, "C:\\Photos\\a.jpg");
         c.RestoreAllFiltered();
       }},
      {"append", [](TPicList& c) { c.Item(1)->Pictures->push_back("C:\\Photos\\d.jpg"); }},
      {"insert", [](TPicList& c) { c.Item(1)->Pictures->insert(1, "C:\\Photos\\A2.jpg"); }},
      {"rename in place", [](TPicList& c) { (*c.Item(0)->Pictures)[1] = "C:\\renamed.jpg"; }},
      {"copy and replace",
       [](TPicList& c) {
         TPathList copy = *c.Item(1)->Pictures;
         copy.erase(0);
         *c.Item(0)->Pictures = copy;
       }},
      {"read on four threads",
       [](TPicList& c) {
         std::vector<std::thread> readers;
         for (int t = 0; t < 4; ++t)
           readers.emplace_back([&c, t] {
             const TPathList& pictures = *c.Item(1)->Pictures;
             for (size_t k = 0; k < pictures.size(); ++k)
               EXPECT_EQ(t % 2 ? std::string(pictures.NameAt(k)) : pictures[k], pictures.names()[k]);
           });
         for (std::thread& r : readers) r.join();
       }},
  };
  for (const auto& [name, step] : steps) {
    TPicList plain, loaded;
    Sample(plain);
    {
      const Bytes data = EncodeCatalogue(plain);
      Decode(data, loaded);
    }
    step(plain);
    step(loaded);
    SCOPED_TRACE(name);
    ASSERT_EQ(loaded.PictureCount(), plain.PictureCount());
    for (int32_t g = -1; g <= plain.PictureCount(); ++g) {
      EXPECT_EQ(loaded.PictureName(g), plain.PictureName(g)) << g;
      const std::string picture = plain.PictureName(g);
      if (g >= 0 && g < plain.PictureCount()) {
        EXPECT_EQ(loaded.LocatePicture(g, picture).index, plain.LocatePicture(g, picture).index);
        EXPECT_EQ(loaded.FindPicture(picture), plain.FindPicture(picture));
      }
    }
    EXPECT_EQ(loaded.FindPicture("C:\\PHOTOS\\A.JPG"), -1);  // exact names only
    EXPECT_EQ(EncodeCatalogue(loaded), EncodeCatalogue(plain));
    ExpectSame(plain, loaded);
  }
}

// Cutting the file anywhere gives the entries before the cut and, for a cut inside the
// blocks, the names read completely; never anything that was not in the file.
TEST(CacheFile, TruncatedFilesGiveTheEntriesReadSoFar) {
  TPicList list;
  Sample(list);
  Bytes data = EncodeCatalogue(list);
  for (size_t cut = 0; cut < data.size(); ++cut) {
    TPicList loaded;
    Decode(Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(cut)), loaded);
    ASSERT_LE(loaded.Count(), list.Count());
    for (int32_t i = 0; i < loaded.Count(); ++i) {
      const TFolderItem& y = *loaded.Item(i);
      const TFolderItem& x = *list.Item(i);
      EXPECT_EQ(y.Path, x.Path);
      Strings pictures = Names(*y.Pictures), filtered = Names(*y.Filtered);
      ASSERT_LE(pictures.size(), x.Pictures->size()) << cut;
      EXPECT_TRUE(std::equal(pictures.begin(), pictures.end(), x.Pictures->begin())) << cut;
      ASSERT_LE(filtered.size(), x.Filtered->size()) << cut;
      EXPECT_TRUE(std::equal(filtered.begin(), filtered.end(), x.Filtered->begin())) << cut;
    }
  }
  // The example of a cut inside the second entry's pictures block: two names complete.
  const size_t picturesOfSecond = 6 + (2 + 4 + 18 + 11 + 15) + (2 + 9 + 18);
  TPicList loaded;
  Decode(Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(picturesOfSecond + 35)), loaded);
  ASSERT_EQ(loaded.Count(), 2);
  EXPECT_EQ(Names(*loaded.Item(1)->Pictures), (Strings{"C:\\Photos\\a.jpg", "C:\\Photos\\B.jpg"}));
  EXPECT_TRUE(loaded.Item(1)->Filtered->empty());
}

TEST(CacheFile, ZeroLengthOrBrokenHeadsEndTheList) {
  TPicList one;
  one.AddFolder("Root");
  Bytes data = EncodeCatalogue(one);
  Bytes withEnd = data;
  Append16(withEnd, 0);
  Append(withEnd, Text("garbage after the end"));
  TPicList a;
  EXPECT_EQ(Decode(withEnd, a)->Count(), 1);

  // A head without 0x00 adds nothing; nor does a head too short for its fields.
  Bytes noZero = data;
  Append16(noZero, 4);
  Append(noZero, Text("abcd"));
  TPicList b;
  EXPECT_EQ(Decode(noZero, b)->Count(), 1);
  Bytes shortHead = data;
  Append16(shortHead, 6);
  Append(shortHead, {'X', 0, 2, 1, 0, 0});
  Append(shortHead, Bytes(64, 'z'));
  TPicList c;
  EXPECT_EQ(Decode(shortHead, c)->Count(), 1);

  for (const Bytes& tiny : {Bytes{}, Bytes{'P'}, Text("PR"), Text("PR\x00\x00\x03")}) {
    TPicList d;
    EXPECT_EQ(Decode(tiny, d)->Count(), 0);
  }
}

TEST(CacheFile, ReadsTheOlderLayouts) {
  auto record16 = [](Bytes& out, const std::string& path, uint8_t flags, const Strings& names) {
    size_t length = 0;
    for (const auto& n : names) length += n.size() + 1;
    Append16(out, static_cast<uint16_t>(path.size() + 8));
    Append(out, Text(path));
    Append(out, {0, flags});
    Append16(out, static_cast<uint16_t>(names.size()));
    Append32(out, static_cast<uint32_t>(length));
    AppendNames(out, names);
  };
  auto record32 = [](Bytes& out, const std::string& path, uint8_t flags, const Strings& names) {
    size_t length = 0;
    for (const auto& n : names) length += n.size() + 1;
    Append16(out, static_cast<uint16_t>(path.size() + 10));
    Append(out, Text(path));
    Append(out, {0, flags});
    Append32(out, static_cast<uint32_t>(names.size()));
    Append32(out, static_cast<uint32_t>(length));
    AppendNames(out, names);
  };

  Bytes oldest = Text("xx");  // no "PR": the two bytes are skipped
  record16(oldest, "Root", 2, {"C:\\a.jpg"});
  record16(oldest, "C:\\P", 3, {"C:\\P\\b.jpg", "C:\\P\\c.jpg"});
  Bytes v21 = Text("PR");
  Append32(v21, 0x02010000);
  Append(v21, Bytes(oldest.begin() + 2, oldest.end()));
  Bytes v22 = Text("PR");
  Append32(v22, 0x0202FFFF);
  record32(v22, "Root", 2, {"C:\\a.jpg"});
  record32(v22, "C:\\P", 3, {"C:\\P\\b.jpg", "C:\\P\\c.jpg"});

  for (const Bytes& data : {oldest, v21, v22}) {
    TPicList list;
    Decode(data, list);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(Names(*list.Item(0)->Pictures), Strings{"C:\\a.jpg"});
    EXPECT_FALSE(list.Item(0)->AutoRefresh);
    EXPECT_TRUE(list.Item(1)->AutoRefresh);
    EXPECT_TRUE(list.Item(1)->IncludeSubdirs);
    EXPECT_EQ(Names(*list.Item(1)->Pictures), (Strings{"C:\\P\\b.jpg", "C:\\P\\c.jpg"}));
    EXPECT_TRUE(list.Item(1)->Filtered->empty());
  }
}

// A hand-edited or damaged file must not break the catalogue later: counts cap the
// names, and the filtered names come out sorted, unique and apart from the pictures.
TEST(CacheFile, LoadedEntriesKeepTheCatalogueRules) {
  Bytes data = Text("PR");
  Append32(data, 0x02030000);
  Strings pictures{"C:\\P\\a.jpg", "C:\\P\\b.jpg", "C:\\P\\extra.jpg"};
  Strings filtered{"C:\\P\\z.jpg", "C:\\P\\b.jpg", "C:\\P\\m.jpg", "C:\\P\\z.jpg", "", "C:\\P\\M.jpg"};
  uint32_t p = 0, f = 0;
  for (const auto& n : pictures) p += static_cast<uint32_t>(n.size() + 1);
  for (const auto& n : filtered) f += static_cast<uint32_t>(n.size() + 1);
  Append16(data, 4 + 18);
  Append(data, Text("C:\\P"));
  Append(data, {0, 2});
  Append32(data, 2);  // only two of the three pictures count
  Append32(data, p + f);
  Append32(data, 99);
  Append32(data, f);
  AppendNames(data, pictures);
  AppendNames(data, filtered);

  TPicList list;
  Decode(data, list);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(Names(*list.Item(0)->Pictures), (Strings{"C:\\P\\a.jpg", "C:\\P\\b.jpg"}));
  EXPECT_EQ(Names(*list.Item(0)->Filtered), (Strings{"C:\\P\\m.jpg", "C:\\P\\M.jpg", "C:\\P\\z.jpg"}));
  list.RestoreAllFiltered();
  EXPECT_EQ(list.PictureCount(), 5);
}

// A file written by a run under the legacy code page (Windows-1252 here) holds names whose
// bytes are not UTF-8: once the program's strings are UTF-8 they are read through that
// code page, so every picture is still found; names that are UTF-8 already stay as they
// are, and with a legacy code page of the program's own nothing is converted.
TEST(CacheFile, NamesOfALegacyCodePageAreReadAsUtf8) {
  const std::string path = "C:\\data\\Kelvora\\piclist.dat";
  TPicList written;
  written.AddFolder("Root");
  written.Item(0)->Pictures->assign({"D:\\\xC3\xA9t\xC3\xA9.jpg", "D:\\\xE5\x86\x99\xE7\x9C\x9F.jpg"});  // UTF-8
  int32_t e = written.AddFolder("C:\\Caf\xE9");
  written.Item(e)->Pictures->assign({"C:\\Caf\xE9\\cr\xE8me.jpg", "C:\\Caf\xE9\\plain.jpg",
                                     "C:\\Caf\xE9\\\x80uro \x9Cuvre.jpg",
                                     "C:\\Caf\xE9\\\xC0\xAF overlong.jpg"});
  written.Item(e)->Filtered->assign({"C:\\Caf\xE9\\sm\xE2ll.jpg"});

  FakeFileSystem fs;
  fs.files[path] = EncodeCatalogue(written);
  fs.utf8 = true;
  TPicList list;
  ASSERT_TRUE(LoadCatalogue(list, path, fs));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(Names(*list.Item(0)->Pictures), Names(*written.Item(0)->Pictures));
  EXPECT_EQ(list.Item(1)->Path, "C:\\Caf\xC3\xA9");
  EXPECT_EQ(Names(*list.Item(1)->Pictures),
            (Strings{"C:\\Caf\xC3\xA9\\cr\xC3\xA8me.jpg", "C:\\Caf\xC3\xA9\\plain.jpg",
                     "C:\\Caf\xC3\xA9\\\xE2\x82\xACuro \xC5\x93uvre.jpg",
                     "C:\\Caf\xC3\xA9\\\xC3\x80\xC2\xAF overlong.jpg"}));
  EXPECT_EQ(Names(*list.Item(1)->Filtered), (Strings{"C:\\Caf\xC3\xA9\\sm\xC3\xA2ll.jpg"}));
  EXPECT_EQ(fs.legacyConverted.size(), 6u);  // the UTF-8 names never reach the conversion

  // Under a legacy code page of the program's own the bytes are the names.
  fs.utf8 = false;
  fs.legacyConverted.clear();
  TPicList legacy;
  ASSERT_TRUE(LoadCatalogue(legacy, path, fs));
  ExpectSame(written, legacy);
  EXPECT_TRUE(fs.legacyConverted.empty());
}

// Damaged files kept beside the fuzz target: every one loads without fault into a
// catalogue whose filtered names merge back without an error.
TEST(CacheFile, ReplaysDamagedFiles) {
  namespace fs = std::filesystem;
  fs::path corpus = fs::path(KELV_SOURCE_DIR) / "tests" / "fuzz" / "catalogue_corpus";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    std::ifstream in(entry.path(), std::ios::binary);
    Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TPicList list;
    Decode(data, list);
    EXPECT_NO_THROW(list.RestoreAllFiltered()) << entry.path();
    ++files;
  }
  EXPECT_GE(files, 5);
}

TEST(CacheFile, LoadWaitsOutShortOverlapsAndNamesTheFailure) {
  struct Case {
    std::deque<uint32_t> errors;
    std::vector<uint32_t> sleeps;
    std::string message;  // empty: loads
  };
  const std::string path = "C:\\data\\Kelvora\\piclist.dat";
  std::vector<Case> cases = {
      {{32}, {300}, ""},
      {{32, 32, 32}, {300, 500, 2000}, ""},
      {{32, 32, 32, 33}, {300, 500, 2000}, "Unable to open file \"" + path + "\", Error = 33"},
      {{5, 5}, {300}, "accessdenied set, Error = 5"},
      {{5, 32}, {300}, "accessdenied set, and Error = 32"},
      {{32, 5, 5, 5}, {300, 500, 2000}, "Unable to open file \"" + path + "\", Error = 5"},
  };
  TPicList stored;
  stored.AddFolder("Root");
  for (const Case& c : cases) {
    FakeFileSystem fs;
    fs.files[path] = EncodeCatalogue(stored);
    fs.readErrors = c.errors;
    TPicList list;
    if (c.message.empty()) {
      EXPECT_TRUE(LoadCatalogue(list, path, fs));
      EXPECT_EQ(list.Count(), 1);
    } else {
      try {
        LoadCatalogue(list, path, fs);
        ADD_FAILURE() << c.message;
      } catch (const EInOutError& e) {
        EXPECT_EQ(e.message(), c.message);
      }
    }
    EXPECT_EQ(fs.sleeps, c.sleeps) << c.message;
  }
}

TEST(CacheFile, SaveRetriesAndLeavesTheOldFileOnFailure) {
  const std::string path = "C:\\data\\Kelvora\\piclist.dat";
  FakeFileSystem fs;
  TPicList list;
  Sample(list);
  SaveCatalogue(list, path, fs);
  EXPECT_TRUE(fs.FolderExists("C:\\data\\Kelvora"));
  EXPECT_EQ(fs.files[path], EncodeCatalogue(list));

  TPicList changed;
  changed.AddFolder("Root");
  fs.writeErrors = {32, 112, 39};
  try {
    SaveCatalogue(changed, path, fs);
    FAIL();
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.message(), "Unable to write file \"" + path + "\", Error = 39");
  }
  EXPECT_EQ(fs.sleeps, (std::vector<uint32_t>{300, 500}));
  EXPECT_EQ(fs.files[path], EncodeCatalogue(list));

  fs.writeErrors = {32, 32};
  SaveCatalogue(changed, path, fs);
  EXPECT_EQ(fs.files[path], EncodeCatalogue(changed));
}

// Temporary files of saves cut short are removed by the next save; nothing else is.
TEST(CacheFile, SaveRemovesOnlyTheRemainsOfEarlierSaves) {
  const std::string dir = "C:\\data\\Kelvora";
  struct Case {
    const char* name;
    uint32_t attributes;
    bool stale;
  };
  const Case cases[] = {
      {"kvc1A2B.tmp", FileAttrNormal, true},  {"KVC0.TMP", FileAttrHidden, true},
      {"kvcf.tmp", FileAttrReadOnly, true},   {"kvc.tmp", FileAttrNormal, false},
      {"kvc12345.tmp", FileAttrNormal, false}, {"kvcXY.tmp", FileAttrNormal, false},
      {"kvc12.tmp.bak", FileAttrNormal, false}, {"xkvc12.tmp", FileAttrNormal, false},
      {"kvc12.tm", FileAttrNormal, false},    {"notes.tmp", FileAttrNormal, false},
      {"kvc9.tmp", FileAttrDirectory, false}, {"piclist.dat", FileAttrNormal, false},
  };
  FakeFileSystem fs;
  for (const Case& c : cases) fs.Add(dir, c.name, c.attributes);
  TPicList list;
  Sample(list);
  fs.writeErrors = {32, 32, 32};
  EXPECT_THROW(SaveCatalogue(list, dir + "\\piclist.dat", fs), EInOutError);
  EXPECT_TRUE(fs.removed.empty());  // a failed save leaves the folder alone

  SaveCatalogue(list, dir + "\\piclist.dat", fs);
  Strings stale;
  for (const Case& c : cases)
    if (c.stale) stale.push_back(dir + "\\" + c.name);
  EXPECT_EQ(fs.removed, stale);
}

TEST(CacheFile, RefusesAPathItsHeadCannotHold) {
  FakeFileSystem fs;
  TPicList list;
  list.AddFolder(std::string(65535 - 17, 'x'));
  EXPECT_THROW(SaveCatalogue(list, "C:\\piclist.dat", fs), EInOutError);
  EXPECT_FALSE(fs.FileExists("C:\\piclist.dat"));
  list.Item(0)->Path.pop_back();
  SaveCatalogue(list, "C:\\piclist.dat", fs);
  TPicList loaded;
  ExpectSame(list, *Decode(fs.files["C:\\piclist.dat"], loaded));
}

// The whole-file read takes one buffer of the size the file had when opened and reads on
// when the file has grown since; a short or failed read ends the data there, and no more
// than the maximum is read.
TEST(CacheFile, WholeFileReadTakesWhatTheFileHolds) {
  struct Case {
    const char* name;
    size_t expected;  // the size when opened
    size_t holds;     // what the reads deliver
    size_t piece;     // the most one read delivers
    size_t maxBytes;
    size_t failAt;    // a read from here on fails (SIZE_MAX: never)
  };
  const Case cases[] = {
      {"as measured", 10000, 10000, 1 << 20, 1 << 20, SIZE_MAX},
      {"in small pieces", 10000, 10000, 999, 1 << 20, SIZE_MAX},
      {"grown since", 10000, 5'000'000, 1 << 20, 8 << 20, SIZE_MAX},
      {"size unknown", 0, 7000, 1 << 20, 1 << 20, SIZE_MAX},
      {"shrunk since", 10000, 4000, 1 << 20, 1 << 20, SIZE_MAX},
      {"larger than the maximum", 10000, 10000, 1 << 20, 6000, SIZE_MAX},
      {"grown beyond the maximum", 1000, 9000, 1 << 20, 5000, SIZE_MAX},
      {"read failure part way", 10000, 10000, 3000, 1 << 20, 6000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    size_t at = 0, reads = 0;
    std::vector<uint8_t> data;
    ReadWholeInto(std::min(c.expected, c.maxBytes), c.maxBytes, data, [&](uint8_t* p, size_t n) -> size_t {
      ++reads;
      if (at >= c.failAt) return 0;
      const size_t got = std::min({n, c.piece, c.holds - at});
      for (size_t k = 0; k < got; ++k) p[k] = static_cast<uint8_t>((at + k) * 7);
      at += got;
      return got;
    });
    const size_t wanted = std::min({c.holds, c.maxBytes, c.failAt});
    ASSERT_EQ(data.size(), wanted);
    for (size_t k = 0; k < data.size(); ++k) ASSERT_EQ(data[k], static_cast<uint8_t>(k * 7)) << k;
    // A file as measured takes one read for its bytes and one that finds the end.
    if (c.expected == c.holds && c.piece >= c.holds && c.maxBytes >= c.holds) EXPECT_EQ(reads, 2u);
  }
}

// The native file system: the save replaces the file whole and leaves no temporary
// file behind, the load reads it back, the time is that of the file.
TEST(CacheFileOnDisk, SaveLoadAndTime) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("kelv_cache_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::string path = dir.string() + "\\Kelvora\\piclist.dat";
  EXPECT_EQ(CacheFileTime(path), 0u);

  TPicList list;
  Sample(list);
  SaveCatalogue(list, path);
  uint64_t time = CacheFileTime(path);
  EXPECT_NE(time, 0u);
  std::ofstream(dir / "Kelvora" / "kvc2F.tmp") << "left by a save cut short";
  TPicList smaller;
  smaller.AddFolder("Root");
  SaveCatalogue(smaller, path);
  TPicList loaded;
  EXPECT_TRUE(LoadCatalogue(loaded, path));
  ExpectSame(smaller, loaded);
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir / "Kelvora")) ++entries;
  EXPECT_EQ(entries, 1);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kelv
