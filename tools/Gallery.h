#pragma once
// The preset gallery: every ready-made preset of the "Preset" popup, from
// "Fine Draft" to "Presentation", rendered over one source, one PNG each,
// and an index.html that shows them with their names and, under each, the
// values the preset wrote into the controls at that size.
#include <string>
#include <vector>

#include "tools/Frame.h"
#include "tools/PreviewOptions.h"

namespace tessaline {

// A control and its value as the effect controls panel shows it.
struct ShownValue {
  std::string label;
  std::string value;
};

struct GalleryEntry {
  std::int32_t preset;  // the popup value
  std::string label;
  std::string file;                // name inside the gallery folder
  std::vector<ShownValue> values;  // written by the preset, in panel order
};

// The presets the gallery shows, with their file names ("02-fine-draft.png").
std::vector<GalleryEntry> GalleryEntries(const std::vector<std::string>& presetChoices);

// The index page for the entries; `caption` says how they were rendered.
std::string GalleryIndexHtml(const std::vector<GalleryEntry>& entries, const std::string& caption);

// Renders the gallery into options.galleryDir (created when missing) over
// `source`, each preset in a session of its own with --resolution and every
// --set applied after the preset; an entry's values are those the preset
// (with --resolution) wrote, before the --set edits. Every file is written whole or not at all;
// the index comes last. Returns the entries written; `warnings` gets the
// warnings of the --set edits (see SetControl), once for all the presets.
std::vector<GalleryEntry> RenderGallery(const PreviewOptions& options, const Frame& source,
                                        std::vector<std::string>& warnings);

}  // namespace tessaline
