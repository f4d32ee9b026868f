// tessaline-preview: renders frames of the effect through its entry point.
#include <iostream>
#include <string_view>
#include <vector>

#include "tools/PreviewCommand.h"

int main(int argc, char** argv) {
  std::vector<std::string_view> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return tessaline::RunPreview(args, std::cout, std::cerr);
}
