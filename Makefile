# Front door over CMake. `make run` builds and runs the benchmark; `make test`
# builds and runs every test.
BUILD ?= build

.PHONY: all run test sanitize fuzz patterns clean

all:
	cmake -S . -B $(BUILD)/release -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD)/release -j

run: all
	$(BUILD)/release/sortbench

test: all
	ctest --test-dir $(BUILD)/release --output-on-failure -j2

patterns: all
	$(BUILD)/release/sortbench-patterns

# Unit tests and the benchmark under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	cmake -S . -B $(BUILD)/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORTBENCH_SANITIZE=ON
	cmake --build $(BUILD)/sanitize -j
	ctest --test-dir $(BUILD)/sanitize --output-on-failure -j2

# The libFuzzer target; FUZZ_SECONDS bounds the run.
FUZZ_SECONDS ?= 60
fuzz:
	cmake -S . -B $(BUILD)/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
	  -DSORTBENCH_FUZZ=ON -DSORTBENCH_TESTS=OFF -DSORTBENCH_BENCH=OFF
	cmake --build $(BUILD)/fuzz -j
	mkdir -p $(BUILD)/fuzz/corpus
	$(BUILD)/fuzz/sort_fuzz -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	  $(BUILD)/fuzz/corpus fuzz/corpus

clean:
	rm -rf $(BUILD)
