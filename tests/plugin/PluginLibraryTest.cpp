// P_Tessaline.aex as the host meets it: loaded with LoadLibrary, its export
// and import tables and its resources read from the loaded image, its
// property list parsed byte by byte, and a whole session driven through the
// EffectMain it exports. Windows only; runs under Wine in the cross build.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/ParamIndex.h"
#include "host/ParameterSet.h"
#include "host/PluginVersion.h"
#include "minihost/MiniHost.h"
#include "presets/GridPreset.h"
#include "presets/PopupLabels.h"
#include "presets/ReferenceFrameSize.h"
#include "tests/plugin/GoldenScenarios.h"
#include "tests/support/HostRules.h"
#include "tests/support/PopupValues.h"

namespace tessaline::test {
namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

// The build gives the library's path as the build machine sees it; under Wine
// a Unix path is reached through drive Z:.
std::string LibraryPath() {
  std::string path = TESSALINE_AEX_PATH;
  if (!path.empty() && path.front() == '/') {
    std::replace(path.begin(), path.end(), '/', '\\');
    path = "Z:" + path;
  }
  return path;
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& ch : out) ch = char(std::toupper(static_cast<unsigned char>(ch)));
  return out;
}

class PluginLibrary : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { module_ = LoadLibraryA(LibraryPath().c_str()); }
  static void TearDownTestSuite() {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(module_, nullptr) << "LoadLibrary(" << LibraryPath() << ") failed, error "
                                << GetLastError();
  }

  static const std::uint8_t* Image() { return reinterpret_cast<const std::uint8_t*>(module_); }
  static const IMAGE_NT_HEADERS64& NtHeaders() {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Image());
    return *reinterpret_cast<const IMAGE_NT_HEADERS64*>(Image() + dos->e_lfanew);
  }
  static const IMAGE_DATA_DIRECTORY& Directory(int entry) {
    return NtHeaders().OptionalHeader.DataDirectory[entry];
  }
  template <typename T>
  static const T* At(DWORD rva) {
    return reinterpret_cast<const T*>(Image() + rva);
  }
  static EffectEntry Entry() {
    return reinterpret_cast<EffectEntry>(
        reinterpret_cast<void*>(GetProcAddress(module_, TESSALINE_ENTRY_POINT)));
  }

  static HMODULE module_;
};

HMODULE PluginLibrary::module_ = nullptr;

// ---- The image -------------------------------------------------------------

TEST_F(PluginLibrary, IsA64BitLibrary) {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Image());
  ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
  ASSERT_EQ(NtHeaders().Signature, IMAGE_NT_SIGNATURE);
  EXPECT_EQ(NtHeaders().FileHeader.Machine, IMAGE_FILE_MACHINE_AMD64);
  EXPECT_EQ(NtHeaders().OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
  EXPECT_NE(NtHeaders().FileHeader.Characteristics & IMAGE_FILE_DLL, 0);
}

TEST_F(PluginLibrary, ExportsEffectMainAloneUndecorated) {
  const IMAGE_DATA_DIRECTORY& dir = Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
  ASSERT_NE(dir.VirtualAddress, 0u);
  const auto& exports = *At<IMAGE_EXPORT_DIRECTORY>(dir.VirtualAddress);
  ASSERT_EQ(exports.NumberOfFunctions, 1u);
  ASSERT_EQ(exports.NumberOfNames, 1u);
  EXPECT_STREQ(At<char>(exports.Name), "P_Tessaline.aex");

  const DWORD* names = At<DWORD>(exports.AddressOfNames);
  const WORD* ordinals = At<WORD>(exports.AddressOfNameOrdinals);
  const DWORD* functions = At<DWORD>(exports.AddressOfFunctions);
  EXPECT_STREQ(At<char>(names[0]), "EffectMain");
  ASSERT_EQ(ordinals[0], 0);
  // Code, not a forwarder into another library.
  const DWORD rva = functions[0];
  EXPECT_FALSE(rva >= dir.VirtualAddress && rva < dir.VirtualAddress + dir.Size);
  EXPECT_EQ(reinterpret_cast<const void*>(Image() + rva),
            reinterpret_cast<const void*>(GetProcAddress(module_, "EffectMain")));
}

