# Front door: `make demo` builds only the platform, the plug-in and the tool and replays the
# shipped example; `make test` builds and runs every test; `make package` builds the Debian
# packages. The configurations are the presets of CMakePresets.json.
# Reliability: `make test-sanitize` (the tests under AddressSanitizer and UBSan), `make fuzz`
# and `make fuzz-ci` (libFuzzer targets, FUZZ_SECONDS each, in the same clang build),
# `make check-valgrind` (the replay tool on the demo stream under memcheck), and `make soak`
# (long runs that CI does not make: the model test over many steps and seeds, then each fuzz
# target for SOAK_SECONDS).
# Missing build dependencies are installed with apt-get (as root, or through sudo).

BUILD_DIR ?= build
BUILD_TYPE ?=
WERROR ?= OFF
JOBS ?= $(shell nproc)
RELEASE_DIR ?= build-release
BENCH_QUICK ?=
BENCH_ARGS ?=
SANITIZE_DIR ?= build-sanitize
PACKAGE_DIR ?= build-package
FUZZ_SECONDS ?= 60
SOAK_SECONDS ?= 600
SOAK_MODEL_STEPS ?= 125000
SOAK_MODEL_SEEDS ?= 8

# Debian packages by need: the demo builds only the platform, the plug-in and the tool.
DEMO_PACKAGES := cmake ninja-build g++ libfmt-dev libsimdjson-dev libcli11-dev libabsl-dev \
                 zlib1g-dev
TEST_PACKAGES := $(DEMO_PACKAGES) libgtest-dev libgmock-dev libbenchmark-dev python3 \
                 python3-jsonschema groff-base dpkg-dev file lintian pkgconf git
SANITIZE_PACKAGES := $(TEST_PACKAGES) clang libclang-rt-14-dev
DEB_PACKAGES ?= $(TEST_PACKAGES)

.PHONY: all deps configure build test demo docs clean format test-sanitize fuzz fuzz-ci check-valgrind \
        bench bench-instructions soak package

all: build

