# Kuronel: build, run and test.
#   make run    install what is missing, build, start the program here
#   make test   install what is missing, build, run every test
#   make test-asan   the tests again under AddressSanitizer and UBSan
#   make fuzz   build the fuzz targets with clang and run each FUZZ_SECONDS in turn
#   make lint   clang-tidy over every source with the checks of .clang-tidy
#   make format lay every C++ file out by .clang-format (format-check: only
#               tell, and fail on the first difference)
#   make stress the kill tests at full length (2,000 kills of moves, 2,000 of
#               a settings save), every injected system-call fault and 500
#               power cuts
#   make install     the programs, desktop entry, icons, AppStream metadata,
#                    manual pages and documentation under PREFIX (/usr/local);
#                    DESTDIR is honoured
#   make uninstall   removes exactly the files the last make install put there
#   make deb         the Debian package kuronel_VERSION_ARCH.deb, here
#   make screenshots the pictures of the windows in docs/, on a virtual X display
#   make icons       renders desktop/kuronel.svg into the PNG icons again

# Debian packages the build and the tests need (the window tests give input
# to the window system's queue through Qt's private headers; make deb and its
# tests need dpkg-dev, lintian and appstream).
PACKAGES := g++ make cmake ninja-build pkg-config qt6-base-dev qt6-base-private-dev qt6-qpa-plugins libgl-dev libxxhash-dev libc-l10n \
            libgtest-dev libgmock-dev libbenchmark-dev fonts-ipafont-gothic \
            desktop-file-utils groff-base dpkg-dev lintian appstream \
            e2fsprogs xfsprogs btrfs-progs exfatprogs exfat-fuse dosfstools fusefat \
            ntfs-3g fuse3 libfuse3-dev mount
# Extra packages for the fuzzer.
FUZZ_PACKAGES := clang-14 libclang-rt-14-dev
# Extra packages for the side-by-side benchmarks.
BENCH_PACKAGES := hyperfine libimage-exiftool-perl jhead exiv2 time
# Extra packages for make screenshots: a virtual X server and a window
# manager, whose title bars show the windows' titles, and a browser for the
# picture of the user's guide.
SCREENSHOT_PACKAGES := xvfb xauth openbox x11-utils chromium
# Extra packages for make lint: the static analyser.
LINT_PACKAGES := clang-tidy
# Extra packages for make format-check: the formatter.
FORMAT_PACKAGES := clang-format
# Extra packages for make icons: the SVG renderer.
ICON_PACKAGES := librsvg2-bin

BUILD_DIR ?= build
ASAN_BUILD_DIR ?= build-asan
FUZZ_BUILD_DIR ?= build-fuzz
FUZZ_SECONDS ?= 300
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

PREFIX ?= /usr/local

.PHONY: all deps build run test test-asan stress fuzz lint format format-check bench-deps clean install uninstall deb screenshots icons

all: build

# Installs only the packages that dpkg does not report as installed; when
# nothing is missing apt is not touched at all.
define install_missing
	@missing=""; \
	for p in $(1); do \
	  dpkg-query -W -f='$${Status}' "$$p" 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:$$missing"; \
	  if [ "$$(id -u)" = 0 ]; then SUDO=""; \
	  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then SUDO="sudo"; \
	  else echo "Cannot install packages: run as root:"; \
	       echo "  apt-get update && apt-get install -y$$missing"; exit 1; fi; \
	  $$SUDO apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends$$missing; \
	fi
endef

deps:
	$(call install_missing,$(PACKAGES))

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DKURONEL_WERROR=ON

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "kuronel needs a display: neither DISPLAY nor WAYLAND_DISPLAY is set (try: xvfb-run make run)"; \
	  exit 1; fi
	$(BUILD_DIR)/ui/kuronel

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKURONEL_SANITIZE=ON
	cmake --build $(ASAN_BUILD_DIR) -j $(JOBS)
	cd $(ASAN_BUILD_DIR) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# make test kills 100 moves of each kind, 15 onto each of an exFAT and an
