# Entry points for people and CI. CMake presets do the real work.
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local

.PHONY: all deps build run test install package asan bench fuzz format clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

run: build
	@scripts/run-desktop build/default

test: build
	@ctest --preset default -j $(JOBS)

# Honours DESTDIR for staged installs.
install: build
	@DESTDIR="$(DESTDIR)" cmake --install build/default --prefix "$(PREFIX)" --strip

# A Debian package beside the build, checked with lintian when it is installed.
package: build
	@cd build/default && cpack -G DEB
	@deb=$$(ls -t build/default/zelvant_*.deb | head -1); \
	if command -v lintian >/dev/null; then lintian --fail-on error "$$deb"; fi; \
	echo "package: $$deb"

# ASAN_CTEST_ARGS narrows the run, e.g. -E REGEX.
asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan -j $(JOBS) $(ASAN_CTEST_ARGS)

bench: build
	@build/default/bench/zelvant-bench
	@build/default/bench/zelvant-ui-bench
	@build/default/bench/zelvant-search-bench

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)
	@scripts/run-fuzzers build/fuzz $(FUZZ_SECONDS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build