// Statically linked runtime: nothing but what every Windows machine has.
TEST_F(PluginLibrary, ImportsOnlySystemLibraries) {
  const IMAGE_DATA_DIRECTORY& dir = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
  ASSERT_NE(dir.VirtualAddress, 0u);
  std::vector<std::string> libraries;
  for (const auto* d = At<IMAGE_IMPORT_DESCRIPTOR>(dir.VirtualAddress); d->Name != 0; ++d) {
    libraries.push_back(Upper(At<char>(d->Name)));
  }
  std::sort(libraries.begin(), libraries.end());
  EXPECT_EQ(libraries, (std::vector<std::string>{"KERNEL32.DLL", "MSVCRT.DLL"}));
  EXPECT_EQ(Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT).Size, 0u);
}

// ---- The resources ---------------------------------------------------------

constexpr WORD kPiplId = 16000;
constexpr WORD kVersionType = 16;  // RT_VERSION
constexpr WORD kVersionId = 1;
constexpr WORD kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
static_assert(kEnglishUs == 1033);

// A resource type or name as the enumeration reports it.
struct ResourceName {
  bool isId;
  WORD id;
  std::string text;
  bool operator==(const ResourceName&) const = default;
};

ResourceName NameOf(LPCSTR name) {
  if (IS_INTRESOURCE(name)) return {true, WORD(reinterpret_cast<ULONG_PTR>(name)), ""};
  return {false, 0, name};
}

std::ostream& operator<<(std::ostream& out, const ResourceName& name) {
  return name.isId ? out << "#" << name.id : out << '"' << name.text << '"';
}

BOOL CALLBACK CollectType(HMODULE, LPSTR type, LONG_PTR into) {
  reinterpret_cast<std::vector<ResourceName>*>(into)->push_back(NameOf(type));
  return TRUE;
}
BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR into) {
  reinterpret_cast<std::vector<ResourceName>*>(into)->push_back(NameOf(name));
  return TRUE;
}
BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR into) {
  reinterpret_cast<std::vector<WORD>*>(into)->push_back(language);
  return TRUE;
}

// The PiPL, the only one, and the version information: each once, in US English.
TEST_F(PluginLibrary, ResourcesAreThePiplAndTheVersionInformation) {
  std::vector<ResourceName> types;
  ASSERT_TRUE(EnumResourceTypesA(module_, CollectType, LONG_PTR(&types)));
  EXPECT_EQ(types, (std::vector<ResourceName>{{false, 0, "PIPL"}, {true, kVersionType, ""}}));

  const struct {
    LPCSTR type;
    WORD id;
  } kResources[] = {{"PIPL", kPiplId}, {RT_VERSION, kVersionId}};
  for (const auto& resource : kResources) {
    SCOPED_TRACE(NameOf(resource.type));
    std::vector<ResourceName> names;
    ASSERT_TRUE(EnumResourceNamesA(module_, resource.type, CollectName, LONG_PTR(&names)));
    EXPECT_EQ(names, (std::vector<ResourceName>{{true, resource.id, ""}}));
    std::vector<WORD> languages;
    ASSERT_TRUE(EnumResourceLanguagesA(module_, resource.type, MAKEINTRESOURCEA(resource.id),
                                       CollectLanguage, LONG_PTR(&languages)));
    EXPECT_EQ(languages, (std::vector<WORD>{kEnglishUs}));
  }
}

