# Front door: `make demo` replays the shipped example, `make test` builds and runs every test.
# Missing build dependencies are installed with apt-get (as root, or through sudo).

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
WERROR ?= OFF
JOBS ?= $(shell nproc)

DEB_PACKAGES := cmake ninja-build g++ libfmt-dev libgtest-dev libgmock-dev libbenchmark-dev \
                libsimdjson-dev libcli11-dev libabsl-dev clang clang-format

.PHONY: all deps configure build test demo clean format

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

# The demo stream includes an entry that fails on purpose, so exit status 1 is expected.
demo: build
	@$(BUILD_DIR)/tools/eedb-replay/eedb-replay examples/demo.jsonl; status=$$?; \
	  if [ $$status -gt 1 ]; then exit $$status; fi; \
	  echo; echo "(exit status $$status: the demo stream holds an entry that fails on purpose)"

clean:
	rm -rf $(BUILD_DIR)

format:
	git ls-files '*.h' '*.cc' | xargs clang-format -i
