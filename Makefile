# One command each: `make test` installs what is missing, builds every target and runs
# every suite; `make demo` shows the windows on a demo database.
.PHONY: test build setup demo bench fuzz format tidy clean dist

test:
	@scripts/test

build: setup
	@scripts/build

setup:
	@scripts/setup

bench:
	@scripts/bench

# Every parser of outside data under libFuzzer, FUZZ_SECONDS (60) each.
fuzz: setup
	@scripts/fuzz

demo:
	@scripts/demo

# The release package for sites: dist/risview-<version>.zip.
dist: build
	@scripts/dist

# clang-tidy over the built targets, as `make test` runs it.
tidy: build
	@scripts/tidy

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build demo-out dist
