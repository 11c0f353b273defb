# Two commands for users: `make demo` and `make test`. Each sets up what it needs first.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
TSAN_BUILD ?= build-tsan
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all setup build test test-sanitize test-tsan test-crash demo bench fuzz model format clean

all: build

setup:
	@./scripts/bootstrap

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: setup
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGESTAL_SANITIZE=ON -DGESTAL_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# Every test again under ThreadSanitizer; any report fails the run.
test-tsan: setup
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGESTAL_SANITIZE_THREAD=ON -DGESTAL_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --output-on-failure -j $(JOBS)

# Kills a child process at random moments, at least 100 times, and checks the files after each
# kill (make test runs 20 of these).
test-crash: build
	GESTAL_CRASH_TRIALS=$${GESTAL_CRASH_TRIALS:-100} ./$(BUILD)/tests/bridge_processes_test --gtest_filter=OtherProcesses.Killed*

# The demo host, then an evaluation of the demo's gestures as performed by synthesized users,
# written as an HTML report.
DEMO_RECORDINGS = $(BUILD)/demo-recordings
DEMO_REPORT = $(BUILD)/demo-report.html
demo: build
	./$(BUILD)/gestal-demo $(BUILD)/libgestal.so models/gestal_gesture_adaboost
	rm -rf $(DEMO_RECORDINGS)
	./$(BUILD)/gestal synth $(DEMO_RECORDINGS) --users 4 --repetitions 6 \
		--shapes heart,c,down,circle,zigzag,signature
	./$(BUILD)/gestal eval $(DEMO_RECORDINGS) --report $(DEMO_REPORT)
	@echo "demo: report of the demo's gestures: $(abspath $(DEMO_REPORT))"

# BENCH_LIBRARIES: the shared libraries whose exported calls are compared side by side (by
# default the one just built and libgestal_uncached, the same library without its caches).
bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b || exit 1; done
	@echo "== $(BUILD)/bench/abi_calls"; ./$(BUILD)/bench/abi_calls $(BENCH_LIBRARIES)

# Runs every fuzz target for FUZZ_SECONDS, starting from its committed seeds in fuzz/corpus; what
# it finds on the way stays in $(FUZZ_BUILD)/corpus, a crashing input in $(FUZZ_BUILD).
fuzz:
	@./scripts/bootstrap fuzz
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGESTAL_FUZZ=ON -DGESTAL_BUILD_TESTS=OFF -DGESTAL_BUILD_TOOLS=OFF -DGESTAL_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	@for f in $(FUZZ_BUILD)/fuzz/fuzz_*; do \
	  name=$$(basename $$f); mkdir -p $(FUZZ_BUILD)/corpus/$$name; \
	  echo "== $$name for $(FUZZ_SECONDS) s"; \
	  $$f -max_total_time=$(FUZZ_SECONDS) -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ_BUILD)/$$name- $(FUZZ_BUILD)/corpus/$$name fuzz/corpus/$$name \
	    2>$(FUZZ_BUILD)/$$name.log || { tail -50 $(FUZZ_BUILD)/$$name.log; exit 1; }; \
	  grep -E "^stat::number_of_executed_units" $(FUZZ_BUILD)/$$name.log; \
	done

# Rebuilds the default predefined-gesture model from synthesized users; the same seed and
# toolchain give the committed file byte for byte.
model: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target gestal-train-model
	./$(BUILD)/gestal-train-model --synthetic --seed 1 --output models/gestal_gesture_adaboost

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp' '*.c')

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)
