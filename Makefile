# The two set-up commands: `make run` and `make test`.
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_TSAN ?= build-tsan
BUILD_FUZZ ?= build-fuzz
JOBS       ?= $(shell nproc)
CMAKE_GEN  := -G Ninja
FUZZ_SECONDS ?= 60
PREFIX     ?= /usr/local
# CI builds (CI=true, as .ci/run sets it) treat warnings in our own code as errors; a user's
# build does not. It is fixed when a build directory is configured.
WERROR     := $(if $(filter true 1,$(CI)),ON,OFF)

# The program takes the login name from the environment; some shells (CI runners, su) leave it unset.
export USER ?= $(shell id -un)

.PHONY: all deps build program run install uninstall deb deb-check test test-asan test-tsan fuzz fuzz-run bench clean

all: build

deps:
	@scripts/deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTN_WERROR=$(WERROR)

# The program, the test suites and the tools the tests use (benchmarks are built by `make test`
# and `make bench`).
build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The program alone.
program: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target tandrel

run: program
	$(BUILD)/tandrel

# The program and its desktop files into PREFIX (default /usr/local; as root or through sudo),
# under DESTDIR when it is set; `make uninstall` removes what the last install wrote.
install: deps $(BUILD)/build.ninja
	cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(BUILD) -j $(JOBS) --target tandrel
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD)

uninstall:
	DESTDIR="$(DESTDIR)" cmake --build $(BUILD) --target uninstall

# The Debian package (debian/): dpkg-buildpackage on a copy of the tree without build
# directories (its first step, debian/rules clean, removes what an earlier package build in
# the tree left), in DEB_DIR, where the packages (the program and its debug symbols), the
# .buildinfo and the .changes are left; the copy is removed afterwards.
DEB_DIR     ?= $(BUILD)/deb
DEB_VERSION = $(shell dpkg-parsechangelog -S Version 2>/dev/null)
DEB_BUILD_OPTIONS ?= parallel=$(JOBS)
deb: deps
	rm -rf $(DEB_DIR)
	mkdir -p $(DEB_DIR)/tandrel
	tar -cf - --exclude-vcs --exclude=./build --exclude='./build-*' --exclude='./obj-*' . | tar -xf - -C $(DEB_DIR)/tandrel
	cd $(DEB_DIR)/tandrel && DEB_BUILD_OPTIONS="$(DEB_BUILD_OPTIONS)" dpkg-buildpackage -us -uc -b
	rm -rf $(DEB_DIR)/tandrel
	@echo "The packages of tandrel $(DEB_VERSION) are in $(DEB_DIR)/:"; ls -1 $(DEB_DIR)

# The package as a user meets it: lintian on the .changes and the packages, then installed
# with apt-get (as root, or through sudo), started from its desktop entry's command under
# Xvfb, its manual page opened, and purged.
deb-check: deb $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target tn_wm_close
	tests/with-xvfb.sh bash tests/tools/check_deb.sh $(DEB_DIR) $(DEB_VERSION) $(BUILD)

# The benchmarks are built here too, so that they keep building; only `make bench` runs them.
test: build
	cmake --build $(BUILD) -j $(JOBS) --target tn_benchmarks
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The whole suite again under AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(BUILD_ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTN_SANITIZE=address,undefined -DTN_BUILD_BENCH=OFF -DTN_WERROR=$(WERROR)
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	ctest --test-dir $(BUILD_ASAN) --output-on-failure -j $(JOBS)

# The connection tests under ThreadSanitizer.
test-tsan: deps
	cmake -S . -B $(BUILD_TSAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DTN_SANITIZE=thread -DTN_BUILD_BENCH=OFF -DTN_WERROR=$(WERROR)
	cmake --build $(BUILD_TSAN) -j $(JOBS) --target rfb_tests
	TSAN_OPTIONS="suppressions=$(CURDIR)/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1" \
	ctest --test-dir $(BUILD_TSAN) --output-on-failure -j $(JOBS) -L rfb

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTN_BUILD_FUZZ=ON -DTN_BUILD_TESTS=OFF -DTN_BUILD_BENCH=OFF -DTN_SANITIZE=address,undefined \
	  -DTN_WERROR=$(WERROR)
	cmake --build $(BUILD_FUZZ) -j $(JOBS)

# Runs every fuzz target for FUZZ_SECONDS on its seed corpus.
fuzz-run: fuzz
	@for t in $(BUILD_FUZZ)/fuzz/fuzz_*; do \
	  name=$$(basename $$t); corpus=$$(mktemp -d); \
	  cp fuzz/corpus/$$name/* $$corpus/ 2>/dev/null; \
	  echo "== $$name ($(FUZZ_SECONDS) s)"; \
	  $$t -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -print_final_stats=1 $$corpus || exit 1; \
	  rm -rf $$corpus; \
	done

bench: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target tn_benchmarks tandrel tn_wm_close tn_test_server
	@for b in $(BUILD)/bench/bench_*; do echo "== $$b"; tests/with-xvfb.sh $$b || exit 1; done
	@for s in bench/*.sh; do echo "== $$s"; tests/with-xvfb.sh bash $$s $(BUILD)/tandrel $(BUILD)/tests/tn_wm_close || exit 1; done

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_TSAN) $(BUILD_FUZZ)
