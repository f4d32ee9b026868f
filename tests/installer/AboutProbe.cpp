// Loads an installed P_Tessaline.aex as the host does (LoadLibrary, then the
// EffectMain export) and prints the text its About command answers, bytes as
// they are, to standard output. Exit status 0 when the library loaded and
// About succeeded; the installer test compares the text.
//
//   tessaline_about_probe <path of the .aex, as Windows sees it>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "minihost/MiniHost.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tessaline_about_probe PLUGIN.aex\n");
    return 2;
  }
  HMODULE module = LoadLibraryA(argv[1]);
  if (module == nullptr) {
    std::fprintf(stderr, "LoadLibrary(%s) failed, error %lu\n", argv[1], GetLastError());
    return 1;
  }
  const auto entry = reinterpret_cast<tessaline::EffectEntry>(
      reinterpret_cast<void*>(GetProcAddress(module, "EffectMain")));
  int status = 1;
  if (entry == nullptr) {
    std::fprintf(stderr, "%s exports no EffectMain\n", argv[1]);
  } else {
    tessaline::MiniHost host(entry);
    const PF_Err err = host.About();
    if (err != PF_Err_NONE) {
      std::fprintf(stderr, "About answered error %d\n", int(err));
    } else {
      const std::string text = host.Log().AboutText();
      _setmode(_fileno(stdout), _O_BINARY);
      std::fwrite(text.data(), 1, text.size(), stdout);
      status = 0;
    }
  }
  FreeLibrary(module);
  return status;
}
