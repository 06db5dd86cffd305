# The two commands: `make demo` and `make test`. Both install what is missing first.
# `make fuzz` runs every fuzz target of tests/fuzz for FUZZ_SECONDS each (`make test` for a few seconds).
# `make windows` cross-builds the Windows programs into build/windows (`make windows-i686`: the 32-bit
# ones into build/windows-i686); `make test` runs both Windows suites under Wine after the Linux ones.
JOBS ?= 2
FUZZ_SECONDS ?= 60

.PHONY: all setup build web test-web bench-web windows windows-i686 fonts install-fonts uninstall-fonts demo test test-dev \
  test-asan test-fuzz test-windows test-windows-i686 fuzz bench screenshots format clean \
  package install uninstall deb libreoffice

all: build

setup:
	@scripts/setup

build: setup
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS)

windows: setup
	cmake --preset windows >/dev/null
	cmake --build --preset windows -j $(JOBS)

# The converter in the browser (docs/web.md): the engine built by emscripten (preset web), the page, and the
# font kit of the dev build as web fonts, into build/web; serve it with python3 -m http.server -d build/web.
WEB = build/web

web: setup
	cmake --preset web >/dev/null
	cmake --build --preset web -j $(JOBS)
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS) --target fonts
	rm -rf $(WEB)
	mkdir -p $(WEB)/fonts
	cp web/index.html web/style.css web/*.mjs build/web-engine/web/tsendrel-engine.mjs \
	  build/web-engine/web/tsendrel-engine.wasm $(WEB)/
	/usr/bin/python3 web/make_web_fonts.py --kit build/dev/fonts --out $(WEB)/fonts
	@echo "The page is in $(WEB)/: python3 -m http.server -d $(WEB), then open http://localhost:8000/"

# The web build's tests (tests/web): the module against tarvex-cli of the dev build, and the page in
# headless chromium through playwright-core (locked in tests/web/package-lock.json).
test-web: web
	cmake --build --preset dev -j $(JOBS) --target tarvex-cli
	npm ci --prefix tests/web --no-audit --no-fund --loglevel=error
	node --test tests/web/

# The Python module tsendrel (docs/python.md), the release build, into build/python:
# PYTHONPATH=build/python /usr/bin/python3 -c "import tsendrel".
.PHONY: python
python: setup
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target tsendrel_python
	rm -rf build/python
	cp -r build/release/python build/python
	@echo "The module is in build/python/tsendrel: PYTHONPATH=build/python /usr/bin/python3 -c 'import tsendrel'"

# The font kit, made by the dev build, into build/fonts; installed for this user where fontconfig looks.
FONTS_DIR ?= $(HOME)/.local/share/fonts/tsendrel

fonts: build
	rm -rf build/fonts
	mkdir -p build/fonts
	cp build/dev/fonts/*.ttf build/dev/fonts/LICENCE-*.txt build/fonts/
	@echo "The font kit is in build/fonts/ ($$(ls build/fonts/*.ttf | wc -l) fonts)."

install-fonts: fonts
	mkdir -p "$(FONTS_DIR)"
	cp build/fonts/* "$(FONTS_DIR)/"
	fc-cache -f "$(FONTS_DIR)"
	@echo "Installed the font kit in $(FONTS_DIR)."

uninstall-fonts:
	rm -rf "$(FONTS_DIR)"
	fc-cache -f
	@echo "Removed $(FONTS_DIR)."

# Installing: the optimised programs of the package build (build/package, Debian's hardening flags) with
# the tables, manual pages, bash completion, desktop entry and the font kit, under PREFIX (into DESTDIR
# when set, for staging). `make uninstall` removes what the last `make install` installed, with the same
# DESTDIR. `make deb` packs the same files into the Debian packages tsendrel and fonts-tsendrel in
# build/deb/ (packaging/make-deb).
PREFIX ?= /usr/local
PACKAGE_BUILD = build/package
BUILDFLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
PACKAGE_FLAGS = -DCMAKE_CXX_FLAGS="$$($(BUILDFLAGS) CPPFLAGS) $$($(BUILDFLAGS) CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$$($(BUILDFLAGS) LDFLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$$($(BUILDFLAGS) LDFLAGS)"
# The Python module is a loadable module, linked with the module flags.
PACKAGE_FLAGS += -DCMAKE_MODULE_LINKER_FLAGS="$$($(BUILDFLAGS) LDFLAGS)"

package: setup
	cmake --preset package $(PACKAGE_FLAGS) >/dev/null
	cmake --build --preset package -j $(JOBS)

# The folders that installing creates are noted, so that uninstalling removes them again and no other.
FOLDERS = $(PACKAGE_BUILD)/install_folders.txt
install: package
	@find "$(DESTDIR)$(PREFIX)" -type d 2>/dev/null | LC_ALL=C sort >$(FOLDERS).before
	cmake --install $(PACKAGE_BUILD) --prefix "$(PREFIX)" --strip
	@find "$(DESTDIR)$(PREFIX)" -type d | LC_ALL=C sort | LC_ALL=C comm -13 $(FOLDERS).before - | \
	  cat - $$(ls $(FOLDERS) 2>/dev/null) | LC_ALL=C sort -u >$(FOLDERS).new && mv $(FOLDERS).new $(FOLDERS)
	@rm $(FOLDERS).before
	@if [ -z "$(DESTDIR)" ] && command -v fc-cache >/dev/null; then fc-cache "$(PREFIX)/share/fonts"; fi
	@echo "Installed Tsendrel under $(DESTDIR)$(PREFIX)."

# CMake's manifest lists the installed files without DESTDIR.
MANIFEST = $(PACKAGE_BUILD)/install_manifest.txt
uninstall:
	@test -f $(MANIFEST) || { echo "Nothing to uninstall: no make install was run." >&2; exit 1; }
	sed 's|^|$(DESTDIR)|' $(MANIFEST) | xargs -r -d '\n' rm -f
	@# Python writes its compiled files beside the module's once it is imported.
	@if [ -f $(FOLDERS) ]; then while read -r folder; do rm -rf "$$folder/__pycache__"; done <$(FOLDERS); fi
	@if [ -f $(FOLDERS) ]; then LC_ALL=C sort -r $(FOLDERS) | while read -r folder; do \
	  if [ -d "$$folder" ]; then rmdir --ignore-fail-on-non-empty "$$folder"; fi; done; rm $(FOLDERS); fi
	@if [ -z "$(DESTDIR)" ] && command -v fc-cache >/dev/null; then fc-cache "$(PREFIX)/share/fonts" 2>/dev/null || true; fi
	@echo "Removed the files listed in $(MANIFEST) from $(if $(DESTDIR),$(DESTDIR),/)."

deb: package
	packaging/make-deb $(PACKAGE_BUILD) build/deb

windows-i686: setup
	cmake --preset windows-i686 >/dev/null
	cmake --build --preset windows-i686 -j $(JOBS)

# The LibreOffice Writer extension (docs/libreoffice.md), from the optimised build, into build/libreoffice.
libreoffice: setup
	cmake --preset package $(PACKAGE_FLAGS) >/dev/null
	cmake --build --preset package -j $(JOBS) --target tsendrel_oxt
	mkdir -p build/libreoffice
	cp build/package/addin/writer/tsendrel.oxt build/libreoffice/
	@echo "The Writer extension is build/libreoffice/tsendrel.oxt: unopkg add build/libreoffice/tsendrel.oxt"

demo: package install-fonts libreoffice
	@scripts/demo

test: setup test-dev test-web test-asan test-fuzz test-windows test-windows-i686

# The packages' tests (tests/packaging) install and check the Debian packages that make deb leaves.
test-dev: deb
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS)
	ctest --test-dir build/dev --output-on-failure -j $(JOBS)

test-asan:
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir build/asan --output-on-failure -j $(JOBS)

test-fuzz:
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	ctest --preset fuzz -j $(JOBS)

fuzz: setup
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) ctest --preset fuzz -j $(JOBS) --timeout $$(( $(FUZZ_SECONDS) + 300 ))

# After test-dev: the Windows suites compare their outputs with the Linux build's. They run under one
# Wine server held from the first test to the last (see the build's wine-run): a server that each program
# started ended with the last one, and a program that connected as it ended failed at once (exit 1).
# Under load Wine now and then fails to start a test program at all (it fails at once with no output), as
# a full run of the 64-bit suite showed once on a unit test that passes every time alone: a test that
# fails is run once more.
WINE_CTEST = ctest --output-on-failure --repeat until-pass:2 -j $(JOBS)
wine_suite = { $(1)/wine-run --hold-server || echo "warning: no lasting Wine server: the tests run without it"; \
  $(WINE_CTEST) --test-dir $(1); status=$$?; $(1)/wine-run --end-server; exit $$status; }

test-windows: windows
	$(call wine_suite,build/windows)

# Without Wine's 32-bit half (which setup may fail to install while a mirror syncs), or on a kernel that
# runs no 32-bit programs (its loader then fails with "Exec format error"), the 32-bit suite cannot run:
# it says so and is skipped.
test-windows-i686: setup
	@if [ ! -x /usr/lib/wine/wine ]; then \
	  echo "test-windows-i686: SKIPPED: Wine's 32-bit half (wine32:i386) is not installed"; \
	elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then \
	  echo "test-windows-i686: SKIPPED: this kernel does not run 32-bit programs (Wine's 32-bit loader fails)"; \
	else \
	  cmake --preset windows-i686 >/dev/null && cmake --build --preset windows-i686 -j $(JOBS) && \
	  $(call wine_suite,build/windows-i686); \
	fi

bench: setup
	@scripts/bench
	@if [ -x /usr/bin/chromium ]; then $(MAKE) --no-print-directory bench-web; \
	else echo "bench-web: SKIPPED: no chromium (scripts/setup installs it)"; fi

# The engine in headless chromium against native tarvex-cli (the release build) on the Kangyur volume.
bench-web: web
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS) --target tarvex-cli
	npm ci --prefix tests/web --no-audit --no-fund --loglevel=error
	node bench/web_bench.mjs

screenshots: build
	@scripts/screenshots

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
