# Thin wrapper around CMake; see README.md.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: deps test-deps configure build run test bench package screenshot clean

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
	./$(BUILD_DIR)/app/veltrano

test: test-deps build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: test-deps build
	bash bench/run

package: build
	cd $(BUILD_DIR) && cpack -G DEB

screenshot: test-deps build
	bash scripts/screenshot

clean:
	rm -rf $(BUILD_DIR)