// The code page is only in the resource tree itself: the "PIPL" type,
// then name and language directories down to the one data entry.
TEST_F(PluginLibrary, ThePiplDataEntryHasCodePageZero) {
  const IMAGE_DATA_DIRECTORY& dir = Directory(IMAGE_DIRECTORY_ENTRY_RESOURCE);
  ASSERT_NE(dir.VirtualAddress, 0u);
  const std::uint8_t* root = Image() + dir.VirtualAddress;
  const IMAGE_RESOURCE_DIRECTORY_ENTRY* entry = nullptr;
  DWORD offset = 0;  // of the directory, from the root
  for (int level = 0; level < 3; ++level) {
    const auto* d = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY*>(root + offset);
    entry = reinterpret_cast<const IMAGE_RESOURCE_DIRECTORY_ENTRY*>(d + 1);
    if (level == 0) {
      // Named types come first: "PIPL" is the only one.
      ASSERT_EQ(d->NumberOfNamedEntries, 1);
      ASSERT_TRUE(entry->NameIsString);
      const auto* name =
          reinterpret_cast<const IMAGE_RESOURCE_DIR_STRING_U*>(root + entry->NameOffset);
      EXPECT_EQ(std::wstring(name->NameString, name->Length), L"PIPL");
    } else {
      ASSERT_EQ(d->NumberOfNamedEntries + d->NumberOfIdEntries, 1) << "level " << level;
    }
    const bool isDirectory = (entry->OffsetToData & IMAGE_RESOURCE_DATA_IS_DIRECTORY) != 0;
    ASSERT_EQ(isDirectory, level < 2) << "level " << level;
    offset = entry->OffsetToData & ~DWORD(IMAGE_RESOURCE_DATA_IS_DIRECTORY);
  }
  EXPECT_EQ(entry->Name, kEnglishUs);
  const auto* data = reinterpret_cast<const IMAGE_RESOURCE_DATA_ENTRY*>(root + offset);
  EXPECT_EQ(data->CodePage, 0u);
  EXPECT_EQ(data->Size, 282u);
}

// The version information as Windows reads it from the file (the file's
// properties, inventory tools, the MSI's File table) states the header's
// version, which is the one global setup reports.
TEST_F(PluginLibrary, VersionInformationStatesTheHeadersVersion) {
  const std::string path = LibraryPath();
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  ASSERT_NE(size, 0u) << "no version information, error " << GetLastError();
  std::vector<std::uint8_t> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileType, DWORD(VFT_DLL));
  EXPECT_EQ(fixed->dwFileOS, DWORD(VOS_NT_WINDOWS32));

  // The parts of the packed version that global setup reports.
  MiniHost host(Entry());
  ASSERT_EQ(host.GlobalSetup(), PF_Err_NONE);
  const std::uint32_t packed = host.Log().lastOut.my_version;
  ASSERT_EQ(packed, std::uint32_t(TESSALINE_VERSION));
  const DWORD major = ((packed >> 19) & 7) | ((packed >> 26) & 15) << 3;
  const DWORD minor = (packed >> 15) & 15, fix = (packed >> 11) & 15, build = packed & 0x1FF;
  EXPECT_EQ(fixed->dwFileVersionMS, major << 16 | minor);
  EXPECT_EQ(fixed->dwFileVersionLS, fix << 16 | build);
  EXPECT_EQ(fixed->dwProductVersionMS, major << 16 | minor);
  EXPECT_EQ(fixed->dwProductVersionLS, fix << 16);

  const std::pair<const char*, std::string> kStrings[] = {
      {"FileVersion", std::to_string(major) + "." + std::to_string(minor) + "." +
                          std::to_string(fix) + "." + std::to_string(build)},
      {"ProductVersion",
       std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(fix)},
      {"FileVersion", "0.1.0.1"},
      {"ProductVersion", "0.1.0"},
      {"ProductName", "P_Tessaline"},
      {"CompanyName", "Pelko"},
      {"FileDescription", "Center-based guide grid effect"},
      {"OriginalFilename", "P_Tessaline.aex"},
  };
  for (const auto& [key, want] : kStrings) {
    const std::string query = "\\StringFileInfo\\040904B0\\"s + key;
    char* text = nullptr;
    ASSERT_TRUE(
        VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &length))
        << key;
    EXPECT_EQ(std::string(text), want) << key;
  }
}

// ---- The property list, read as the host reads it --------------------------

struct PiplProperty {
  std::size_t offset;  // from the start of the resource
  std::uint32_t vendor;
  std::uint32_t key;
  std::uint32_t id;
  std::uint32_t length;
  std::span<const std::uint8_t> stored;  // the data with its padding
};

struct Pipl {
  std::uint16_t reserved;
  std::uint32_t version;
  std::uint32_t count;
  std::vector<PiplProperty> properties;
  std::size_t end;  // offset after the last property
};

