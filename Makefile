# make run    set up, build the program alone and start it on build/data
# make test   set up, build the program, its tests and the fuzz drivers, run every test through CTest
# make bench  set up, build the benchmarks (only this builds them) and run each from build/bench
# make fuzz   build the fuzz targets with clang and libFuzzer, run each FUZZ_SECONDS, list findings
# make clean  remove what the builds made; the data folder build/data and its records stay
BUILD ?= build
JOBS ?= $(shell nproc)

FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 180

.PHONY: all setup configure build run test bench fuzz clean

all: build

setup:
	@bash scripts/setup.sh

$(BUILD)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD) -G Ninja

configure: setup $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: configure
	cmake --build $(BUILD) -j $(JOBS) --target corvane
	@[ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] || { echo "make run: no graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set); the program opens a window. Built: $(BUILD)/corvane"; exit 1; }
	cd $(BUILD) && ./corvane

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: configure
	@bash scripts/setup.sh bench
	@cmake -S . -B $(BUILD) -G Ninja >/dev/null # finds the benchmark library just installed
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	@found=0; for b in $(BUILD)/bench/bench_*; do \
		[ -f "$$b" ] && [ -x "$$b" ] || continue; found=1; \
		echo "== $$(basename $$b)"; (cd $(BUILD)/bench && QT_QPA_PLATFORM=offscreen ./$$(basename $$b)) || exit 1; \
	done; [ $$found = 1 ] || { echo "no benchmark was built (is libbenchmark-dev installed?)"; exit 1; }

fuzz: setup
	@bash scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(JOBS)

# The data folder lives in the build folder (beside the executable): the
# records stay, everything else goes.
clean:
	@if [ -d $(BUILD) ]; then find $(BUILD) -mindepth 1 -maxdepth 1 ! -name data -exec rm -rf {} +; fi
	rm -rf $(FUZZ_BUILD)
