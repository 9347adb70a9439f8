# Tolvex: `make run` builds and starts the program (headless under Xvfb where
# no display exists); `make test` builds and runs every test.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
# Warnings are errors in CI.
WERROR := $(if $(CI),ON,OFF)

CMAKE_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DTOLVEX_WERROR=$(WERROR)

# The sanitizer build: the test suite without the Qt program, under
# AddressSanitizer and UndefinedBehaviorSanitizer; any report fails the run.
SAN_DIR ?= build-asan
SAN_FLAGS := -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOLVEX_SANITIZE=ON -DTOLVEX_GUI=OFF -DTOLVEX_WINDOWS_TESTS=OFF \
	-DTOLVEX_WERROR=$(WERROR) -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"
SAN_ENV := ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

.PHONY: all deps configure build run test test-sanitize bench fuzz clean

all: build

deps:
	@./scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@./scripts/run-tolvex $(BUILD_DIR)

test: build
	@ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)
	@$(MAKE) --no-print-directory test-sanitize

test-sanitize: deps
	@cmake -S . -B $(SAN_DIR) $(SAN_FLAGS) >/dev/null
	@cmake --build $(SAN_DIR) -j $(JOBS)
	@$(SAN_ENV) ctest --test-dir $(SAN_DIR) --output-on-failure -j $(JOBS)

# Every fuzz target for FUZZ_SECONDS (default 30) seconds.
fuzz: deps
	@./scripts/run-fuzz build-fuzz

# The benchmarks, with a summary against the performance targets
# (bench/run-bench). bench/compare-peers, which installs other hardware
# listers, is run on its own.
BENCH_DIR ?= build-bench
bench: deps
	@cmake -S . -B $(BENCH_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVEX_BENCH=ON >/dev/null
	@cmake --build $(BENCH_DIR) -j $(JOBS) --target tolvex-provider-bench tolvex-startup-bench
	@./bench/run-bench $(BENCH_DIR)

clean:
	@rm -rf $(BUILD_DIR) $(SAN_DIR)