constexpr std::uint32_t PaddedLength(std::uint32_t length) {
  return (length + 3u) & ~3u;
}

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool Has(std::size_t at, std::size_t size) const {
    return at <= bytes_.size() && size <= bytes_.size() - at;
  }
  std::uint16_t U16(std::size_t at) const {
    return std::uint16_t(bytes_[at] | bytes_[at + 1] << 8);
  }
  std::uint32_t U32(std::size_t at) const {
    return std::uint32_t(U16(at)) | std::uint32_t(U16(at + 2)) << 16;
  }
  std::span<const std::uint8_t> Bytes(std::size_t at, std::size_t size) const {
    return bytes_.subspan(at, size);
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

// Header, then the counted properties; nullopt when any of it runs past the end.
std::optional<Pipl> ParsePipl(std::span<const std::uint8_t> bytes) {
  const Reader in(bytes);
  if (!in.Has(0, 10)) return std::nullopt;
  Pipl pipl{in.U16(0), in.U32(2), in.U32(6), {}, 10};
  for (std::uint32_t i = 0; i < pipl.count; ++i) {
    const std::size_t at = pipl.end;
    if (!in.Has(at, 16)) return std::nullopt;
    PiplProperty p{at, in.U32(at), in.U32(at + 4), in.U32(at + 8), in.U32(at + 12), {}};
    const std::uint32_t padded = PaddedLength(p.length);
    if (padded < p.length || !in.Has(at + 16, padded)) return std::nullopt;
    p.stored = in.Bytes(at + 16, padded);
    pipl.properties.push_back(p);
    pipl.end = at + 16 + padded;
  }
  return pipl;
}

// A four-character code, stored as the little-endian word of its big-endian reading.
std::string CharCode(std::uint32_t word) {
  return {char(word >> 24), char(word >> 16), char(word >> 8), char(word)};
}

struct ExpectedProperty {
  std::string_view key;
  std::uint32_t offset;
  std::uint32_t length;
  std::string_view stored;  // data and padding, as in the file
};

// clang-format off
constexpr std::array<ExpectedProperty, 12> kExpectedProperties = {{
    {"kind", 10, 4, "TKFe"sv},
    {"name", 30, 12, "\x0b" "P_Tessaline"sv},
    {"catg", 58, 8, "\x05" "Pelko\0\0"sv},
    {"8664", 82, 12, "EffectMain\0\0"sv},
    {"ePVR", 110, 4, "\x02\0\0\0"sv},
    {"eSVR", 130, 4, "\x0d\0\x1d\0"sv},
    {"eVER", 150, 4, "\x01\x80\0\0"sv},
    {"eINF", 170, 2, "\0\0\0\0"sv},
    {"eGLO", 190, 4, "\x00\x04\x00\x06"sv},
    {"eGL2", 210, 4, "\x08\x14\x00\x08"sv},
    {"eMNA", 230, 16, "\x0f" "Pelko_Tessaline"sv},
    {"aeFL", 262, 4, "\0\0\0\0"sv},
}};
// clang-format on
static_assert([] {
  for (const ExpectedProperty& p : kExpectedProperties) {
    if (p.stored.size() != PaddedLength(p.length)) return false;
  }
  return true;
}());

class PiplResource : public PluginLibrary {
 protected:
  void SetUp() override {
    PluginLibrary::SetUp();
    if (HasFatalFailure()) return;
    HRSRC found = FindResourceExA(module_, "PIPL", MAKEINTRESOURCEA(kPiplId), kEnglishUs);
    ASSERT_NE(found, nullptr);
    HGLOBAL loaded = LoadResource(module_, found);
    ASSERT_NE(loaded, nullptr);
    const auto* data = static_cast<const std::uint8_t*>(LockResource(loaded));
    ASSERT_NE(data, nullptr);
    bytes_ = {data, SizeofResource(module_, found)};
    std::optional<Pipl> parsed = ParsePipl(bytes_);
    ASSERT_TRUE(parsed.has_value()) << "the property list runs past the resource's end";
    pipl_ = *parsed;
  }

  const PiplProperty* Find(std::string_view key) const {
    for (const PiplProperty& p : pipl_.properties) {
      if (CharCode(p.key) == key) return &p;
    }
    return nullptr;
  }
  // The property's data as the host decodes it.
  std::uint32_t Word(std::string_view key) const {
    const PiplProperty* p = Find(key);
    return p != nullptr && p->length == 4 ? Reader(p->stored).U32(0) : 0xDEADBEEFu;
  }
  // One length byte, then the characters; the padding is counted.
  std::string PascalString(std::string_view key) const {
    const PiplProperty* p = Find(key);
    if (p == nullptr || p->length == 0) return "<missing>";
    const std::size_t n = p->stored[0];
    if (n + 1 > p->length || PaddedLength(std::uint32_t(n + 1)) != p->length) return "<bad length>";
    return {reinterpret_cast<const char*>(p->stored.data()) + 1, n};
  }
  // Zero-terminated within the counted length.
  std::string CString(std::string_view key) const {
    const PiplProperty* p = Find(key);
    if (p == nullptr) return "<missing>";
    const char* s = reinterpret_cast<const char*>(p->stored.data());
    const std::size_t n = strnlen(s, p->length);
    if (n == p->length || PaddedLength(std::uint32_t(n + 1)) != p->length) return "<bad length>";
    return {s, n};
  }

  std::span<const std::uint8_t> bytes_;
  Pipl pipl_{};
};

TEST_F(PiplResource, HeaderAndSize) {
  EXPECT_EQ(bytes_.size(), 282u);
  EXPECT_EQ(pipl_.reserved, 1);
  EXPECT_EQ(pipl_.version, 0u);
  EXPECT_EQ(pipl_.count, 12u);
  // The last property ends exactly where the resource does.
  EXPECT_EQ(pipl_.end, bytes_.size());
}

TEST_F(PiplResource, EveryPropertyAsRecorded) {
  ASSERT_EQ(pipl_.properties.size(), kExpectedProperties.size());
  for (std::size_t i = 0; i < kExpectedProperties.size(); ++i) {
    const ExpectedProperty& want = kExpectedProperties[i];
    const PiplProperty& got = pipl_.properties[i];
    SCOPED_TRACE("property " + std::to_string(i + 1) + " '" + std::string(want.key) + "'");
    EXPECT_EQ(CharCode(got.vendor), "8BIM");
    EXPECT_EQ(CharCode(got.key), want.key);
    EXPECT_EQ(got.id, 0u);
    EXPECT_EQ(got.length, want.length);
    EXPECT_EQ(got.offset, want.offset);
    EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(got.stored.data()), got.stored.size()),
              want.stored);
    for (std::size_t b = got.length; b < got.stored.size(); ++b) EXPECT_EQ(got.stored[b], 0);
  }
}

