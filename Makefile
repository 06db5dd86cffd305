# The two commands: `make demo` and `make test`. Both install what is missing first.
JOBS ?= 2

.PHONY: all setup build demo test test-dev test-asan bench screenshots format clean

all: build

setup:
	@scripts/setup

build: setup
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS)

demo: build
	@scripts/demo

test: setup test-dev test-asan

test-dev:
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS)
	ctest --test-dir build/dev --output-on-failure -j $(JOBS)

test-asan:
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir build/asan --output-on-failure -j $(JOBS)

bench: setup
	@scripts/bench

screenshots: build
	@scripts/screenshots

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
