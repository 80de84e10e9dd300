#include "saver/wallpaper_win.hpp"

#include <memory>

#include "common/owners_win.hpp"
#include "imaging/bitmap.hpp"
#include "saver/saver_run_win.hpp"
#include "saver/wallpaper_file.hpp"
#include "settings/registry.hpp"
#include "settings/settings.hpp"

namespace kelv {

namespace {

constexpr int32_t kRowsPerWrite = 10;

bool WriteAll(HANDLE file, const std::vector<uint8_t>& bytes) {
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE &&
         written == bytes.size();
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::string WallpaperFile() {
  // The cache file's folder is the one the wallpaper goes to: the application-data folder's
  // "Kelvora", or the installation folder.
  const std::string& cache = TheSettings().CacheFile;
  return FolderOf(cache) + "\\Kelvora.bmp";
}

bool WriteBmpFile(const TBitmap& bitmap, HANDLE file) {
  if (!WriteAll(file, BmpHeader(bitmap.Width, bitmap.Height))) return false;
  for (int32_t first = 0; first < bitmap.Height; first += kRowsPerWrite) {
    const int32_t count = std::min(kRowsPerWrite, bitmap.Height - first);
    if (!WriteAll(file, BmpRows(bitmap, first, count))) return false;
  }
  return true;
}

void SetWallpaper(const TBitmap& bitmap) {
  const std::string name = WallpaperFile();
  const std::string folder = FolderOf(name);
  if (!folder.empty() && GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
    CreateDirectoryA(folder.c_str(), nullptr);  // its parent is the application-data folder
  win::UniqueFile file(CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file) {
    WriteBmpFile(bitmap, file.get());
    file.Close();
  }
  // A tiled picture of the screen's size fills the screen exactly.
  if (std::unique_ptr<RegistryKey> key =
          SystemRegistry().Open(Hive::CurrentUser, "Control Panel\\Desktop", KeyAccess::Create)) {
    key->SetString("WallpaperStyle", "0");
    key->SetString("TileWallpaper", "1");
  }
  SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, const_cast<char*>(name.c_str()),
                        SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE);
}

void WallpaperStep(SaverRun& run) {
  if (!run.FullScreen || !TheSettings().Wallpaper) return;
  if (run.WallpaperDone.exchange(true)) return;
  // During a transition the next bitmap holds where the change is going, not the screen:
  // then, as when the next screen is prepared or being composed, the screen is taken.
  if (run.Show.MotionOnScreen() && !run.Show.Changing() && run.ScreenBitmap) {
    SetWallpaper(*run.ScreenBitmap);  // the frame on display
  } else if (!run.Show.NextPrepared() && !run.Show.Composing() && !run.Show.Changing() && run.NextBitmap) {
    SetWallpaper(*run.NextBitmap);  // it holds what is on screen
  } else {
    const int32_t width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    std::unique_ptr<TBitmap> capture = TBitmap::Create(width, height);
    {
      win::WindowDC screen(nullptr);
      BitBlt(static_cast<HDC>(capture->DC), 0, 0, width, height, screen.get(), 0, 0, SRCCOPY);
      GdiFlush();
    }
    SetWallpaper(*capture);
  }
  // A run started from the settings dialog: the dialog repaints over what the run left.
  if (HWND dialog = run.SettingsDialogWindow(); dialog && IsWindow(dialog))
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace kelv
