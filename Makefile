# Front door of the build. A newcomer needs two commands:
#   make        builds P_Tessaline.aex, the tools and the preset gallery
#   make test   runs every test: native, sanitizers, and the Windows build under Wine
JOBS ?= $(shell nproc)

# Signing the release when a studio has a certificate (installer/sign.sh):
#   make SIGN_PFX=studio.pfx [SIGN_PASS_FILE=password.txt] [SIGN_TIMESTAMP_URL=http://...]
# The build reads them on every run; paths are made absolute, since it runs
# in build/windows.
override SIGN_PFX := $(if $(SIGN_PFX),$(abspath $(SIGN_PFX)))
override SIGN_PASS_FILE := $(if $(SIGN_PASS_FILE),$(abspath $(SIGN_PASS_FILE)))
export SIGN_PFX SIGN_PASS_FILE SIGN_TIMESTAMP_URL

.PHONY: all deps native windows asan gallery test test-native test-asan test-windows test-fuzz \
	test-tsan test-scalar fuzz fuzz-build bench guide-pictures clean

all: deps native windows gallery

deps:
	@./scripts/deps.sh

build/%/build.ninja:
	cmake --preset $*

native: deps build/native/build.ninja
	cmake --build --preset native -j $(JOBS)

windows: deps build/windows/build.ninja
	cmake --build --preset windows -j $(JOBS)

asan: deps build/asan/build.ninja
	cmake --build --preset asan -j $(JOBS)

gallery: native
	@if [ -x build/native/tools/tessaline-preview ]; then \
	  build/native/tools/tessaline-preview --size 1920x1080 --source sample --gallery build/gallery && \
	  echo "gallery: build/gallery/index.html"; \
	fi

test: deps test-native test-asan test-windows test-fuzz test-tsan test-scalar

test-native: native
	ctest --preset native -j $(JOBS)

test-asan: asan
	ctest --preset asan -j $(JOBS)

test-windows: windows
	ctest --preset windows -j $(JOBS)

# The session fuzzer (clang, libFuzzer, address and undefined-behaviour
# sanitizers; build/fuzz). `make test` replays the seed corpus and fuzzes for
# FUZZ_TEST_SECONDS; `make fuzz FUZZ_SECONDS=600` fuzzes for as long as asked.
# New inputs go to build/fuzz/corpus, crashes to build/fuzz/artifacts; a crash
# that is fixed becomes a regression case in tests/fuzz/corpus.
FUZZ_SECONDS ?= 600
FUZZ_TEST_SECONDS ?= 60
FUZZER = build/fuzz/tests/fuzz/tessaline_session_fuzzer
FUZZ_FLAGS = -max_len=4096 -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/ -timeout=10 -rss_limit_mb=2048

fuzz-build: deps build/fuzz/build.ninja
	cmake --build --preset fuzz --target tessaline_session_fuzzer -j $(JOBS)
	@mkdir -p build/fuzz/corpus build/fuzz/artifacts

test-fuzz: fuzz-build
	$(FUZZER) $(FUZZ_FLAGS) tests/fuzz/corpus/*
	$(FUZZER) $(FUZZ_FLAGS) -max_total_time=$(FUZZ_TEST_SECONDS) build/fuzz/corpus tests/fuzz/corpus

fuzz: fuzz-build
	$(FUZZER) $(FUZZ_FLAGS) -max_total_time=$(FUZZ_SECONDS) build/fuzz/corpus tests/fuzz/corpus

# Concurrent renders under ThreadSanitizer (build/tsan): only the tests that
# run threads (label tsan) are built and run.
TSAN_TESTS = concurrent_render_test

test-tsan: deps build/tsan/build.ninja
	cmake --build --preset tsan --target $(TSAN_TESTS) -j $(JOBS)
	ctest --preset tsan -L '^tsan$$'

# The blend kernels without vector instructions (build/scalar): the core's
# tests labelled scalar, the differential test among them.
SCALAR_TESTS = grid_composition_test line_stamp_test

test-scalar: deps build/scalar/build.ninja
	cmake --build --preset scalar --target $(SCALAR_TESTS) -j $(JOBS)
	ctest --preset scalar -L '^scalar$$'

bench: native
	build/native/bench/tessaline-bench

# The pictures of docs/guide.md and README.md, committed: each preset computed
# for a 1920 x 1080 layer and shown as the host's viewer shows it at Half
# resolution (960 x 540); the guide's over gray, the README's over the sample.
README_PRESETS = "Balanced Grid" Thirds "Margin Frame"

guide-pictures: native
	build/native/tools/tessaline-preview --size 1920x1080 --downsample 2 --source gray \
	  --gallery build/guide-pictures
	mkdir -p docs/presets
	cp build/guide-pictures/*.png docs/presets/
	for preset in $(README_PRESETS); do \
	  build/native/tools/tessaline-preview --size 1920x1080 --downsample 2 --source sample \
	    --preset "$$preset" -o "docs/preset-$$(echo "$$preset" | tr 'A-Z ' 'a-z-').png" || exit 1; \
	done

clean:
	rm -rf build
