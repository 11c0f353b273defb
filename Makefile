# Two commands for users: `make demo` and `make test`. Each sets up what it needs first.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all setup build test test-sanitize demo bench model format clean

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
	rm -rf $(BUILD) $(SANITIZE_BUILD)
