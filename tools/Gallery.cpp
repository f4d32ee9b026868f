#include "tools/Gallery.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "tools/ControlEdits.h"
#include "tools/FileIO.h"
#include "tools/ImageCodecs.h"
#include "tools/PngCodec.h"
#include "tools/PreviewError.h"
#include "tools/PreviewSession.h"

namespace tessaline {
namespace {

// "Safe Area 90" -> "safe-area-90".
std::string Slug(const std::string& label) {
  std::string slug;
  for (char ch : label) {
    if (std::isalnum((unsigned char)ch)) {
      slug += char(std::tolower((unsigned char)ch));
    } else if (!slug.empty() && slug.back() != '-') {
      slug += '-';
    }
  }
  while (!slug.empty() && slug.back() == '-') slug.pop_back();
  return slug;
}

std::string EscapeHtml(const std::string& text) {
  std::string out;
  for (char ch : text) {
    switch (ch) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += ch;
    }
  }
  return out;
}

void Write(const std::string& path, std::span<const std::uint8_t> bytes) {
  try {
    WriteFileAtomically(path, bytes);
  } catch (const PreviewError& error) {
    throw PreviewError("--gallery " + path + ": " + error.what());
  }
}

std::string SourceName(const SourceChoice& source) {
  switch (source.kind) {
    case SourceKind::kTransparent:
      return "a transparent layer";
    case SourceKind::kGray:
      return "a gray layer";
    case SourceKind::kChecker:
      return "a checkerboard";
    case SourceKind::kSample:
      return "the sample background";
    default:
      return std::filesystem::path(source.path).filename().string();
  }
}

// The controls the last preset application wrote, in panel order.
std::vector<ShownValue> WrittenValues(MiniHost& host) {
  std::vector<PF_ParamIndex> written = host.Log().takenOver;
  std::sort(written.begin(), written.end());
  std::vector<ShownValue> values;
  for (PF_ParamIndex index : written) {
    values.push_back(ShownValue{host.ParamName(index), ControlValueText(host, index)});
  }
  return values;
}

}  // namespace

std::vector<GalleryEntry> GalleryEntries(const std::vector<std::string>& presetChoices) {
  std::vector<GalleryEntry> entries;
  // Entry 1 is "Custom", which leaves the controls as they are.
  for (std::size_t i = 1; i < presetChoices.size(); ++i) {
    const std::int32_t preset = std::int32_t(i) + 1;
    std::string number = std::to_string(preset);
    if (number.size() < 2) number.insert(number.begin(), '0');
    entries.push_back(
        GalleryEntry{preset, presetChoices[i], number + "-" + Slug(presetChoices[i]) + ".png", {}});
  }
  return entries;
}

std::string GalleryIndexHtml(const std::vector<GalleryEntry>& entries, const std::string& caption) {
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<title>Tessaline presets</title>\n<style>\n"
      "body { font-family: sans-serif; background: #1e1e22; color: #e8e8ec; margin: 2em; }\n"
      "main { display: grid; grid-template-columns: repeat(auto-fill, minmax(420px, 1fr)); "
      "gap: 1.5em; }\n"
      "figure { margin: 0; }\n"
      "img { width: 100%; height: auto; display: block; border: 1px solid #44444c; "
      "background: repeating-conic-gradient(#777 0 25%, #999 0 50%) 0 0 / 32px 32px; }\n"
      "figcaption { margin-top: 0.4em; }\n"
      "dl { display: grid; grid-template-columns: max-content auto; gap: 0 1em; margin: 0.4em 0 0; "
      "font-size: 0.85em; color: #b8b8c0; }\n"
      "dd { margin: 0; }\n"
      "</style>\n</head>\n<body>\n<h1>Tessaline presets</h1>\n<p>" +
      EscapeHtml(caption) + "</p>\n<main>\n";
  for (const GalleryEntry& e : entries) {
    html += "<figure><a href=\"" + EscapeHtml(e.file) + "\"><img src=\"" + EscapeHtml(e.file) +
            "\" alt=\"" + EscapeHtml(e.label) + "\"></a><figcaption>" + std::to_string(e.preset) +
            ". " + EscapeHtml(e.label) + "</figcaption>";
    if (!e.values.empty()) {
      html += "<dl>";
      for (const ShownValue& v : e.values) {
        html += "<dt>" + EscapeHtml(v.label) + "</dt><dd>" + EscapeHtml(v.value) + "</dd>";
      }
      html += "</dl>";
    }
    html += "</figure>\n";
  }
  html += "</main>\n</body>\n</html>\n";
  return html;
}

std::vector<GalleryEntry> RenderGallery(const PreviewOptions& options, const Frame& source,
                                        std::vector<std::string>& warnings) {
  const std::string dir = *options.galleryDir;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  std::error_code ignored;
  if (!ec && !std::filesystem::is_directory(dir, ignored)) {
    ec = std::make_error_code(std::errc::not_a_directory);
  }
  if (ec)
    throw PreviewError("--gallery " + dir + ": cannot make the folder (" + ec.message() + ")");
  const FrameSize layer{source.width(), source.height()};

  std::vector<GalleryEntry> entries;
  std::string resolution = "Current Size";
  {
    PreviewSession probe(layer, options.depth);
    MiniHost& host = probe.host();
    entries = GalleryEntries(host.Choices(FindControlByLabel(host, "Preset")));
    if (options.resolution) {
      probe.Set("Resolution", *options.resolution);
      resolution = ControlValueText(host, FindControlByLabel(host, "Resolution"));
    }
  }
  for (GalleryEntry& entry : entries) {
    PreviewSession session(layer, options.depth);
    PreviewOptions preset = options;
    preset.preset = std::to_string(entry.preset);
    preset.edits.clear();
    session.ApplyChoices(preset);
    entry.values = WrittenValues(session.host());
    if (!options.edits.empty()) {
      PreviewOptions edits;
      edits.edits = options.edits;
      session.ApplyChoices(edits);
      if (&entry == &entries.front()) warnings = session.warnings();
    }
    const Frame frame = session.Render(source.View(), options);
    Write((std::filesystem::path(dir) / entry.file).string(),
          EncodePng(RgbaFromFrame(frame.View())));
  }
  const FrameSize rendered = DownsampledSize(layer, options.downsample);
  std::string caption =
      std::to_string(rendered.width) + " x " + std::to_string(rendered.height) + ", " +
      (options.depth == PixelDepth::kFloat
           ? std::string("32-bit float")
           : std::to_string(int(options.depth)) + " bits per channel") +
      ", over " + SourceName(options.source) + "; reference resolution: " + resolution;
  if (!options.edits.empty()) {
    caption += "; changed after the preset:";
    for (const ControlEdit& edit : options.edits) caption += " " + edit.label + " = " + edit.value;
  }
  const std::string html = GalleryIndexHtml(entries, caption);
  Write((std::filesystem::path(dir) / "index.html").string(),
        std::span(reinterpret_cast<const std::uint8_t*>(html.data()), html.size()));
  return entries;
}

}  // namespace tessaline
