# Front door. `make test` is what CI runs.
PRESET ?= default
JOBS ?= $(shell nproc)

.PHONY: setup configure build test test-asan test-tsan bench format tidy clean

setup:
	bash scripts/setup.sh

configure: setup
	cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	ctest --preset $(PRESET) -j $(JOBS)

test-asan:
	$(MAKE) test PRESET=asan

test-tsan:
	$(MAKE) test PRESET=tsan

bench: build
	bash bench/run.sh

format:
	git ls-files '*.cpp' '*.h' '*.mm' | xargs clang-format -i

tidy: configure
	git ls-files 'MediaKeyEngine/*.cpp' | grep -v '/macos/' | xargs clang-tidy -p build/$(PRESET) --quiet

clean:
	rm -rf build
