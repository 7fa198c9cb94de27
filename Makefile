# Two commands for a newcomer: `make run` and `make test`.
BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
JOBS ?= $(shell nproc)

PREFIX ?= /usr/local

.PHONY: all deps configure build run test bench clean fuzz test-asan install package screenshots

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Opens the bundled demo collection, as a user would, from the command line.
run: build
	$(BUILD)/pictavo $(CURDIR)/$(BUILD)/demo/Demo.pvx

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# `make install PREFIX=/usr DESTDIR=/tmp/stage` stages a tree for packaging.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# A Debian package (build/pictavo_<version>_<arch>.deb) of the same tree.
package: build
	cd $(BUILD) && cpack -G DEB

# The windows as PNG files for a person to look at, in SHOTS.
SHOTS ?= $(BUILD)/screenshots
screenshots: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target pictavo-screenshots
	@if command -v xvfb-run >/dev/null; then \
	  xvfb-run -a -s "-screen 0 1280x1024x24" $(BUILD)/pictavo-screenshots "$(SHOTS)"; \
	else QT_QPA_PLATFORM=offscreen $(BUILD)/pictavo-screenshots "$(SHOTS)"; fi
	@echo "Screenshots are in $(abspath $(SHOTS))"

bench: build
	@bash scripts/install-deps.sh bench
	@for b in $(BUILD)/bench/bench_*; do if [ -x "$$b" ]; then echo "== $$b"; "$$b" || exit 1; fi; done
	@echo "== bench/batch_peers.sh"; bash bench/batch_peers.sh $(BUILD)
	@echo "== bench/decode_vs_magick.sh"; bash bench/decode_vs_magick.sh $(BUILD)
	@echo "== bench/startup.sh"; bash bench/startup.sh $(BUILD)
	@echo "== bench/peers_onscreen.py"; /usr/bin/python3 bench/peers_onscreen.py $(BUILD)

# Every test under AddressSanitizer and UndefinedBehaviorSanitizer (GCC).
# Leak reports from inside Qt and fontconfig are listed in
# tests/hardening/lsan.supp; anything of ours still fails the run.
ASAN_BUILD ?= build-asan
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DPICTAVO_BENCH=OFF \
	  -DPICTAVO_SANITIZE=address,undefined
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen \
	  ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/hardening/lsan.supp:print_suppressions=0 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

# libFuzzer over every reader of outside data (clang), FUZZ_SECONDS each.
FUZZ_SECONDS ?= 60
fuzz:
	@bash scripts/install-deps.sh fuzz
	FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) bash fuzz/run.sh

clean:
	rm -rf $(BUILD)
