# make run    set up, build the program alone and start it on build/data
# make test   set up, build the program and its tests, run every test through CTest
# make bench  set up, build the benchmarks and run each of them from build/bench
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all setup configure build run test bench clean

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
	cd $(BUILD) && ./corvane

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	@found=0; for b in $(BUILD)/bench/bench_*; do \
		[ -f "$$b" ] && [ -x "$$b" ] || continue; found=1; \
		echo "== $$(basename $$b)"; (cd $(BUILD)/bench && QT_QPA_PLATFORM=offscreen ./$$(basename $$b)) || exit 1; \
	done; [ $$found = 1 ] || { echo "no benchmark was built (is libbenchmark-dev installed?)"; exit 1; }

clean:
	rm -rf $(BUILD)
