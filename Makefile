# Front door over CMake. `make run` builds and runs the benchmark; `make test`
# builds and runs every test. CMAKE_ARGS passes options to configure, e.g.
# make run CMAKE_ARGS=-DSORTBENCH_HUGE_PAGES=OFF; ARGS passes arguments to
# sortbench, e.g. make run ARGS=-v.
BUILD ?= build
CMAKE_ARGS ?=
ARGS ?=
SHELL := /bin/bash

.PHONY: all configure deps sortbench run test sanitize fuzz patterns report advise clean

configure:
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release $(CMAKE_ARGS)

all: configure
	cmake --build $(BUILD)/release -j

sortbench: configure
	cmake --build $(BUILD)/release -j --target sortbench

# sortbench writes Shift_JIS. On a terminal (unless its locale is Shift_JIS
# itself) a copy goes through iconv so that the headings are readable; piped
# or redirected, the bytes are sortbench's own.
run: sortbench
	@if [ -t 1 ] && ! locale charmap 2>/dev/null | grep -qiE '^(SHIFT_JIS|CP932|SJIS)$$'; then \
	  set -o pipefail; $(BUILD)/release/sortbench $(ARGS) 2>&1 | iconv -f SHIFT_JIS -t UTF-8; \
	else \
	  $(BUILD)/release/sortbench $(ARGS); \
	fi

# The Debian packages the tests, the suite and the tools need; a no-op when
# all are there.
deps:
	tools/install-deps.sh

# Each run ends with what it skipped and why: a test that this host cannot
# run (valgrind refusing an instruction, say) is skipped, not passed.
test: deps
	$(MAKE) all
	ctest --test-dir $(BUILD)/release --output-on-failure --no-tests=error -j2 --test-output-size-passed 1000000 --output-junit $(abspath $(BUILD))/release/tests.xml
	@/usr/bin/python3 tools/skipped_tests.py $(BUILD)/release/tests.xml

patterns: all
	$(BUILD)/release/sortbench-patterns

# One HTML page from a default run of the suite, or from RUN=file.json:
# build/report.html, which opens from disk with no network.
RUN ?=
report: all
	@if [ -n "$(RUN)" ]; then json="$(RUN)"; else \
	  json=$(BUILD)/report-run.json; $(BUILD)/release/sortbench-patterns --benchmark_out=$$json --benchmark_out_format=json; fi; \
	tools/report.py $$json -o $(BUILD)/report.html

# Which sort for your data: make advise INPUT=FILE [ADVISE_ARGS='--input_type=int64 --stable'];
# the advice in a few lines, and as JSON in build/advice.json (tools/report.py --advice).
INPUT ?=
ADVISE_ARGS ?=
advise: all
	@if [ -z "$(INPUT)" ]; then echo "make advise needs INPUT=FILE" >&2; exit 1; fi
	$(BUILD)/release/sortbench-advise --input=$(INPUT) $(ADVISE_ARGS) --json_out=$(BUILD)/advice.json

# Unit tests and the benchmark under AddressSanitizer and UndefinedBehaviorSanitizer,
# at -O1 with line tables only (AddressSanitizer's guide asks for -O1 or more): the
# largest units of the engine (every parallel sort, every anchor, for every
# element type) then build in half the time of -O2 -g.
SANITIZE_FLAGS := -O1 -g1 -DNDEBUG
sanitize:
	cmake -S . -B $(BUILD)/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORTBENCH_SANITIZE=ON \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$(SANITIZE_FLAGS)" -DCMAKE_C_FLAGS_RELWITHDEBINFO="$(SANITIZE_FLAGS)" $(CMAKE_ARGS)
	cmake --build $(BUILD)/sanitize -j
	ctest --test-dir $(BUILD)/sanitize --output-on-failure --no-tests=error -j2 --test-output-size-passed 1000000 --output-junit $(abspath $(BUILD))/sanitize/tests.xml
	@/usr/bin/python3 tools/skipped_tests.py $(BUILD)/sanitize/tests.xml

# The libFuzzer target; FUZZ_SECONDS bounds the run.
FUZZ_SECONDS ?= 60
fuzz:
	cmake -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DSORTBENCH_FUZZ=ON -DSORTBENCH_TESTS=OFF -DSORTBENCH_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(BUILD)/fuzz -j --target sort_fuzz
	mkdir -p $(BUILD)/fuzz/corpus
	$(BUILD)/fuzz/sort_fuzz -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	  $(BUILD)/fuzz/corpus fuzz/corpus

clean:
	rm -rf $(BUILD)
