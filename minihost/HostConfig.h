#pragma once
// The in-process host's configuration between commands: the input and output
// worlds and where they lie, what in_data and the pre-render tell, how
// checkouts answer, which suites there are, and which kind of host it plays.
// One value, applied whole (MiniHost::Configure); a default one is an 8-bit
// 160 x 90 frame at origin 0, 0 with the output following it, every suite
// available.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <variant>

#include "host/HostSdk.h"
#include "minihost/FaultPlan.h"
#include "minihost/World.h"

namespace tessaline {

// A world the host makes: rowbytes 0 packs the rows, negative is bottom-up
// (widened as World does).
struct WorldGeometry {
  PixelDepth depth = PixelDepth::k8;
  std::int32_t width = 160;
  std::int32_t height = 90;
  std::int32_t rowbytes = 0;
  friend bool operator==(const WorldGeometry&, const WorldGeometry&) = default;
};

// The output that follows the frame: it takes the input's depth, and the size
// of the effect's result_rect (a smart render) or of the input (a legacy one).
// Margins make it a window into a larger image with `rowbytes` its stride;
// nothing outside the window may change in any command (the guard check after
// each command).
struct FollowingOutput {
  WorldMargins margins{};
  std::int32_t rowbytes = 0;
  friend bool operator==(const FollowingOutput&, const FollowingOutput&) = default;
};

// How checkout_layer_pixels delivers an input with no pixels for the
// checkout (an empty result_rect): the host may do either.
enum class EmptyInput { kEmptyWorld, kNullWorld };

struct HostConfig {
  struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
  };
  struct Size {
    A_long width = 0;
    A_long height = 0;
  };
  struct Times {
    A_long current = 1001;  // frame 1 at 29.97 fps
    A_long step = 1001;
    A_u_long scale = 30000;
  };
  struct Downsample {
    PF_RationalScale x{1, 1};
    PF_RationalScale y{1, 1};
  };
  // What checkout_layer reports instead of the input's extent and its
  // intersection with the request.
  struct CheckoutRects {
    PF_LRect result{};
    PF_LRect max{};
  };

  WorldGeometry input{};
  // The output following the frame, or a fixed world handed out as it is.
  std::variant<FollowingOutput, WorldGeometry> output{};
  // Where Layer()'s pixel (0, 0) lies in layer coordinates.
  Point inputOrigin{};
  // in_data->width / height: the layer's full-resolution size; unset, the
  // input world's size.
  std::optional<Size> layerSize{};
  EmptyInput emptyInput = EmptyInput::kEmptyWorld;
  Times times{};
  Downsample downsample{};
  // The pre-render's output_request; unset, field PF_Field_FRAME, all
  // channels, and rect = the input's extent.
  std::optional<PF_RenderRequest> outputRequest{};
  // checkout_layer_pixels still delivers only pixels the input has (the
  // result_rect within the input's extent).
  std::optional<CheckoutRects> checkoutRects{};
  // Without the basic suite, in_data.pica_basicP is null; a suite that is not
  // available fails to be acquired, as does an unknown name or version.
  bool basicSuite = true;
  PerSuite<bool> suites{{true, true}};
  // Plays a third-party host of this plug-in format, as the host-behaviour
  // notes observe one: in_data sparse (width, height, both downsample
  // factors, pixel_aspect_ratio, version, appl_id and the times 0,
  // extent_hint empty, effect_ref null during About and global setup); the
  // host's own address as `extra` of every command that takes no extra
  // record; a suite it does not have answered with no error and a null
  // table; and no smart rendering: the smart pair answers
  // PF_Err_INVALID_CALLBACK without calling the effect.
  bool sparseHost = false;

  // The input's extent in layer coordinates (all zero when it has no pixels).
  PF_LRect InputExtent() const {
    if (input.width <= 0 || input.height <= 0) return PF_LRect{};
    return PF_LRect{inputOrigin.x, inputOrigin.y, inputOrigin.x + input.width,
                    inputOrigin.y + input.height};
  }
  bool OutputFollowsFrame() const { return std::holds_alternative<FollowingOutput>(output); }
};

}  // namespace tessaline
