# Two commands for users: `make demo` and `make test`. Each sets up what it needs first.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
TSAN_BUILD ?= build-tsan
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all setup build test test-sanitize test-tsan test-crash demo bench model format clean

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

demo: build
	./$(BUILD)/gestal-demo $(BUILD)/libgestal.so models/gestal_gesture_adaboost

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b || exit 1; done

# Rebuilds the default predefined-gesture model from synthesized users; the same seed and
# toolchain give the committed file byte for byte.
model: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target gestal-train-model
	./$(BUILD)/gestal-train-model --synthetic --seed 1 --output models/gestal_gesture_adaboost

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp' '*.c')

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD)