// The info flags count 2 bytes but occupy 4: the next property starts at 190.
TEST_F(PiplResource, InfoFlagsPaddingIsNotCounted) {
  const PiplProperty* info = Find("eINF");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->length, 2u);
  EXPECT_EQ(info->stored.size(), 4u);
  EXPECT_EQ(Reader(info->stored).U16(0), 0);
  EXPECT_EQ(Reader(info->stored).U16(2), 0);
  ASSERT_NE(Find("eGLO"), nullptr);
  EXPECT_EQ(Find("eGLO")->offset, 190u);
}

TEST_F(PiplResource, DecodedValues) {
  EXPECT_EQ(CharCode(Word("kind")), "eFKT");
  EXPECT_EQ(PascalString("name"), TESSALINE_NAME);
  EXPECT_EQ(PascalString("catg"), TESSALINE_CATEGORY);
  EXPECT_EQ(PascalString("eMNA"), TESSALINE_MATCH_NAME);
  EXPECT_EQ(PascalString("name"), "P_Tessaline");
  EXPECT_EQ(PascalString("catg"), "Pelko");
  EXPECT_EQ(PascalString("eMNA"), "Pelko_Tessaline");
  EXPECT_EQ(Word("ePVR"), 2u);               // 2.0
  EXPECT_EQ(Word("eSVR"), 13u | 29u << 16);  // 13.29
  EXPECT_EQ(Word("aeFL"), 0u);
}

