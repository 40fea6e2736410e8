# Thin wrapper around CMake; see README.md.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: deps test-deps configure build run test bench package screenshot clean windows test-windows

# What building and running need; the tests add the WordPress stack.
deps:
	bash scripts/install-deps

test-deps:
	bash scripts/install-deps --test

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Only the program and its application folder: the tests and the benchmark wait for make test.
run: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target veltrano application_folder icons
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
	  echo "make run: no display here (neither DISPLAY nor WAYLAND_DISPLAY is set): start it from a desktop session; make test runs headless."; \
	  exit 1; fi
	./$(BUILD_DIR)/app/veltrano

test: test-deps build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: test-deps build
	bash bench/run

package: build
	cd $(BUILD_DIR) && cpack -G DEB

screenshot: test-deps build
	bash scripts/screenshot

# Windows x64, cross-built with MinGW-w64 against the SDK that scripts/build-windows-sdk builds
# once into the user's cache folder; the tests run under Wine.
WIN_BUILD_DIR ?= build-win
WIN_SDK = $(shell bash scripts/build-windows-sdk --path)

windows:
	bash scripts/install-deps --windows
	bash scripts/build-windows-sdk
	cmake -S . -B $(WIN_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(WIN_SDK)/lib/cmake/Qt6/qt.toolchain.cmake -DCMAKE_CROSSCOMPILING_EMULATOR=wine
	cmake --build $(WIN_BUILD_DIR) -j $(JOBS) --target veltrano windows_package

test-windows: windows test-deps build
	cmake --build $(WIN_BUILD_DIR) -j $(JOBS)
	bash tests/windows/run.sh $(WIN_BUILD_DIR) $(BUILD_DIR) $(WIN_SDK)

clean:
	rm -rf $(BUILD_DIR) $(WIN_BUILD_DIR)
