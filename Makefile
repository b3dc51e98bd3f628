# Thin wrapper over CMake; every target installs what is missing first.
BUILD   ?= build
ASAN    ?= build-asan
FUZZ    ?= build-fuzz
FUZZ_SECONDS ?= 20
CMAKE_FLAGS ?=
EXAMPLE ?= examples/index.html

.PHONY: all deps configure build run test asan bench fuzz format clean css-schema named-colors conformance

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: deps $(BUILD)/build.ninja
	@cmake --build $(BUILD)

run: build
	@echo '$$ mlinsight complete $(EXAMPLE) 23:56       # inside <table>'
	@$(BUILD)/bin/mlinsight complete $(EXAMPLE) 23:56
	@echo; echo '$$ mlinsight complete examples/typing.html 6:22 --accept href      # attributes of <a '
	@$(BUILD)/bin/mlinsight complete examples/typing.html 6:22 --accept href | tail -4
	@echo; echo '$$ mlinsight complete $(EXAMPLE) 41:22 --accept password    # values of <input type='
	@$(BUILD)/bin/mlinsight complete $(EXAMPLE) 41:22 --accept password
	@echo; echo "$$ mlinsight complete $(EXAMPLE) 24:16 --type '&' --filter md --accept mdash"
	@$(BUILD)/bin/mlinsight complete $(EXAMPLE) 24:16 --type '&' --filter md --accept mdash
	@echo; echo "$$ mlinsight complete examples/typing.html 7:7 --type '>'      # closing tag after >"
	@$(BUILD)/bin/mlinsight complete examples/typing.html 7:7 --type '>'
	@echo; echo '$$ mlinsight complete examples/contact.html 11:6 --accept br --write; ... 11:9 --type ">"   # XHTML'
	@cp examples/contact.html $(BUILD)/contact.html
	@$(BUILD)/bin/mlinsight complete $(BUILD)/contact.html 11:6 --accept br --write | tail -2
	@$(BUILD)/bin/mlinsight complete $(BUILD)/contact.html 11:9 --type '>' --write
	@echo; echo '$$ mlinsight complete examples/style/typing.css 2:7      # properties after a { co'
	@$(BUILD)/bin/mlinsight complete examples/style/typing.css 2:7 | head -6
	@echo; echo '$$ mlinsight complete examples/style/typing.css 3:14 --accept block      # values of display'
	@$(BUILD)/bin/mlinsight complete examples/style/typing.css 3:14 --accept block | sed -n '1,4p;/accepted/,$$p'
	@echo; echo '$$ mlinsight complete examples/style/typing.css 4:14 --accept length... --answer unit=12,px'
	@$(BUILD)/bin/mlinsight complete examples/style/typing.css 4:14 --accept length... --answer unit=12,px | tail -2

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
	@$(BUILD)/bin/completion_bench
	@$(BUILD)/bin/css_scanner_bench
	@$(BUILD)/bin/css_parser_bench
	@$(BUILD)/bin/lsp_bench
	@$(BUILD)/bin/check_bench

# The fuzz drivers under the sanitizers: random pages, style sheets and server messages.
$(FUZZ)/build.ninja: | deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMLINSIGHT_LIBFUZZER=ON $(CMAKE_FLAGS) >/dev/null

# Coverage-guided fuzzing (libFuzzer, ASan, UBSan): each target for FUZZ_SECONDS.
# mlinsight check beside OpenSP, xmllint and the Nu Html Checker (outside make test).
conformance: build
	@scripts/install-deps.sh --conformance
	@cd tools/conformance && npm ci --no-audit --no-fund >/dev/null
	@scripts/conformance.py $(BUILD) --vnu tools/conformance/node_modules/vnu-jar/build/dist/vnu.jar

fuzz: deps $(FUZZ)/build.ninja
	@cmake --build $(FUZZ) --target fuzz_markup_parser fuzz_css_parser fuzz_dtd_reader fuzz_xsd_reader fuzz_lsp_server
	@scripts/fuzz.sh $(FUZZ) $(FUZZ_SECONDS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf $(BUILD) $(ASAN)

# Regenerates schemas/css.xml from the @webref/css (and @vscode/web-custom-data) versions pinned in
# tools/package.json (and its lock file); needs Node.js and the npm registry.
css-schema:
	@cd tools && npm ci --silent --no-audit --no-fund
	@node tools/gen-css-schema.mjs tools/node_modules/@webref/css schemas/css.xml \
	  tools/node_modules/@vscode/web-custom-data

# Regenerates lsp/LspNamedColors.h from the color-name version pinned in tools/package.json.
named-colors:
	@cd tools && npm ci --silent --no-audit --no-fund
	@node tools/gen-named-colors.mjs $(CURDIR)/tools/node_modules/color-name lsp/LspNamedColors.h
