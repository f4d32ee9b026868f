#pragma once
// The one kind of failure the preview command reports: a message of one line
// that names the problem (an option, a label, a value, a file). The command
// prints it and exits with code 2.
#include <stdexcept>
#include <string>

namespace tessaline {

class PreviewError : public std::runtime_error {
 public:
  explicit PreviewError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tessaline
