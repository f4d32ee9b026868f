// The Linux build of the plug-in, P_Tessaline.so: the same single export as
// the Windows library, and the golden frames through the EffectMain that
// dlopen finds in it.
#include <dlfcn.h>
#include <elf.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/plugin/GoldenScenarios.h"

namespace tessaline::test {
namespace {

std::vector<char> ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename T>
bool ReadAt(const std::vector<char>& file, std::size_t offset, T* out) {
  if (offset > file.size() || sizeof(T) > file.size() - offset) return false;
  std::memcpy(out, file.data() + offset, sizeof(T));
  return true;
}

// Names of the symbols the library defines in its dynamic symbol table.
std::vector<std::string> DefinedDynamicSymbols(const std::vector<char>& file) {
  std::vector<std::string> names;
  Elf64_Ehdr header{};
  if (!ReadAt(file, 0, &header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_ident[EI_CLASS] != ELFCLASS64) {
    ADD_FAILURE() << "not a 64-bit ELF file";
    return names;
  }
  for (std::size_t i = 0; i < header.e_shnum; ++i) {
    Elf64_Shdr section{}, strings{};
    if (!ReadAt(file, header.e_shoff + i * header.e_shentsize, &section)) break;
    if (section.sh_type != SHT_DYNSYM || section.sh_entsize != sizeof(Elf64_Sym)) continue;
    if (!ReadAt(file, header.e_shoff + section.sh_link * header.e_shentsize, &strings)) break;
    for (std::size_t s = 0; s < section.sh_size / sizeof(Elf64_Sym); ++s) {
      Elf64_Sym symbol{};
      if (!ReadAt(file, section.sh_offset + s * sizeof(Elf64_Sym), &symbol)) break;
      if (symbol.st_shndx == SHN_UNDEF || ELF64_ST_BIND(symbol.st_info) == STB_LOCAL) continue;
      if (symbol.st_name >= strings.sh_size) continue;
      names.emplace_back(file.data() + strings.sh_offset + symbol.st_name);
    }
  }
  return names;
}

TEST(SharedLibrary, ExportsEffectMainAlone) {
  const std::vector<char> file = ReadFile(TESSALINE_PLUGIN_PATH);
  ASSERT_FALSE(file.empty()) << TESSALINE_PLUGIN_PATH;
  EXPECT_EQ(DefinedDynamicSymbols(file), std::vector<std::string>{"EffectMain"});
}

TEST(SharedLibrary, GoldenFramesThroughTheLoadedEntryPoint) {
  void* library = dlopen(TESSALINE_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  const auto entry = reinterpret_cast<EffectEntry>(dlsym(library, "EffectMain"));
  ASSERT_NE(entry, nullptr);
  CheckGoldenFrames(entry);
  dlclose(library);
}

}  // namespace
}  // namespace tessaline::test
