# make run   set up, build and start Corvane on build/data
# make test  set up, build and run every test through CTest
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all setup build run test bench clean

all: build

setup:
	@bash scripts/setup.sh

$(BUILD)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD) -G Ninja

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(BUILD) && ./corvane

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	cd $(BUILD) && for b in bench_*; do [ -x "$$b" ] && ./$$b; done

clean:
	rm -rf $(BUILD)
