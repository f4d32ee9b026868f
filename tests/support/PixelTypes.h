#pragma once
// The three depths, for tests typed over the pixel.
#include <gtest/gtest.h>

#include "core/PixelBuffer.h"

namespace tessaline::test {

using PixelTypes = ::testing::Types<Pixel8, Pixel16, PixelFloat>;

}  // namespace tessaline::test
