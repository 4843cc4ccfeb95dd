# aqsol: build, test, run and install. `make` alone lists the targets. Every target first
# installs whatever system packages are missing (scripts/install-deps).
PREFIX     ?= $(HOME)/.local
BUILD      ?= build
RUN_BUILD  ?= build-run
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)
PYTHON     ?=
DEPS        = scripts/install-deps
export JOBS
ifdef VERBOSE
export VERBOSE
endif

# The programs, the C library and the Python module for make run, make install and make python
# (and pip install .) share one folder, RUN_BUILD, configured by scripts/configure-run.
export RUN_BUILD
# make test's plain build, also used by bench, validate and the test of the Python module.
TEST_OPTIONS = -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAQSOL_BENCHMARKS=ON -DAQSOL_WERROR=ON

.DEFAULT_GOAL := help
.PHONY: help deps run test install uninstall deb web python r bench validate fuzz soak format clean

help:
	@echo "aqsol $$(cat VERSION): make TARGET [VARIABLE=value ...]"
	@echo "  run        build and start the calculator: its window with DISPLAY set, else aqsol-console"
	@echo "  test       build and run every test: plain, ASan+UBSan, TSan, fuzz smoke (~25 min on 2 cores)"
	@echo "  install    install the three programs, their manual pages and the docs in PREFIX ($(PREFIX))"
	@echo "  uninstall  remove what make install installed (and the R package make r installed)"
	@echo "  deb        build the Debian package aqsol_VERSION_ARCH.deb (apt install ./aqsol_*.deb)"
	@echo "  web        build the browser page into build-web/site (a static site: serve it or open it)"
	@echo "  python     build the Python module for PYTHON (default: the first python3 that has numpy)"
	@echo "  r          make install, then install the R package for this user against it"
	@echo "  bench      benchmarks: the calculator, aqsol-table against python3-iapws, aqsol-console"
	@echo "  validate   rewrite the flag tables, the G7-04 species set and docs/validation.md"
	@echo "  fuzz       fuzz every target for FUZZ_SECONDS ($(FUZZ_SECONDS)) seconds each"
	@echo "  soak       10,000 passes of the dialogue; fails if memory grows"
	@echo "  format     apply clang-format to the sources"
	@echo "  clean      remove every build folder"
	@echo "VERBOSE=1 shows the whole build; JOBS=N sets the parallel jobs ($(JOBS))."

deps:
	@$(DEPS)

# The calculator: its window when a display is available, else the terminal front end.
run: deps
	@scripts/configure-run
	@if [ -n "$$DISPLAY" ]; then scripts/quiet-build $(RUN_BUILD) aqsol && exec $(RUN_BUILD)/aqsol; \
	else scripts/quiet-build $(RUN_BUILD) aqsol-console && exec $(RUN_BUILD)/aqsol-console; fi

test: deps
	@BUILD=$(BUILD) ASAN_BUILD=$(ASAN_BUILD) TSAN_BUILD=$(TSAN_BUILD) FUZZ_BUILD=$(FUZZ_BUILD) \
	  PLAIN_OPTIONS="$(TEST_OPTIONS)" scripts/test-suites

install: deps
	@scripts/configure-run
	@scripts/quiet-build $(RUN_BUILD) aqsol-installed
	@scripts/install-tree install $(RUN_BUILD) "$(PREFIX)" >$(RUN_BUILD)/install.log
	@echo "installed in $(PREFIX): bin/ (aqsol, aqsol-console, aqsol-table), lib/ (libaqsol, aqsol.pc, cmake/aqsol), include/aqsol/, the manual pages, share/doc/aqsol"
	@case ":$$PATH:" in *":$(PREFIX)/bin:"*) ;; \
	  *) echo "note: $(PREFIX)/bin is not on PATH; add it: export PATH=\"$(PREFIX)/bin:\$$PATH\"";; esac

# Removes the files make install recorded, only under the prefixes it installed into, the
# folders it created where they are empty, and the R package make r installed.
uninstall:
	@scripts/install-tree uninstall $(RUN_BUILD)
	@scripts/install-r-package --remove $(RUN_BUILD)/r-package-record

# The Debian package, from a build for /usr in build-deb.
deb: deps
	@scripts/make-deb

# The browser page: the core in WebAssembly (Debian's emscripten) and the site around it.
web: deps
	@scripts/build-web build-web

# The Python module for the interpreter PYTHON, into build-python/python.
python: deps
	@PYTHON="$(PYTHON)" scripts/build-python

# The R package, built offline against the C library make install put in PREFIX, into R's
# library for this user.
r: install
	@RECORD=$(RUN_BUILD)/r-package-record scripts/install-r-package "$(PREFIX)"

# 10,000 passes of the dialogue through aqsol-console; fails if its memory grows by over 1 MB.
soak: deps
	@scripts/configure-run
	@scripts/quiet-build $(RUN_BUILD) aqsol-console
	@scripts/soak $(RUN_BUILD)/aqsol-console 10000

# The libFuzzer targets (clang, ASan, UBSan): each replays its seeds in tests/fuzz/corpus and
# is fuzzed for FUZZ_SECONDS, one after the other.
fuzz: deps
	@CC=clang CXX=clang++ scripts/configure $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DAQSOL_FUZZ=ON -DAQSOL_BENCHMARKS=OFF -DAQSOL_WERROR=ON
	@scripts/quiet-build $(FUZZ_BUILD) fuzz_targets
	@scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The Google benchmarks, aqsol-table against python3-iapws on the same states, and 200 piped
# passes of aqsol-console.
bench: deps
	@scripts/configure $(BUILD) $(TEST_OPTIONS)
	@scripts/quiet-build $(BUILD) aqsol-bench aqsol-table aqsol-console
	@$(BUILD)/aqsol-bench
	@bench/compare-speed $(BUILD)/aqsol-table
	@bench/console-speed $(BUILD)/aqsol-console

# The flag tables (calculator/validity_tables.cpp) from aqsol's water against IAPWS-95 and its
# Henry constants against IAPWS G7-04, then docs/validation.md with the flags they give.
validate: deps
	@scripts/configure $(BUILD) $(TEST_OPTIONS)
	@scripts/quiet-build $(BUILD) aqsol-table
	@scripts/make-validity-tables $(BUILD)/aqsol-table >$(BUILD)/validity_tables.cpp
	@cmp -s $(BUILD)/validity_tables.cpp calculator/validity_tables.cpp || \
	  cp $(BUILD)/validity_tables.cpp calculator/validity_tables.cpp
	@scripts/quiet-build $(BUILD) aqsol-table aqsol-fit
	@scripts/make-g704-set $(BUILD)/aqsol-fit >$(BUILD)/g704.csv
	@cmp -s $(BUILD)/g704.csv solute_sets/g704.csv || cp $(BUILD)/g704.csv solute_sets/g704.csv
	@scripts/validate $(BUILD)/aqsol-table

format:
	@git ls-files '*.cpp' '*.hpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(RUN_BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) build-python build-deb aqsol_*.deb
