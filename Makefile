# The commands a newcomer needs: `make demo` and `make test`.
MAKEFLAGS += --no-print-directory
BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?=

.PHONY: all deps build test test-sanitize test-tsan bench demo format clean

all: build

deps:
	@sh scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j$(JOBS)

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

# Everything but the window's tests, under AddressSanitizer and UBSan.
test-sanitize: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DLINKHAUL_SANITIZE=address >/dev/null
	@cmake --build build-asan -j$(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j$(JOBS) -LE gui

# The same under ThreadSanitizer, for work on the threaded parts.
test-tsan: deps
	@cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DLINKHAUL_SANITIZE=thread >/dev/null
	@cmake --build build-tsan -j$(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j$(JOBS) -LE gui

bench: deps
	@cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DLINKHAUL_BENCH=ON -DLINKHAUL_TESTS=OFF >/dev/null
	@cmake --build build-bench -j$(JOBS)
	@for b in $$(find build-bench/bench -maxdepth 2 -type f -name 'bench-*' -perm -u+x | sort); do \
		echo "== $$(basename $$b)"; $$b || exit 1; \
	done

demo: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j$(JOBS) --target linkhaul-cli linkhaul-sim
	@sh scripts/demo.sh $(BUILD_DIR)

format:
	@find src tests sim bench -name '*.h' -o -name '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan build-bench
