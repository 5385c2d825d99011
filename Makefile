# Short commands; CMake presets do the work.
.PHONY: all build demo test test-release test-asan windows-test fuzz fuzz-smoke bench bench-quick format clean \
	package windows-package demo-remote soak soak-smoke soak-remote soak-remote-smoke windows-soak \
	vm-smoke vm-test vm-bench

# Installs what a target needs on Debian/Ubuntu when missing; PREREQS=true skips the check.
PREREQS ?= tools/install-prereqs.sh

all: build

build:
	$(PREREQS) build
	cmake --preset release >/dev/null
	cmake --build --preset release

# Ending dravel by its keys (ESC, F10 F2) ends the target with status 0 (tools/demo_run.sh).
demo: build
	tools/demo_run.sh ./build/release/krvbsim -- ./build/release/dravel

# The same board behind a real ser2net on loopback, dravel connected by rfc2217:// (README).
demo-remote: build
	$(PREREQS) demo
	tools/ser2net/demo_remote.sh build/release

test: test-release test-asan

test-release:
	$(PREREQS) test
	cmake --preset release >/dev/null
	cmake --build --preset release
	ctest --preset release

test-asan:
	$(PREREQS) test
	cmake --preset asan >/dev/null
	cmake --build --preset asan
	ctest --preset asan

# dravel against cat, picocom, tio and the line's own limit; several minutes (bench/README.md).
bench: build
	python3 bench/bench.py --build build/release
	python3 bench/keys_live.py --build build/release

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

# The same through a real ser2net on loopback (dravel on rfc2217://, or socket:// with
# SOAK_TRANSPORT=socket), ser2net restarted for a pull while krvbsim, the board, lives on.
SOAK_TRANSPORT ?= rfc2217
SOAK_REMOTE = python3 tests/soak/soak.py --build build/release --transport $(SOAK_TRANSPORT) \
  --restart ser2net
soak-remote: build
	$(PREREQS) test
	$(SOAK_REMOTE) --seconds $(SOAK_SECONDS)

soak-remote-smoke: build
	$(PREREQS) test
	$(SOAK_REMOTE) --seconds 120 --pull-every 30 --report-every 60 --warmup 30

# dravel on real serial drivers: a QEMU guest (TCG) with a 16550 and an FTDI adapter, each
# wired to its own krvbsim (tools/vm/). vm-smoke: one boot, both drivers, a dload and a dsave
# each and one pull of the adapter; vm-test: every check.
vm-smoke: build
	$(PREREQS) vm
	python3 tools/vm/vm_test.py --build build/release --test smoke --timeout 300

vm-test: build
	$(PREREQS) vm
	python3 tools/vm/vm_test.py --build build/release --test full --timeout 900

# Paced transfers through each guest driver against the same on a host pty, as ratios.
vm-bench: build
	$(PREREQS) vm
	python3 tools/vm/vm_test.py --build build/release --test bench --timeout 600

# Cross build for Windows, unit tests under Wine, and dravel.exe on Wine's COM port against krvbsim.
windows-test:
	PREREQS="$(PREREQS)" tests/windows/windows_test.sh

# A Debian package (build/package/packages/dravel_*.deb) and a zip of the static dravel.exe.
package:
	$(PREREQS) package
	cmake --preset package >/dev/null
	cmake --build --preset package
	cd build/package && cpack -G DEB

windows-package:
	$(PREREQS) windows
	cmake --preset windows >/dev/null
	cmake --build --preset windows
	cd build/windows && cpack -G ZIP

# dravel.exe under Wine on COM5 for ten minutes of the soak's loop: memory and handles flat.
windows-soak:
	PREREQS="$(PREREQS)" tests/windows/windows_test.sh --soak 600

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
