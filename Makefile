# Short commands; CMake presets do the work.
.PHONY: all build demo test test-release test-asan windows-test fuzz fuzz-smoke bench bench-quick format clean
.PHONY: soak soak-smoke windows-soak

all: build

build:
	cmake --preset release >/dev/null
	cmake --build --preset release

demo: build
	./build/release/krvbsim -- ./build/release/dravel

test: test-release test-asan

test-release:
	cmake --preset release >/dev/null
	cmake --build --preset release
	ctest --preset release

test-asan:
	cmake --preset asan >/dev/null
	cmake --build --preset asan
	ctest --preset asan

# dravel against cat, picocom, tio and the line's own limit; several minutes (bench/README.md).
bench: build
	python3 bench/bench.py --build build/release

bench-quick: build
	python3 bench/bench.py --build build/release --quick

# dravel against krvbsim for SOAK_SECONDS with spoilt packets and pulled devices; every byte
# checked, memory and fds watched (tests/soak/soak.py). The smoke is the same for two minutes.
SOAK_SECONDS ?= 3600
soak: build
	python3 tests/soak/soak.py --build build/release --seconds $(SOAK_SECONDS)

soak-smoke: build
	python3 tests/soak/soak.py --build build/release --seconds 120 --pull-every 30 \
	  --report-every 60 --warmup 30

# Cross build for Windows, unit tests under Wine, and dravel.exe on Wine's COM port against krvbsim.
windows-test:
	tests/windows/windows_test.sh

# dravel.exe under Wine on COM5 for ten minutes of the soak's loop: memory and handles flat.
windows-soak:
	tests/windows/windows_test.sh --soak 600

# libFuzzer targets (clang): each for FUZZ_SECONDS, or a few seconds each for the smoke.
FUZZ_SECONDS ?= 120
fuzz:
	fuzz/run_fuzzers.sh $(FUZZ_SECONDS)

fuzz-smoke:
	fuzz/run_fuzzers.sh --smoke

format:
	find src tools tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build
