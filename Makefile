# make run    set up, build the program alone and start it on build/data
# make test   set up, build the program, its tests and the fuzz drivers, run every test through CTest
# make bench  set up, build the benchmarks (only this builds them) and run each from build/bench
# make fuzz   build the fuzz targets with clang and libFuzzer, run each FUZZ_SECONDS
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
	cd $(BUILD) && ./corvane

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target benchmarks
	@found=0; for b in $(BUILD)/bench/bench_*; do \
		[ -f "$$b" ] && [ -x "$$b" ] || continue; found=1; \
		echo "== $$(basename $$b)"; (cd $(BUILD)/bench && QT_QPA_PLATFORM=offscreen ./$$(basename $$b)) || exit 1; \
	done; [ $$found = 1 ] || { echo "no benchmark was built (is libbenchmark-dev installed?)"; exit 1; }

# Clang and its libFuzzer runtime are installed when missing. New inputs go
# to $(FUZZ_BUILD)/corpus, crashes to $(FUZZ_BUILD)/crashes; the seed corpus
# in fuzz/corpus is only read.
fuzz: setup
	@echo 'extern "C" int LLVMFuzzerTestOneInput(const char*,unsigned long){return 0;}' > /tmp/corvane-fuzz-probe.cpp
	@clang++ -fsanitize=fuzzer /tmp/corvane-fuzz-probe.cpp -o /tmp/corvane-fuzz-probe 2>/dev/null || { \
	    sudo=""; [ "$$(id -u)" -ne 0 ] && sudo=sudo; \
	    $$sudo apt-get update -q && $$sudo apt-get install -y -q --no-install-recommends clang && \
	    ver=$$(clang++ --version | sed -n 's/.*version \([0-9]*\).*/\1/p' | head -1) && \
	    $$sudo apt-get install -y -q --no-install-recommends libclang-rt-$$ver-dev; }
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCORVANE_FUZZ=ON -DCORVANE_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $$(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$$//')
	@set -e; for src in fuzz/fuzz_*.cpp; do \
	    target=$$(basename $$src .cpp); name=$${target#fuzz_}; \
	    mkdir -p $(FUZZ_BUILD)/corpus/$$name $(FUZZ_BUILD)/crashes/$$name; \
	    echo "== $$target for $(FUZZ_SECONDS) s"; \
	    (cd $(FUZZ_BUILD) && QT_QPA_PLATFORM=offscreen ./fuzz/$$target -max_total_time=$(FUZZ_SECONDS) \
	        -rss_limit_mb=4096 -max_len=65536 -artifact_prefix=crashes/$$name/ \
	        corpus/$$name $(CURDIR)/fuzz/corpus/$$name); \
	done

clean:
	rm -rf $(BUILD) $(FUZZ_BUILD)