# Installs the missing ones of DEB_PACKAGES (each target sets its own list).
deps:
	@missing=$$(for p in $(DEB_PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "installing:" $$missing; \
	  SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
	  $$SUDO apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $$missing; \
	fi

# cmake --preset NAME with the build directory, warnings as errors and build type of the command.
PRESET = cmake --preset $(1) -B $(2) -DEEDB_WERROR=$(WERROR) \
  $(if $(BUILD_TYPE),-DCMAKE_BUILD_TYPE=$(BUILD_TYPE)) > /dev/null

configure: deps
	$(call PRESET,default,$(BUILD_DIR))

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# docs/formats.md, generated from the hardware format tables (the test docs.formats checks it).
docs: configure
	cmake --build $(BUILD_DIR) --target docs

# Benchmarks of a Release build in $(RELEASE_DIR): one summary of every figure (medians of five
# randomly interleaved repetitions, instructions per entry under callgrind, scaling to 16M keys,
# the replay's processor time against the parse-only anchor, the machine and its load), also
# written to $(RELEASE_DIR)/bench-summary.json, and the scaling plot $(RELEASE_DIR)/bench-scaling.svg.
# BENCH_QUICK=1 runs them briefly, without the largest sizes and the instruction counts (CI: they
# keep running). bench-instructions makes only the callgrind run.
bench: deps
	$(call PRESET,release,$(RELEASE_DIR))
	cmake --build $(RELEASE_DIR) -j $(JOBS)
	python3 bench/run.py $(RELEASE_DIR) $(if $(BENCH_QUICK),--quick) $(BENCH_ARGS)

bench-instructions:
	$(MAKE) bench BENCH_ARGS=--instructions-only

# Only what the demo needs: its packages, the platform, the plug-in and the tool. The demo
# stream includes an entry that fails on purpose, so exit status 1 is expected.
demo: DEB_PACKAGES = $(DEMO_PACKAGES)
demo: deps
	$(call PRESET,demo,$(BUILD_DIR))
	cmake --build $(BUILD_DIR) -j $(JOBS) --target eedb-replay eedb26
	@$(BUILD_DIR)/tools/eedb-replay/eedb-replay examples/demo.jsonl; status=$$?; \
	  if [ $$status -gt 1 ]; then exit $$status; fi; \
	  echo; echo "(exit status $$status: the demo stream holds an entry that fails on purpose)"

# Halt on the first finding; leaks count as findings.
SANITIZER_ENV := ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1 \
                 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# One clang build serves both: the libraries carry the sanitizers and the fuzzer's coverage,
# the tests run under the sanitizers, the fuzz targets link libFuzzer.
SANITIZE_CONFIG = $(call PRESET,sanitize,$(SANITIZE_DIR))

test-sanitize fuzz: DEB_PACKAGES = $(SANITIZE_PACKAGES)
test-sanitize: deps
	$(SANITIZE_CONFIG)
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

fuzz: deps
	$(SANITIZE_CONFIG)
	cmake --build $(SANITIZE_DIR) -j $(JOBS) --target fuzz_line_parser fuzz_process_entry \
	  fuzz_decode_command

fuzz-ci: fuzz
	$(SANITIZER_ENV) fuzz/run $(SANITIZE_DIR) $(FUZZ_SECONDS)

# Not in CI. The model test at SOAK_MODEL_STEPS steps for each of seeds 1 to SOAK_MODEL_SEEDS
# (a seed count, or a list "1,7,42"; every seed mixes null-FAP and single-FAP entries at the
# same keys), then every fuzz target for SOAK_SECONDS on its kept corpus.
soak: DEB_PACKAGES = $(SANITIZE_PACKAGES)
soak: build fuzz
	EEDB_MODEL_STEPS=$(SOAK_MODEL_STEPS) EEDB_MODEL_SEEDS=$(SOAK_MODEL_SEEDS) \
	  $(BUILD_DIR)/tests/plugin_tests --gtest_filter='Seeds/ShadowModel.*'
	$(SANITIZER_ENV) fuzz/run $(SANITIZE_DIR) $(SOAK_SECONDS)

# The Debian packages of a Release build under /usr, in $(PACKAGE_DIR)/deb/: libzuri-platform0
# and libeedb26-0 (the libraries), eedb26 (the tool, its man page, completion, schemas and
# examples) and libeedb26-dev (headers, CMake and pkg-config files); lintian checks them.
package: DEB_PACKAGES = $(DEMO_PACKAGES) dpkg-dev file lintian
package: deps
	$(call PRESET,package,$(PACKAGE_DIR))
	cmake --build $(PACKAGE_DIR) -j $(JOBS) --target deb
	tests/package/lintian_test.sh $(PACKAGE_DIR)/deb

# Zero memcheck errors; the tool's own status 1 (the demo's failing line) is expected.
check-valgrind: DEB_PACKAGES = $(TEST_PACKAGES) valgrind
check-valgrind: build
	@status=0; valgrind --tool=memcheck --error-exitcode=1 --leak-check=full \
	  --errors-for-leak-kinds=definite,indirect --log-file=$(BUILD_DIR)/valgrind.log \
	  $(BUILD_DIR)/tools/eedb-replay/eedb-replay --plugin $(BUILD_DIR)/src/libeedb26.so \
	  --verify examples/demo.jsonl > /dev/null || status=$$?; \
	grep 'ERROR SUMMARY' $(BUILD_DIR)/valgrind.log; \
	if ! grep -q 'ERROR SUMMARY: 0 errors' $(BUILD_DIR)/valgrind.log || [ $$status -gt 1 ]; then \
	  cat $(BUILD_DIR)/valgrind.log; exit 1; fi

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(PACKAGE_DIR)

format: DEB_PACKAGES = clang-format
format: deps
format:
	git ls-files '*.h' '*.cc' | xargs clang-format -i
