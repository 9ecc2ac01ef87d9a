# The two commands of the README. Both install what is missing, then build an optimised build.
BUILD_DIR := build
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX    ?= /usr/local

.PHONY: run test build deps bench fuzz clean install deb

run: build
	@scripts/run.sh $(BUILD_DIR)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure

build: deps
	@if [ ! -f $(BUILD_DIR)/CMakeCache.txt ]; then \
	  cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release; fi
	cmake --build $(BUILD_DIR) -j $(JOBS)

deps:
	@scripts/install-deps.sh

# Both programs, the desktop entry, icon, AppStream metadata and manual page into
# $(DESTDIR)$(PREFIX) (e.g. make install PREFIX=/usr DESTDIR=/tmp/stage).
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

# The Debian package, in $(BUILD_DIR)/ (installs to /usr).
deb: build
	cd $(BUILD_DIR) && cpack -G DEB

bench: build
	@for b in $(BUILD_DIR)/bin/bench_*; do [ -x "$$b" ] && "$$b"; done

# Every libFuzzer target for about a minute each, in build-fuzz (FUZZ_SECONDS changes the time).
fuzz: deps
	@scripts/fuzz.sh

clean:
	rm -rf $(BUILD_DIR)
