# Thin wrapper over CMake; every target installs what is missing first.
BUILD   ?= build
ASAN    ?= build-asan
CMAKE_FLAGS ?=
EXAMPLE ?= examples/index.html

.PHONY: all deps configure build run test asan bench format clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: deps $(BUILD)/build.ninja
	@cmake --build $(BUILD)

run: build
	@echo '$$ mlinsight schema-file -- "-//W3C//DTD HTML 4.01//EN"'
	@$(BUILD)/bin/mlinsight schema-file -- "-//W3C//DTD HTML 4.01//EN"
	@echo '$$ mlinsight chunks $(EXAMPLE)'
	@$(BUILD)/bin/mlinsight chunks $(EXAMPLE)
	@echo '$$ mlinsight caret $(EXAMPLE) 10:19 --json'
	@$(BUILD)/bin/mlinsight caret $(EXAMPLE) 10:19 --json

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j2

$(ASAN)/build.ninja: | deps
	@cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMLINSIGHT_SANITIZE=ON $(CMAKE_FLAGS) >/dev/null

asan: deps $(ASAN)/build.ninja
	@cmake --build $(ASAN)
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN) --output-on-failure -j2

bench: build
	@$(BUILD)/bin/tag_filter_bench
	@$(BUILD)/bin/parser_bench
	@$(BUILD)/bin/dtd_load_bench

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(ASAN)