// The four values the resource and the code both state.
TEST_F(PiplResource, AgreesWithTheLoadedCode) {
  const std::string entryName = CString("8664");
  EXPECT_EQ(entryName, TESSALINE_ENTRY_POINT);
  const FARPROC named = GetProcAddress(module_, entryName.c_str());
  ASSERT_NE(named, nullptr) << "the entry point the resource names is not exported";
  EXPECT_EQ(reinterpret_cast<void*>(named), reinterpret_cast<void*>(Entry()));

  MiniHost host(Entry());
  ASSERT_EQ(host.GlobalSetup(), PF_Err_NONE);
  const PF_OutData out = host.Log().lastOut;
  EXPECT_EQ(Word("eVER"), out.my_version);
  EXPECT_EQ(Word("eGLO"), std::uint32_t(out.out_flags));
  EXPECT_EQ(Word("eGL2"), std::uint32_t(out.out_flags2));
  EXPECT_EQ(Word("eVER"), std::uint32_t(TESSALINE_VERSION));
  EXPECT_EQ(Word("eGLO"), std::uint32_t(TESSALINE_OUT_FLAGS));
  EXPECT_EQ(Word("eGL2"), std::uint32_t(TESSALINE_OUT_FLAGS2));
}

// ---- A session through the loaded entry point --------------------------------

template <std::size_t N>
std::vector<std::string> Labels(const std::array<std::string_view, N>& labels) {
  return {labels.begin(), labels.end()};
}

void ExpectLayout(const MiniHost& host, const GridPreset& want) {
  EXPECT_EQ(host.Value(kXSpacing), want.xSpacing);
  EXPECT_EQ(host.Value(kYSpacing), want.ySpacing);
  EXPECT_EQ(host.Value(kXCount), want.xCount);
  EXPECT_EQ(host.Value(kYCount), want.yCount);
  EXPECT_EQ(host.Value(kOuterColorCount), want.outerColorCount);
  EXPECT_EQ(host.Value(kCenterLineColor), want.centerColor);
  EXPECT_EQ(host.Value(kLineWidth), want.lineWidth);
  EXPECT_EQ(host.Value(kCenterLineWidth), want.centerLineWidth);
  EXPECT_EQ(host.Value(kOpacity), want.opacity);
  for (int slot = 0; slot < kColorSlotCount; ++slot) {
    EXPECT_EQ(host.Value(UseColorParam(slot)), want.useColor[slot]) << "slot " << slot;
    EXPECT_EQ(host.Value(ColorParam(slot)), want.colors[slot]) << "slot " << slot;
  }
}

// Slots beyond the count greyed out, both controls of each slot.
void ExpectEnabledSlots(const MiniHost& host, int count) {
  for (int slot = 0; slot < kColorSlotCount; ++slot) {
    EXPECT_EQ(host.IsDisabled(UseColorParam(slot)), slot >= count) << "slot " << slot;
    EXPECT_EQ(host.IsDisabled(ColorParam(slot)), slot >= count) << "slot " << slot;
  }
}

