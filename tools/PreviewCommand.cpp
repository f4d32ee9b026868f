#include "tools/PreviewCommand.h"

#include <new>
#include <string>
#include <vector>

#include "tools/ControlEdits.h"
#include "tools/FileIO.h"
#include "tools/Gallery.h"
#include "tools/ImageCodecs.h"
#include "tools/PngCodec.h"
#include "tools/PreviewError.h"
#include "tools/PreviewOptions.h"
#include "tools/PreviewSession.h"
#include "tools/SourceImages.h"
#include "tools/TextMatch.h"

namespace tessaline {
namespace {

inline constexpr int kExitError = 2;

void WriteFrame(const std::string& path, const FrameView& frame) {
  const std::vector<std::uint8_t> bytes =
      EndsWithNoCase(path, ".raw") ? EncodeRaw(frame) : EncodePng(RgbaFromFrame(frame));
  try {
    WriteFileAtomically(path, bytes);
  } catch (const PreviewError& error) {
    throw PreviewError("-o " + path + ": " + error.what());
  }
}

// One line each, as errors are, but the command goes on.
void Warn(const std::vector<std::string>& warnings, std::ostream& err) {
  for (const std::string& warning : warnings)
    err << "tessaline-preview: warning: " << warning << "\n";
}

void Run(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
  const PreviewOptions options = ParseOptions(args);
  if (options.help) {
    out << UsageText();
    return;
  }
  const Frame source = LoadSource(options.source, options.depth, options.size, kDefaultSize);
  if (options.galleryDir) {
    std::vector<std::string> warnings;
    RenderGallery(options, source, warnings);
    Warn(warnings, err);
    return;
  }
  PreviewSession session(FrameSize{source.width(), source.height()}, options.depth);
  session.ApplyChoices(options);
  Warn(session.warnings(), err);
  if (options.output) {
    WriteFrame(*options.output, session.Render(source.View(), options).View());
  }
  if (options.printParams) out << ListControls(session.host());
}

}  // namespace

int RunPreview(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
  try {
    Run(args, out, err);
    out.flush();
    return 0;
  } catch (const PreviewError& error) {
    err << "tessaline-preview: " << error.what() << "\n";
  } catch (const std::bad_alloc&) {
    err << "tessaline-preview: out of memory\n";
  } catch (const std::exception& error) {
    err << "tessaline-preview: " << error.what() << "\n";
  }
  return kExitError;
}

}  // namespace tessaline
