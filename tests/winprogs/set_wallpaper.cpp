// Sets the desktop wallpaper as the system setting does: set_wallpaper.exe [file] (no file:
// none). The wallpaper tests put the bench's desktop back with it, so that later runs
// capture the plain desktop again.
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char file[MAX_PATH] = "";
  if (__argc > 1) lstrcpynA(file, __argv[1], MAX_PATH);
  return SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, file, SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE) ? 0 : 1;
}
