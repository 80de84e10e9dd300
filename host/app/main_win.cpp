// Program entry of kelvsaver.scr.
#include <windows.h>

#include "app/startup.hpp"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return kelv::RunProgram(); }
