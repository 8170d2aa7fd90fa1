# Two entry points: `make demo` and `make test`. Everything else is a helper.
BUILD   := build
NATIVE  := $(BUILD)/native
TSAN    := $(BUILD)/tsan
WIN     := $(BUILD)/win
JOBS    ?= $(shell nproc)

.PHONY: all deps native tsan win test test-native test-wine demo bench clean

all: native win

deps:
	@scripts/deps

native: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j$(JOBS)

tsan: deps
	@cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=Debug -DTHREAD_SANITIZER=ON >/dev/null
	@cmake --build $(TSAN) -j$(JOBS)

win: deps
	@cmake -S . -B $(WIN) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
	@cmake --build $(WIN) -j$(JOBS)

test-native: native tsan
	@cd $(NATIVE) && ctest --output-on-failure -j$(JOBS)
	@cd $(TSAN) && ctest --output-on-failure -j$(JOBS)

test-wine: win
	@scripts/bench run -- ctest --test-dir $(WIN) --output-on-failure

test: test-native test-wine

demo: win
	@scripts/demo

bench: win
	@scripts/bench run -- bench/run-all

clean:
	rm -rf $(NATIVE) $(TSAN) $(WIN) $(BUILD)/program
