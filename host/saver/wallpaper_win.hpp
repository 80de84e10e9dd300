// The wallpaper on exit: the screen the saver showed last becomes the desktop wallpaper.
#pragma once

#include <windows.h>

#include <string>

namespace kelv {

class SaverRun;
class TBitmap;

// Once per full-screen run with "Wallpaper" on, from the first of WM_KILLFOCUS, WM_CLOSE
// and the show's end: the screen shown (the next bitmap when no next screen is prepared or
// being composed, else a capture of the screen) goes to SetWallpaper.
void WallpaperStep(SaverRun& run);

// Writes the bitmap as the wallpaper file (its folder made when missing; a file that
// cannot be written leaves the old one) and hands the file to the system.
void SetWallpaper(const TBitmap& bitmap);

// The BMP file itself, ten rows per write; false when a write failed.
bool WriteBmpFile(const TBitmap& bitmap, HANDLE file);

// The wallpaper file beside the catalogue cache: "<AppData>\Kelvora\Kelvora.bmp", or
// "<install folder>\Kelvora.bmp" when there is no application-data folder.
std::string WallpaperFile();

}  // namespace kelv
