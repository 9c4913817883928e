// Tarvel.exe entry point: the whole sequence lives in App.Startup so tests can reach it.
#include "app/App.Startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { TarvelMain(); }
