#include "tools/FileIO.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "tools/PreviewError.h"

namespace tessaline {
namespace {

std::string Reason(int error) {
  return error != 0 ? std::string(std::strerror(error)) : std::string("unknown error");
}

class File {
 public:
  File(const std::string& path, const char* mode) : file_(std::fopen(path.c_str(), mode)) {}
  ~File() { Close(); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  std::FILE* get() const { return file_; }
  // False when buffered bytes could not be written.
  bool Close() {
    if (file_ == nullptr) return true;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
  }

 private:
  std::FILE* file_;
};

// A name beside the target that no other writer picks.
std::filesystem::path TemporaryPath(const std::filesystem::path& target) {
  std::random_device device;
  const unsigned long tag = (static_cast<unsigned long>(device()) << 16) ^ device();
  std::filesystem::path temp = target;
  temp += ".partial-" + std::to_string(tag);
  return temp;
}

}  // namespace

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw PreviewError("cannot be read (a folder)");
  errno = 0;
  File file(path, "rb");
  if (file.get() == nullptr) throw PreviewError("cannot be read (" + Reason(errno) + ")");
  std::vector<std::uint8_t> bytes;
  std::uint8_t chunk[1 << 16];
  for (;;) {
    const std::size_t n = std::fread(chunk, 1, sizeof(chunk), file.get());
    bytes.insert(bytes.end(), chunk, chunk + n);
    if (n < sizeof(chunk)) break;
  }
  if (std::ferror(file.get())) throw PreviewError("cannot be read (" + Reason(errno) + ")");
  return bytes;
}

void WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  const std::filesystem::path target(path);
  const std::filesystem::path temp = TemporaryPath(target);
  errno = 0;
  File file(temp.string(), "wb");
  if (file.get() == nullptr) throw PreviewError("cannot be written (" + Reason(errno) + ")");
  const auto discard = [&](const std::string& reason) {
    file.Close();
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    throw PreviewError("cannot be written (" + reason + ")");
  };
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    discard(Reason(errno));
  }
  if (!file.Close()) discard(Reason(errno));
  std::error_code ec;
  std::filesystem::rename(temp, target, ec);
  if (ec) discard(ec.message());
}

}  // namespace tessaline
