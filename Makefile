# Thin wrapper over the CMake presets; both targets install the dependencies first.
.PHONY: run test deps build fuzz bench clean

JOBS ?= $(shell nproc)

deps:
	@scripts/install-deps.sh

build: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

run: build
	@build/release/apps/masscal/masscal calibrate examples/nai_tof.txt examples/nai.ref --report build/report.pdf

test: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
	ctest --preset release -j $(JOBS)
	cmake --preset asan
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	scripts/run-fuzz-smoke.sh build/fuzz/fuzz

# Every fuzz target for FUZZ_SECONDS (default 600) over its seeds.
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	FUZZ_SECONDS=$${FUZZ_SECONDS:-600} scripts/run-fuzz-smoke.sh build/fuzz/fuzz

bench: build
	@for b in build/release/bench/bench_*; do $$b; done
	@bench/cli_bench.py build/release/apps/masscal/masscal examples
	@bench/large_runs.py build/release/apps/masscal/masscal

clean:
	rm -rf build
