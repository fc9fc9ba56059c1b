BUILD ?= build
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps deps-run deps-bench deps-web configure build build-program build-bench run test bench bench-web screenshots format clean soak install package win32 test-win32 web web-build web-site test-web

all: build

# What each use needs, and no more: running the program needs neither the tests' tools nor Wine.
deps:
	@./scripts/install-deps.sh test
deps-run:
	@./scripts/install-deps.sh run
deps-bench:
	@./scripts/install-deps.sh bench
deps-web:
	@./scripts/install-deps.sh web

# A tree configured by make run leaves the tests out; the test set turns them on again.
configure: deps
	@if [ ! -f $(BUILD)/build.ninja ] || ! grep -q '^TAPIRUN_TESTS:BOOL=ON' $(BUILD)/CMakeCache.txt; then \
		cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) -DTAPIRUN_TESTS=ON; fi

build: configure
	cmake --build $(BUILD)

build-program: deps-run
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) -DTAPIRUN_TESTS=OFF
	cmake --build $(BUILD) --target tapirun

run: build-program
	./$(BUILD)/tapirun

# The benchmark's builds leave the tests out, so that make bench installs no package only the tests
# need; a tree configured here gets its tests back from configure or web-build.
build-bench: deps-bench
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) -DTAPIRUN_TESTS=OFF
	cmake --build $(BUILD) --target tapirun tapirun_keylatency

# Two at a time: each test has its own display, ports and scratch folder; the few that share something
# (the Wine session, the package database, the desktops' heavy sessions) take turns by a lock.
# Checks of the tests themselves carry the label on-demand: ctest -L on-demand runs them.
CTEST = ctest -j2 --output-on-failure --timeout 300 -LE on-demand

# The three builds' tests run as one set, so that what must run alone in one (a desktop session, a
# second browser, the Wine session) runs beside the others' tests rather than after them.
TESTS_DIR ?= build-tests

test: build win32 web-build
	@mkdir -p $(TESTS_DIR)
	@printf 'subdirs("%s" "%s" "%s")\n' $(abspath $(BUILD)) $(abspath $(WIN32_BUILD)) $(WEB_BUILD) \
		> $(TESTS_DIR)/CTestTestfile.cmake
	cd $(TESTS_DIR) && $(EMSDK_ENV) $(CTEST)

# The Windows program, cross-built with MinGW-w64 and tested under Wine on its own Xvfb display.
WIN32_BUILD ?= build-win32

$(WIN32_BUILD)/build.ninja: | deps
	cmake -S . -B $(WIN32_BUILD) -G Ninja $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake

win32: deps $(WIN32_BUILD)/build.ninja
	cmake --build $(WIN32_BUILD)

test-win32: win32
	cd $(WIN32_BUILD) && $(CTEST)

# The browser program, built as WebAssembly with Emscripten into $(WEB_BUILD)/site/ and served on
# 127.0.0.1; its tests run in headless Chromium and in a Chromium kiosk on Xvfb.
WEB_BUILD ?= $(abspath build-web)
EMSDK_ENV = NODE_PATH=/usr/share/nodejs

web-build: deps-web
	@if [ ! -f $(WEB_BUILD)/build.ninja ] || ! grep -q '^TAPIRUN_TESTS:BOOL=ON' $(WEB_BUILD)/CMakeCache.txt; then \
		$(EMSDK_ENV) emcmake cmake -S . -B $(WEB_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAPIRUN_TESTS=ON; fi
	$(EMSDK_ENV) cmake --build $(WEB_BUILD)

web-site: deps-bench
	@[ -f $(WEB_BUILD)/build.ninja ] || $(EMSDK_ENV) emcmake cmake -S . -B $(WEB_BUILD) -G Ninja \
		-DCMAKE_BUILD_TYPE=Release -DTAPIRUN_TESTS=OFF
	$(EMSDK_ENV) cmake --build $(WEB_BUILD) --target tapirun_site

web: web-build
	/usr/bin/python3 scripts/serve-web.py $(WEB_BUILD)/site

test-web: deps web-build
	cd $(WEB_BUILD) && $(EMSDK_ENV) $(CTEST)

# GNU layout under PREFIX; DESTDIR stages the tree elsewhere, as packagers do.
PREFIX ?= /usr/local

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# The Debian package, into $(BUILD): tapirun_<version>_<arch>.deb.
package: build
	cd $(BUILD) && cpack -G DEB

# The soak builds apart, with AddressSanitizer and UndefinedBehaviorSanitizer in our own code.
ASAN_BUILD ?= build-asan
SANITIZERS = -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all

$(ASAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja $(CMAKE_FLAGS) "-DCMAKE_CXX_FLAGS=$(SANITIZERS)" \
		"-DCMAKE_EXE_LINKER_FLAGS=$(SANITIZERS)"

soak: build $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) --target form_tests drill_tests
	./scripts/soak.sh $(ASAN_BUILD) $(BUILD)

bench: build-bench web-site
	./scripts/bench.sh $(BUILD)/tapirun $(WEB_BUILD)/site

# The browser's part alone: the page beside the floor page in both engines, first paint, first visit.
bench-web: deps-bench web-site
	mkdir -p $(WEB_BUILD)/bench-results
	./scripts/bench-web.sh $(WEB_BUILD)/site $(WEB_BUILD)/bench-results | tee $(WEB_BUILD)/bench-results/summary.txt

screenshots: build
	./scripts/screenshots.sh $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(WIN32_BUILD) $(WEB_BUILD) $(TESTS_DIR)
