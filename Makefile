# Front door of the build. A newcomer needs two commands:
#   make        builds P_Tessaline.aex, the tools and the preset gallery
#   make test   runs every test: native, sanitizers, and the Windows build under Wine
JOBS ?= $(shell nproc)

.PHONY: all deps native windows asan gallery test test-native test-asan test-windows bench fuzz clean

all: deps native windows gallery

deps:
	@./cmake/deps.sh

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

test: deps test-native test-asan test-windows

test-native: native
	ctest --preset native -j $(JOBS)

test-asan: asan
	ctest --preset asan -j $(JOBS)

test-windows: windows
	ctest --preset windows -j $(JOBS)

bench: native
	build/native/bench/tessaline-bench

clean:
	rm -rf build
