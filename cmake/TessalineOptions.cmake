# Compiler settings shared by every target of the project.

# The core's kernels without vector instructions: every kernel takes its
# scalar definition, which gives the same bits. The name is also the define
# that core/Kernels.h reads.
option(TESSALINE_SCALAR_KERNELS "Build the core's kernels without vector instructions" OFF)

# Results must be identical to the bit on every compiler: no fused multiply-add
# contraction and no fast-math, so each double operation rounds as written.
add_compile_options(-ffp-contract=off -fno-fast-math)

if(WIN32)
  # The host SDK headers select their Windows types with _WINDOWS.
  add_compile_definitions(_WINDOWS WIN32)
  # Programs and the plug-in carry their own runtime: no MinGW DLLs beside them.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # GCC keeps the Windows stack aligned to 16 bytes only, yet may spill 32- and
  # 64-byte vectors with aligned moves in the functions compiled for AVX-512:
  # the assembler writes every such move unaligned, which is as fast on
  # aligned data.
  add_compile_options(-Wa,-muse-unaligned-vector-move)
endif()

# Warnings as errors on the project's own targets (not on GoogleTest).
function(tessaline_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                                           -Wnon-virtual-dtor -Werror)
endfunction()
