// Composes screens from picture files through the real input modules, for the Wine tests:
//   compose_screen <plugin folder> <out prefix> <width> <height> [name=value ...] -- files...
// Settings: Screens, Resize, Enlarge, crop, RandomPos, rtresize, Background, Order,
// TextFileName (bits 0-3), TextPos, Textbg, TextOverlay, seed, count (screens to compose, default 1),
// show (milliseconds to show the last screen in a window at (0, 0) before leaving).
// Each composed screen is written as <out prefix><k>.bmp (24-bit, bottom-up); the load
// results of the pictures go to standard output.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/pic_list.hpp"
#include "common/exception.hpp"
#include "common/random.hpp"
#include "imaging/bitmap.hpp"
#include "plugins/plugin_host.hpp"
#include "show/run_flags.hpp"
#include "settings/settings.hpp"
#include "show/compose.hpp"
#include "show/compose_history.hpp"
#include "show/display_order.hpp"

namespace {

int Apply(const std::string& name, int value) {
  kelv::Settings& s = kelv::TheSettings();
  if (name == "Screens") s.Screens = value;
  else if (name == "Resize") s.Resize = static_cast<uint8_t>(value);
  else if (name == "Enlarge") s.Enlarge = value != 0;
  else if (name == "crop") s.crop = value != 0;
  else if (name == "RandomPos") s.RandomPos = value != 0;
  else if (name == "rtresize") s.rtresize = value != 0;
  else if (name == "Background") s.Background = value == 1;
  else if (name == "Order") s.Order = value;
  else if (name == "TextPos") s.TextPos = value;
  else if (name == "Textbg") s.Textbg = value != 0;
  else if (name == "TextOverlay") s.TextOverlay = value != 0;
  else if (name == "TextFileName") {
    s.ShowFileName = (value & 1) != 0;
    s.IncludePath = (value & 2) != 0;
    s.IncludeExtension = (value & 4) != 0;
    s.IncludeFolder = (value & 8) != 0;
  } else {
    return 0;
  }
  return 1;
}

bool WriteBmp(const std::string& path, kelv::TBitmap& b) {
  const int32_t rowBytes = (b.Width * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(rowBytes) * b.Height;
  info.biSize = sizeof info;
  info.biWidth = b.Width;
  info.biHeight = b.Height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fwrite(&file, sizeof file, 1, f);
  std::fwrite(&info, sizeof info, 1, f);
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes), 0);
  for (int32_t y = b.Height - 1; y >= 0; --y) {
    const uint8_t* src = reinterpret_cast<const uint8_t*>(b.Row(y));
    for (int32_t x = 0; x < b.Width; ++x) std::memcpy(&row[static_cast<size_t>(x) * 3], src + x * 4, 3);
    std::fwrite(row.data(), 1, row.size(), f);
  }
  std::fclose(f);
  return true;
}

kelv::TBitmap* shown = nullptr;

LRESULT CALLBACK ShowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_PAINT && shown) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    BitBlt(dc, 0, 0, shown->Width, shown->Height, static_cast<HDC>(shown->DC), 0, 0, SRCCOPY);
    EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcA(window, message, w, l);
}

void Show(kelv::TBitmap& b, int ms) {
  shown = &b;
  WNDCLASSA wc{};
  wc.lpfnWndProc = ShowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "Kelvora_compose_view";
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "compose view", WS_POPUP | WS_VISIBLE,
                                0, 0, b.Width, b.Height, nullptr, nullptr, wc.hInstance, nullptr);
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  while (GetTickCount() < end) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(10);
  }
  DestroyWindow(window);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::printf("usage: compose_screen <plugins> <out prefix> <width> <height> [name=value] -- files\n");
    return 2;
  }
  try {
    kelv::Settings& s = kelv::TheSettings();
    s.PluginFolder = argv[1];
    s.StartFromPrevious = false;
    s.Order = kelv::OrderSequential;
    const std::string prefix = argv[2];
    const int32_t width = std::atoi(argv[3]);
    const int32_t height = std::atoi(argv[4]);
    s.NoticeFont = kelv::Settings::NoticeFontFor(width);
    uint32_t seed = 1;
    int count = 1, showMs = 0;
    std::vector<std::string> files;
    bool inFiles = false;
    for (int k = 5; k < argc; ++k) {
      const std::string arg = argv[k];
      if (inFiles) {
        files.push_back(arg);
        continue;
      }
      if (arg == "--") {
        inFiles = true;
        continue;
      }
      const size_t eq = arg.find('=');
      if (eq == std::string::npos) continue;
      const std::string name = arg.substr(0, eq);
      const int value = std::atoi(arg.c_str() + eq + 1);
      if (name == "seed") seed = static_cast<uint32_t>(value);
      else if (name == "count") count = value;
      else if (name == "show") showMs = value;
      else if (!Apply(name, value)) std::printf("unknown setting %s\n", name.c_str());
    }

    kelv::LoadPlugins();
    kelv::TPicList& catalogue = kelv::TheCatalogue();
    catalogue.Clear();
    catalogue.AddFolder("Root");
    catalogue.Item(0)->Pictures->assign(files);

    kelv::SeedRandom(seed);
    kelv::RunFlags run;
    run.FullScreen = true;
    kelv::SaverRunActive = true;
    kelv::StartDisplayOrderRun();
    kelv::TheHistory().Reset();
    // Report each picture's load result.
    kelv::DisplayOrderServices& services = kelv::TheDisplayOrderServices();
    auto load = services.load;
    services.load = [load](kelv::TBitmap& target, const std::string& name, const kelv::LoadRequest& request) {
      kelv::LoadResult r = load(target, name, request);
      std::printf("loaded %s %dx%d format=%s size=%lld\n", name.c_str(), r.width, r.height,
                  r.formatName.c_str(), static_cast<long long>(r.fileSize));
      return r;
    };

    std::unique_ptr<kelv::TBitmap> next = kelv::TBitmap::Create(width, height);
    next->Clear();
    next->Enlarge = s.Enlarge;
    next->Crop = s.crop;
    next->RandomPos = s.RandomPos;
    for (int k = 0; k < count; ++k) {
      kelv::ComposeScreen(*next, run);
      const std::string out = prefix + std::to_string(k) + ".bmp";
      if (!WriteBmp(out, *next)) {
        std::printf("cannot write %s\n", out.c_str());
        return 1;
      }
      std::printf("screen %d written, history position %d\n", k, kelv::TheHistory().current.load());
    }
    if (showMs > 0) Show(*next, showMs);
    kelv::EndDisplayOrderRun();
    kelv::UnloadPlugins();
    std::fflush(stdout);
    return 0;
  } catch (const kelv::Exception& e) {
    std::printf("exception: %s\n", e.what());
    return 3;
  }
}
