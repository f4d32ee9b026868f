#pragma once
// Test helpers live in tessaline::test. A few files still name the helpers'
// former namespace, tessaline::testing; until they move, each namespace sees
// the other's names. Delete this header (and its includes) once no file opens
// or names tessaline::testing.
namespace tessaline::test {}
namespace tessaline::testing {
using namespace tessaline::test;
}
namespace tessaline::test {
using namespace tessaline::testing;
}
