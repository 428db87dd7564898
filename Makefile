# SPDX-License-Identifier: GPL-3.0-or-later
# Entry points for people and CI. `make run` builds and starts the program, `make test` builds
# and runs every test headless; both first install the Debian packages they need.

BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZR_WERROR=ON

.PHONY: all deps configure build run test sanitize package bench screenshot fuzz clean

all: build

deps:
	@scripts/deps.sh

configure: deps
	@test -f $(BUILD)/build.ninja || cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/src/ui/zentarel-renamer

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (every finding fatal) in
# a build folder of its own and runs every test there.
sanitize:
	@scripts/deps.sh libasan8 libubsan1
	@test -f $(BUILD)-sanitize/build.ninja || cmake -S . -B $(BUILD)-sanitize -G Ninja \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZR_WERROR=ON -DZR_SANITIZE=ON -DZR_BUILD_BENCH=OFF
	cmake --build $(BUILD)-sanitize -j $(JOBS)
	cd $(BUILD)-sanitize && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The Debian package of both programs, in $(BUILD)/.
package: build
	cd $(BUILD) && cpack -G DEB

# The slow file system benchmark needs libfuse3, which nothing else needs: installed here, and
# the build configured again so that it finds it.
bench: configure
	@scripts/deps.sh libfuse3-dev fuse3 rename
	cmake $(BUILD) > /dev/null
	cmake --build $(BUILD) -j $(JOBS)
	scripts/run-benchmarks.sh $(BUILD)

# Scans a small sample tree in the window under Xvfb, with the desktop's font at 9, 12 and 16
# points, and saves docs/screenshot.png, docs/screenshot-12pt.png and docs/screenshot-16pt.png;
# then, with rules of "More rules" on, docs/screenshot-rules-on.png and docs/more-rules.png.
screenshot: build
	@scripts/deps.sh xvfb xdotool imagemagick
	scripts/screenshot.sh $(BUILD) docs

# Runs the fuzz targets for FUZZ_SECONDS each (clang with libFuzzer and sanitizers).
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/deps.sh clang libclang-rt-14-dev
	@test -f $(BUILD)-fuzz/build.ninja || cmake -S . -B $(BUILD)-fuzz -G Ninja \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DZR_FUZZ=ON -DZR_BUILD_UI=OFF
	cmake --build $(BUILD)-fuzz -j $(JOBS) --target fuzz_targets
	scripts/run-fuzz.sh $(BUILD)-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(BUILD)-fuzz $(BUILD)-sanitize
