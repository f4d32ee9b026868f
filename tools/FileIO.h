#pragma once
// Reading input files whole, and writing output files so that a reader never
// sees a partly written one: the bytes go to a temporary file beside the
// target, which is then renamed over it. Errors are PreviewErrors whose text
// says what failed without naming the file; callers put the name in front.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessaline {

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

// On any failure the temporary file is removed and the target is untouched.
void WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace tessaline
