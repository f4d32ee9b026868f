#pragma once
// The tessaline-preview command as a function, for the program and its tests.
#include <ostream>
#include <span>
#include <string_view>

namespace tessaline {

// Runs the command with the arguments after the program name. Writes the
// parameter list and --help to `out`; on failure one line naming the problem
// to `err`. Returns the exit code: 0 on success, 2 on any error.
int RunPreview(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

}  // namespace tessaline
