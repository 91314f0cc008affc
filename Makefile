# The two commands of the README: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# The build's own make runs below this one: its directory lines are noise.
MAKEFLAGS += --no-print-directory
# A recipe that runs for long ends in exec: make passes a stop signal on to
# the shell of its recipe, which would die and leave the program running.

.PHONY: all setup configure build run test soak bench sanitize fuzz fuzz-build fuzz-long soak-levels clean

all: build

setup:
	@bash scripts/setup.sh

configure: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) > /dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Only the program, its compiler and its content: the tests are not needed to play.
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target vorlund zsc
	@exec $(BUILD)/bin/vorlund

test: build
	@cd $(BUILD) && ZUN_HEADLESS=1 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy exec ctest --output-on-failure -j $(JOBS)

# A long headless run on the virtual clock: SOAK_FRAMES=N (default 100000).
soak: build
	@BUILD=$(BUILD) exec bash scripts/soak.sh

bench: setup
	@cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DZUN_TESTS=OFF > /dev/null
	@cmake --build build-bench -j $(JOBS) --target zun_bench
	@exec build-bench/bench/zun_bench

# Leaks are checked too, and only the GL driver's own are excused
# (cmake/lsan.supp). The driver is kept loaded for the whole run: unloaded, its
# allocations would have no module a suppression could name.
GL_DRIVER ?= $(firstword $(wildcard /usr/lib/*/dri/swrast_dri.so))

sanitize: setup
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZUN_SANITIZE=ON -DZUN_BENCH=OFF > /dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ZUN_HEADLESS=1 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy LD_PRELOAD=$(GL_DRIVER) ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0 LSAN_OPTIONS=suppressions=$(CURDIR)/cmake/lsan.supp:print_suppressions=0 UBSAN_OPTIONS=print_stacktrace=1 exec ctest --output-on-failure -j $(JOBS)

fuzz-build: setup
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZUN_FUZZ=ON > /dev/null
	@cmake --build build-fuzz -j $(JOBS)

# A short run of every target, one after another (CI): it looks for crashes, so
# an input is given ten seconds, and a busy machine cannot fail it; the long run
# below holds every input to one second.
fuzz: fuzz-build
	@FUZZ_TIMEOUT=$${FUZZ_TIMEOUT:-10} exec bash fuzz/run.sh build-fuzz $${FUZZ_SECONDS:-20} 1

# Every target for FUZZ_SECONDS (ten minutes by default), FUZZ_JOBS at once.
fuzz-long: fuzz-build
	@exec bash fuzz/run.sh build-fuzz $${FUZZ_SECONDS:-600} $${FUZZ_JOBS:-4}

# Loads the two demo levels in turn, LEVEL_LOADS times (1000 by default), and
# reports resident memory; fails when it keeps climbing after warm-up.
soak-levels: build
	@cd $(BUILD) && ZUN_HEADLESS=1 SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ZUN_SOAK_LOADS=$${LEVEL_LOADS:-1000} exec bin/soak_levels

clean:
	rm -rf $(BUILD) build-asan build-fuzz build-bench
