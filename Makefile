# One command each: `make test` installs what is missing, builds every target and runs
# every suite; `make demo` shows the windows on a demo database.
.PHONY: test build setup demo format clean

test:
	@scripts/test

build: setup
	@scripts/build

setup:
	@scripts/setup

demo:
	@scripts/demo

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build demo-out
