# make test  - install what is missing, build, run every test (also under sanitizers, and the fuzz targets briefly)
# make run   - install what is missing, build, start the program against the emulated instrument
# make build - build the program and its tests

BUILD      ?= build
SANBUILD   ?= build-sanitize
TSANBUILD  ?= build-tsan
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 20
CMAKE_GEN  := -G Ninja

.PHONY: all deps configure build test test-main test-sanitize test-tsan run bench clean

all: build

deps:
	@sh deps/install.sh

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

# Qt's meta-object step does not notice a header that a re-glob added: let it
# look again on every build (it regenerates only what changed).
build: configure
	@find $(BUILD) -path '*_autogen/timestamp' -delete 2>/dev/null || true
	cmake --build $(BUILD) -j $(JOBS)

# The toolkit-free libraries, their tests and the fuzz targets, built with clang
# under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitize: deps
	CC=clang CXX=clang++ cmake -S . -B $(SANBUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	  -DVELTRANE_GUI=OFF -DVELTRANE_SANITIZE=ON -DVELTRANE_FUZZ=ON -DVELTRANE_BENCH=OFF \
	  -DVELTRANE_FUZZ_SECONDS=$(FUZZ_SECONDS)
	cmake --build $(SANBUILD) -j $(JOBS)
	cd $(SANBUILD) && ctest --output-on-failure -j $(JOBS)

# The whole program and its tests (user interface included, offscreen) under
# ThreadSanitizer; tests/tsan/qt.supp says what is not checked and why. Light
# optimisation and line tables only: a third less build time, the same reports.
test-tsan: deps
	cmake -S . -B $(TSANBUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g1" \
	  -DCMAKE_C_FLAGS="-O1 -g1" -DVELTRANE_TSAN=ON -DVELTRANE_BENCH=OFF
	@find $(TSANBUILD) -path '*_autogen/timestamp' -delete 2>/dev/null || true
	cmake --build $(TSANBUILD) -j $(JOBS)
	cd $(TSANBUILD) && ctest --output-on-failure -j $(JOBS)

test-main: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The main build's tests run last so that their summary closes the output.
test: test-sanitize test-tsan test-main

run: build
	VELTRANE_MACHINE_CONFIG=$(CURDIR)/res/machine-emulated.ini $(BUILD)/app/veltrane

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done

clean:
	rm -rf $(BUILD) $(SANBUILD) $(TSANBUILD)
