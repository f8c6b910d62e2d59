# Front door: `make demo` replays the shipped example, `make test` builds and runs every test.
# Reliability: `make test-sanitize` (the tests under AddressSanitizer and UBSan), `make fuzz`
# and `make fuzz-ci` (libFuzzer targets, FUZZ_SECONDS each, in the same clang build),
# `make check-valgrind` (the replay tool on the demo stream under memcheck), and `make soak`
# (long runs that CI does not make: the model test over many steps and seeds, then each fuzz
# target for SOAK_SECONDS).
# Missing build dependencies are installed with apt-get (as root, or through sudo).

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
WERROR ?= OFF
JOBS ?= $(shell nproc)
RELEASE_DIR ?= build-release
BENCH_QUICK ?=
BENCH_ARGS ?=
SANITIZE_DIR ?= build-sanitize
FUZZ_SECONDS ?= 60
SOAK_SECONDS ?= 600
SOAK_MODEL_STEPS ?= 125000
SOAK_MODEL_SEEDS ?= 8

DEB_PACKAGES := cmake ninja-build g++ libfmt-dev libgtest-dev libgmock-dev libbenchmark-dev \
                libsimdjson-dev libcli11-dev libabsl-dev clang clang-format \
                libclang-rt-14-dev valgrind

.PHONY: all deps configure build test demo docs clean format test-sanitize fuzz fuzz-ci check-valgrind \
        bench bench-instructions soak

all: build

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

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DEEDB_WERROR=$(WERROR)

configure: deps $(BUILD_DIR)/build.ninja
	cmake -S . -B $(BUILD_DIR) -DEEDB_WERROR=$(WERROR) > /dev/null

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# docs/formats.md, generated from the hardware format tables (the test docs.formats checks it).
docs: configure
	cmake --build $(BUILD_DIR) --target docs

# Benchmarks of a Release build in $(RELEASE_DIR): one summary of every figure (medians of five
# repetitions, instructions per entry under callgrind, scaling to 16M keys), also written to
# $(RELEASE_DIR)/bench-summary.json, and the scaling plot $(RELEASE_DIR)/bench-scaling.svg.
# BENCH_QUICK=1 runs them briefly, without the largest sizes and the instruction counts (CI: they
# keep running). bench-instructions makes only the callgrind run.
bench: deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release -DEEDB_WERROR=$(WERROR) \
	  -DEEDB_BUILD_TESTS=OFF -DEEDB_BUILD_BENCH=ON > /dev/null
	cmake --build $(RELEASE_DIR) -j $(JOBS)
	python3 bench/run.py $(RELEASE_DIR) $(if $(BENCH_QUICK),--quick) $(BENCH_ARGS)

bench-instructions:
	$(MAKE) bench BENCH_ARGS=--instructions-only

# The demo stream includes an entry that fails on purpose, so exit status 1 is expected.
demo: build
	@$(BUILD_DIR)/tools/eedb-replay/eedb-replay examples/demo.jsonl; status=$$?; \
	  if [ $$status -gt 1 ]; then exit $$status; fi; \
	  echo; echo "(exit status $$status: the demo stream holds an entry that fails on purpose)"

# Halt on the first finding; leaks count as findings.
SANITIZER_ENV := ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1 \
                 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# One clang build serves both: the libraries carry the sanitizers and the fuzzer's coverage,
# the tests run under the sanitizers, the fuzz targets link libFuzzer.
SANITIZE_CONFIG := CC=clang CXX=clang++ cmake -S . -B $(SANITIZE_DIR) -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEEDB_WERROR=$(WERROR) -DEEDB_SANITIZE=ON -DEEDB_FUZZ=ON \
  -DEEDB_BUILD_BENCH=OFF

test-sanitize: deps
	$(SANITIZE_CONFIG) > /dev/null
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

fuzz: deps
	$(SANITIZE_CONFIG) > /dev/null
	cmake --build $(SANITIZE_DIR) -j $(JOBS) --target fuzz_line_parser fuzz_process_entry \
	  fuzz_decode_command

fuzz-ci: fuzz
	$(SANITIZER_ENV) fuzz/run $(SANITIZE_DIR) $(FUZZ_SECONDS)

# Not in CI. The model test at SOAK_MODEL_STEPS steps for each of seeds 1 to SOAK_MODEL_SEEDS
# (a seed count, or a list "1,7,42"; every seed mixes null-FAP and single-FAP entries at the
# same keys), then every fuzz target for SOAK_SECONDS on its kept corpus.
soak: build fuzz
	EEDB_MODEL_STEPS=$(SOAK_MODEL_STEPS) EEDB_MODEL_SEEDS=$(SOAK_MODEL_SEEDS) \
	  $(BUILD_DIR)/tests/plugin_tests --gtest_filter='Seeds/ShadowModel.*'
	$(SANITIZER_ENV) fuzz/run $(SANITIZE_DIR) $(SOAK_SECONDS)

# Zero memcheck errors; the tool's own status 1 (the demo's failing line) is expected.
check-valgrind: build
	@status=0; valgrind --tool=memcheck --error-exitcode=1 --leak-check=full \
	  --errors-for-leak-kinds=definite,indirect --log-file=$(BUILD_DIR)/valgrind.log \
	  $(BUILD_DIR)/tools/eedb-replay/eedb-replay --plugin $(BUILD_DIR)/src/libeedb26.so \
	  --verify examples/demo.jsonl > /dev/null || status=$$?; \
	grep 'ERROR SUMMARY' $(BUILD_DIR)/valgrind.log; \
	if ! grep -q 'ERROR SUMMARY: 0 errors' $(BUILD_DIR)/valgrind.log || [ $$status -gt 1 ]; then \
	  cat $(BUILD_DIR)/valgrind.log; exit 1; fi

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)

format:
	git ls-files '*.h' '*.cc' | xargs clang-format -i