TEST_F(PluginLibrary, SessionThroughTheLoadedEntryPoint) {
  constexpr std::int32_t kWidth = 320, kHeight = 180;
  MiniHost host(Entry(), {.input = {PixelDepth::k8, kWidth, kHeight}});

  ASSERT_EQ(host.About(), PF_Err_NONE);
  EXPECT_EQ(host.Log().AboutText(), kAboutText);

  ASSERT_EQ(host.GlobalSetup(), PF_Err_NONE);
  EXPECT_EQ(host.Log().lastOut.my_version, 0x8001u);
  EXPECT_EQ(host.Log().lastOut.out_flags, 0x06000400);
  EXPECT_EQ(host.Log().lastOut.out_flags2, 0x08001408);

  ASSERT_EQ(host.ParamsSetup(), PF_Err_NONE);
  ASSERT_EQ(host.ParamCount(), 27);
  EXPECT_EQ(host.Log().lastOut.num_params, 27);
  for (const ControlRow& row : kControlTable) {
    EXPECT_EQ(host.ParamName(row.index), row.name) << "parameter " << row.index;
    EXPECT_EQ(host.Param(row.index)->param_type, row.type) << "parameter " << row.index;
  }
  EXPECT_EQ(host.Choices(kPreset), Labels(kPresetLabels));
  EXPECT_EQ(host.Choices(kResolution), Labels(kResolutionLabels));
  EXPECT_EQ(host.Choices(kOuterColorCount), Labels(kOuterColorCountLabels));
  EXPECT_EQ(host.Choices(kBlendMode), Labels(kBlendModeLabels));
  ExpectEnabledSlots(host, 4);

  // Preset choices rewrite the seventeen layout controls with the layout the
  // calculator gives for the reference size.
  struct PresetStep {
    ParamIndex control;
    std::string_view label;
    std::int32_t preset;
    std::int32_t resolution;
  };
  const PresetStep steps[] = {
      {kPreset, "Thirds", test::Preset("Thirds"), 1},
      {kPreset, "Margin Frame", test::Preset("Margin Frame"), 1},
      {kPreset, "Fine Draft", test::Preset("Fine Draft"), 1},
      {kResolution, "1920x1080 Full HD", test::Preset("Fine Draft"),
       test::Resolution("1920x1080 Full HD")},
  };
  for (const PresetStep& step : steps) {
    SCOPED_TRACE(std::string(step.label));
    const std::int32_t value = step.control == kPreset ? step.preset : step.resolution;
    ASSERT_EQ(host.SetValue(step.control, value), PF_Err_NONE);
    EXPECT_EQ(host.Log().takenOver.size(), 17u);
    EXPECT_TRUE(host.Log().ignoredWrites.empty());
    EXPECT_EQ(host.Value(kPreset), step.preset);
    const FrameSize size = ReferenceFrameSize(step.resolution, kWidth, kHeight);
    ExpectLayout(host, ComputeGridPreset(step.preset, size.width, size.height));
    ExpectEnabledSlots(host, host.Value(kOuterColorCount));
  }

  // A color count change writes nothing back; it greys out the slots beyond.
  for (std::int32_t count : {2, 1, 4, 3}) {
    SCOPED_TRACE("outer color count " + std::to_string(count));
    host.ClearLog();
    ASSERT_EQ(host.SetValue(kOuterColorCount, count), PF_Err_NONE);
    EXPECT_TRUE(host.Log().takenOver.empty());
    EXPECT_EQ(host.Log().uiUpdates.size(), 8u);
    ExpectEnabledSlots(host, count);
    host.ClearLog();
    ASSERT_EQ(host.UpdateParamsUI(), PF_Err_NONE);
    EXPECT_EQ(host.Log().uiUpdates.size(), 8u);
    ExpectEnabledSlots(host, count);
  }

  // "Custom" keeps the controls as they are.
  const double xSpacing = host.Value(kXSpacing);
  ASSERT_EQ(host.SetValue(kPreset, kPresetCustom), PF_Err_NONE);
  EXPECT_TRUE(host.Log().takenOver.empty());
  EXPECT_EQ(host.Value(kXSpacing), xSpacing);

  // Each depth through both paths, and through the legacy command of a host
  // that leaves in_data sparse; frames compared in the golden test below.
  for (PixelDepth depth : kGoldenDepths) {
    HostConfig config{.input = {depth, kWidth, kHeight}};
    host.Configure(config);
    EXPECT_EQ(host.RenderSmart(), PF_Err_NONE);
    const std::vector<std::uint8_t> smart = host.Output().PackedPixels();
    for (bool sparse : {false, true}) {
      config.sparseHost = sparse;
      host.Configure(config);
      host.Output().Clear();
      EXPECT_EQ(host.RenderLegacy(), PF_Err_NONE);
      EXPECT_EQ(host.Output().PackedPixels(), smart)
          << "depth " << int(depth) << " sparse " << sparse;
    }
  }
  EXPECT_TRUE(host.Log().guardFailures.empty());
  EXPECT_EQ(host.Log().CheckoutBalance(), 0);
  EXPECT_EQ(host.Log().SuiteImbalance(), 0);
  EXPECT_EQ(host.Log().preRenderKept, host.Log().preRenderDeleted);
}

// The frames of the loaded library against those of the native build.
TEST_F(PluginLibrary, GoldenFrames) {
  CheckGoldenFrames(Entry());
}

}  // namespace
}  // namespace tessaline::test
