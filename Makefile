# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all setup configure build run test soak bench sanitize fuzz clean

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@$(BUILD)/bin/vorlund

test: build
	@cd $(BUILD) && ZUN_HEADLESS=1 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ctest --output-on-failure -j $(JOBS)

# A long headless run on the virtual clock: SOAK_FRAMES=N (default 100000).
soak: build
	@BUILD=$(BUILD) bash scripts/soak.sh

bench: setup
	@cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DZUN_TESTS=OFF > /dev/null
	@cmake --build build-bench -j $(JOBS) --target zun_bench
	@build-bench/bench/zun_bench

sanitize: setup
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZUN_SANITIZE=ON -DZUN_BENCH=OFF > /dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ZUN_HEADLESS=1 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

fuzz: setup
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUN_FUZZ=ON > /dev/null
	@cmake --build build-fuzz -j $(JOBS)
	@bash fuzz/run.sh build-fuzz $${FUZZ_SECONDS:-20}

clean:
	rm -rf $(BUILD) build-asan build-fuzz build-bench
