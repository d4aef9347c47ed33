# Front door. `make test` is what CI runs.
PRESET ?= default
JOBS ?= $(shell nproc)

.PHONY: setup configure build test test-asan test-tsan bench format tidy clean demo run package

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
	git ls-files 'MediaKeyEngine/*.cpp' | grep -v '/macos/' | xargs clang-tidy -p build/$(PRESET) --quiet --extra-arg-before=-Wno-unknown-warning-option

clean:
	rm -rf build

# Tonvara for real on a private Xvfb, session bus and tray, with mpv playing a tone; the report
# is printed and the screenshots land in demo-output/. Needs no display or session beforehand.
demo: configure
	cmake --build --preset $(PRESET) -j $(JOBS) --target tonvara tonvara-demo
	build/$(PRESET)/demo/tonvara-demo build/$(PRESET)/app/tonvara demo-output

# Tonvara on your own desktop (X11), in the tray.
run: configure
	cmake --build --preset $(PRESET) -j $(JOBS) --target tonvara
	build/$(PRESET)/app/tonvara

# A Debian package in build/$(PRESET)/: install it with `sudo apt-get install ./tonvara_*.deb`.
package: configure
	cmake --build --preset $(PRESET) -j $(JOBS) --target tonvara tonvara-key
	cd build/$(PRESET) && cpack
