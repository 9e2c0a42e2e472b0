# Two commands for a new user: "make demo" and "make test".
BUILD ?= build
ASAN_BUILD ?= build-sanitize
EXAMPLE ?= l_alanine
JOBS ?= 2
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
PREFIX ?= /usr/local

.PHONY: all build demo test test-sanitize fuzz bench install clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# Runs the program on the bundled example in a scratch copy (it writes into its working directory).
demo:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQDL_TESTS=OFF
	cmake --build $(BUILD) -j $(JOBS) --target quandreltool
	rm -rf $(BUILD)/demo && mkdir -p $(BUILD)/demo && cp -r examples/$(EXAMPLE)/. $(BUILD)/demo/
	cd $(BUILD)/demo && ../quandreltool
	@echo "The example's output files are in $(BUILD)/demo/"

test:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQDL_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DQDL_SANITIZE=ON -DQDL_TESTS=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# Builds the fuzz targets with clang++ (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for FUZZ_SECONDS; fails when any of them finds a fault.
fuzz:
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQDL_FUZZ=ON -DQDL_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS) --target $$(ls bench/*.cpp 2>/dev/null | xargs -n1 basename | sed 's/\.cpp$$//')

# Puts the program into $(PREFIX)/bin and the docs into $(PREFIX)/share/doc/quandreltool.
install:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS) --target quandreltool
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
