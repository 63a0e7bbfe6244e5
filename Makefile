# One command each: `make test` installs what is missing, builds every target and runs
# every suite; `make demo` shows the windows on a demo database.
.PHONY: test build setup demo bench format clean

test:
	@scripts/test

build: setup
	@scripts/build

setup:
	@scripts/setup

bench:
	@scripts/bench

demo:
	@scripts/demo

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build demo-out
