# aqsol: build, test and run. Every target first installs whatever system packages are missing.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
WERROR     ?= OFF
JOBS       ?= $(shell nproc)
DEPS        = scripts/install-deps

.PHONY: deps build test run bench python validate fuzz soak format clean

deps:
	@$(DEPS)

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAQSOL_BENCHMARKS=ON \
	  -DAQSOL_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# All tests, with warnings as errors; all tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer; the tests that share data between threads under ThreadSanitizer;
# and a short run of every fuzz target.
test: WERROR = ON
test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DAQSOL_SANITIZE=address \
	  -DAQSOL_WERROR=$(WERROR) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)
	@cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DAQSOL_SANITIZE=thread \
	  -DAQSOL_WERROR=$(WERROR) >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS) --target console_tests calculator_tests frame_tests table_tests
	@ctest --test-dir $(TSAN_BUILD) --output-on-failure -R 'ReaderThread|Concurrent|Threaded'
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=3

# 10,000 passes of the dialogue through aqsol-console; fails if its memory grows by over 1 MB.
soak: build
	@scripts/soak $(BUILD)/aqsol-console 10000

# The libFuzzer targets (clang, ASan, UBSan): each replays its seeds in tests/fuzz/corpus and
# is fuzzed for FUZZ_SECONDS, one after the other.
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DAQSOL_FUZZ=ON -DAQSOL_BENCHMARKS=OFF -DAQSOL_WERROR=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets
	@scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The calculator: its window when a display is available, else the terminal front end.
run: build
	@if [ -n "$$DISPLAY" ]; then exec $(BUILD)/aqsol; else exec $(BUILD)/aqsol-console; fi

# The Google benchmarks, aqsol-table against python3-iapws on the same states, and 200 piped
# passes of aqsol-console.
bench: build
	@$(BUILD)/aqsol-bench
	@bench/compare-speed $(BUILD)/aqsol-table
	@bench/console-speed $(BUILD)/aqsol-console

# The Python module, into $(BUILD)/python (PYTHONPATH=$(BUILD)/python python3 -c 'import aqsol').
python: build
	@cmake --build $(BUILD) --target aqsol_python

# docs/validation.md: aqsol against IAPWS-95 and the IAPWS G7-04 Henry constants.
validate: build
	@scripts/validate $(BUILD)/aqsol-table

format:
	@git ls-files '*.cpp' '*.hpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
