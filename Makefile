# Tolvex: `make run` builds and starts the program (headless under Xvfb where
# no display exists); `make test` builds and runs every test.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
# Warnings are errors in CI.
WERROR := $(if $(CI),ON,OFF)

# ccache, where installed, for every compiler CMake configures below (also the
# Windows cross-build and the fuzz build, which read the same variables from
# the environment). Paths are hashed relative to the tree, so worktrees and
# fresh clones share one cache.
ifneq ($(shell command -v ccache),)
export CMAKE_C_COMPILER_LAUNCHER := ccache
export CMAKE_CXX_COMPILER_LAUNCHER := ccache
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := true
endif

CMAKE_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DTOLVEX_WERROR=$(WERROR)

# The sanitizer build: the test suite without the Qt program, under
# AddressSanitizer and UndefinedBehaviorSanitizer; any report fails the run.
SAN_DIR ?= build-asan
SAN_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVEX_SANITIZE=ON -DTOLVEX_GUI=OFF -DTOLVEX_WINDOWS_TESTS=OFF \
	-DTOLVEX_WERROR=$(WERROR) -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"
SAN_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

.PHONY: all deps configure build run run-windows test test-sanitize test-fuzz bench fuzz package package-windows clean

all: build

deps:
	@./scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@./scripts/run-tolvex $(BUILD_DIR)

# The Windows program tolvex.exe, cross-built with MinGW-w64 into
# $(BUILD_DIR)/windows and started under Wine: on this display, or headless
# with the eight-panel walk and its screenshots in $(BUILD_DIR)/screenshots-windows.
run-windows: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target tolvex_windows
	@./scripts/run-tolvex-windows $(BUILD_DIR)/windows $(BUILD_DIR)/screenshots-windows

test: build
	@ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-sanitize
	@$(MAKE) --no-print-directory test-fuzz

test-sanitize: deps
	@cmake -S . -B $(SAN_DIR) $(SAN_FLAGS)
	@cmake --build $(SAN_DIR) -j $(JOBS)
	@$(SAN_ENV) ctest --test-dir $(SAN_DIR) --output-on-failure -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS (default 30) seconds.
fuzz: deps
	@./scripts/run-fuzz build-fuzz

# Part of `make test`: every fuzz target briefly from its kept corpus, so a
# new finding fails the run (and is kept in fuzz/regressions/).
TEST_FUZZ_SECONDS ?= 3
test-fuzz: deps
	@FUZZ_SECONDS=$(TEST_FUZZ_SECONDS) ./scripts/run-fuzz build-fuzz

# The benchmarks, with a summary against the performance targets
# (bench/run-bench). bench/compare-peers, which installs other hardware
# listers, is run on its own.
BENCH_DIR ?= build-bench
bench: deps
	@cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVEX_BENCH=ON
	@cmake --build $(BENCH_DIR) -j $(JOBS) --target tolvex-provider-bench tolvex-startup-bench tolvex-minimal-qt-bench tolvex-query
	@cmake --build $(BENCH_DIR) -j $(JOBS) --target tolvex_windows || \
		echo "bench: the Windows program is not built (set up MinGW-w64 and Wine with scripts/install-deps)"
	@./bench/run-bench $(BENCH_DIR)

# The Debian package tolvex_<version>_<arch>.deb, from a Release build with
# Debian's hardening flags, checked as `make test` checks the one it makes
# (tests/packaging/check-package).
PKG_DIR ?= build-package
PKG_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVEX_TESTS=OFF -DTOLVEX_WERROR=$(WERROR)
package: deps
	@export DEB_BUILD_MAINT_OPTIONS=hardening=+all; \
	 CFLAGS="$$(dpkg-buildflags --get CFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	 CXXFLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	 LDFLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	 cmake -S . -B $(PKG_DIR) $(PKG_FLAGS) >/dev/null
	@cmake --build $(PKG_DIR) -j $(JOBS)
	@rm -f $(PKG_DIR)/tolvex_*.deb
	@cd $(PKG_DIR) && cpack -G DEB
	@./tests/packaging/check-package all $(PKG_DIR) $(call cpack_version,$(PKG_DIR))
	@echo "package: $$(ls $(PKG_DIR)/tolvex_*.deb)"

# The portable Windows zip tolvex-<version>-win64.zip, cross-built with
# MinGW-w64: tolvex.exe and tolvex-query.exe, with the README and the
# copyright statement.
WIN_PKG_DIR ?= build-package-windows
WIN_PKG_FLAGS := -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake \
	-DCMAKE_BUILD_TYPE=Release -DTOLVEX_TESTS=OFF -DTOLVEX_WERROR=$(WERROR)
package-windows: deps
	@cmake -S . -B $(WIN_PKG_DIR) $(WIN_PKG_FLAGS) >/dev/null
	@cmake --build $(WIN_PKG_DIR) -j $(JOBS)
	@./tests/packaging/check-package zip $(WIN_PKG_DIR) $(WIN_PKG_DIR)/dist . $(call cpack_version,$(WIN_PKG_DIR))
	@echo "package-windows: $$(ls $(WIN_PKG_DIR)/dist/tolvex-*.zip)"

# The package version CPack was configured with in build tree $(1).
cpack_version = $$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$$/\1/p' $(1)/CPackConfig.cmake)

clean:
	@rm -rf $(BUILD_DIR) $(SAN_DIR) $(PKG_DIR) $(WIN_PKG_DIR)