# NTFS drive and 200 settings saves; this kills STRESS_KILLS moves of each
# kind, STRESS_DRIVE_KILLS onto each drive and twice STRESS_KILLS settings
# saves.
STRESS_KILLS ?= 1000
STRESS_DRIVE_KILLS ?= 200
# Power cuts at random moments of copies and moves on the power-cut drive
# (make test: 34 cuts, after each photo's steps and five at random).
STRESS_POWER_CUTS ?= 500
stress: build
	KURONEL_KILLS=$(STRESS_KILLS) KURONEL_DRIVE_KILLS=$(STRESS_DRIVE_KILLS) \
	  $(BUILD_DIR)/tools/kill_test
	KURONEL_KILLS=$$((2 * $(STRESS_KILLS))) $(BUILD_DIR)/settings/settings_kill_test
	$(BUILD_DIR)/processing/plan_fault_test
	KURONEL_POWER_CUTS=$(STRESS_POWER_CUTS) $(BUILD_DIR)/tools/power_cut_test

fuzz: deps
	$(call install_missing,$(FUZZ_PACKAGES))
	cmake -S fuzz -B $(FUZZ_BUILD_DIR) -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD_DIR) -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run_fuzzer.sh $(FUZZ_BUILD_DIR)

# clang-tidy with the checks of .clang-tidy over the program, the tools and
# the test helpers; any finding fails. The tests themselves, the benchmarks
# and the fuzz targets favour plain code over the performance checks.
lint: build
	$(call install_missing,$(LINT_PACKAGES))
	git ls-files '*.cpp' | grep -v -e '_test\.cpp$$' -e '^bench/' -e '^fuzz/' | \
	  xargs -P $(JOBS) -n 8 clang-tidy -p $(BUILD_DIR) --quiet

# Every C++ file of the repository as .clang-format lays it out: format-check
# fails on the first difference, format rewrites the files.
format:
	$(call install_missing,$(FORMAT_PACKAGES))
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	$(call install_missing,$(FORMAT_PACKAGES))
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

bench-deps: deps
	$(call install_missing,$(BENCH_PACKAGES))

# Times kuronel-batch side by side with jhead, exiv2, exiftool and cp on a
# synthetic card of BENCH_FILES files (scratch space under /tmp), with the
# files in the cache and, as root, on cold exFAT and ext4 drives of the test
# rig (BENCH_PARTS=warm or cold runs one part; see bench/compare.sh).
BENCH_FILES ?= 10000
.PHONY: bench
bench: build bench-deps
	KURONEL_BUILD=$(abspath $(BUILD_DIR)) bench/compare.sh $(BENCH_FILES)

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

uninstall:
	DESTDIR="$(DESTDIR)" sh desktop/uninstall.sh $(BUILD_DIR)/install_manifest.txt

# The Debian package of the build, with CPack (staged in $(BUILD_DIR)/package),
# copied here: install it with apt install ./kuronel_VERSION_ARCH.deb.
deb: build
	@deb=$$(sh packaging/build_deb.sh $(BUILD_DIR) $(BUILD_DIR)/package) && \
	  cp "$$deb" . && echo "built $$(basename "$$deb")"

# The windows on a real X server (Xvfb), framed by a window manager whose
# title bars show their titles, with the program's font and style, saved over
# the pictures in docs/, and the first page of the user's guide as a browser
# shows it (docs/guide.png). The demo card goes under /var/tmp, below "/" in
# the folder picker.
screenshots: build
	$(call install_missing,$(SCREENSHOT_PACKAGES))
	xvfb-run -a -s "-screen 0 1280x1024x24" sh ui/screenshots_on_openbox.sh \
	  $(BUILD_DIR)/ui/kuronel-screenshot-tour docs
	chromium --headless --no-sandbox --disable-gpu --hide-scrollbars \
	  --window-size=1000,1300 --screenshot=$(abspath docs/guide.png) \
	  file://$(abspath docs/guide.html)

icons:
	$(call install_missing,$(ICON_PACKAGES))
	desktop/make_icons.sh

clean:
	rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR) $(FUZZ_BUILD_DIR)
