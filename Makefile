# The two commands of the README are the contract:
#   make demo   builds everything, packs the example secondary setup and runs it under Wine
#   make test   builds everything and runs every test (host, sanitizers, Windows under Wine)
# Both install what is missing first (as root, from Debian's packages).

JOBS ?= 2
HOST := build/host
ASAN := build/host-asan
WIN32 := build/win32
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release
STUB := $(abspath $(WIN32)/bootstrap/setup.exe)
MAKEFLAGS += --no-print-directory

.PHONY: all deps build configure test demo bench fuzz clean

all: build

deps:
	@scripts/install-deps.sh

# Configuring again is cheap and keeps each build's settings current (the
# host builds embed the stub that the Windows build makes).
configure: deps
	cmake -S . -B $(WIN32) $(CMAKE_FLAGS) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
	cmake -S . -B $(HOST) $(CMAKE_FLAGS) -DKIV_STUB=$(STUB) >/dev/null
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DKIV_SANITIZE=ON -DKIV_STUB=$(STUB) >/dev/null

# The Windows build comes first: kivpack embeds the stub it makes.
build: configure
	cmake --build $(WIN32) -j$(JOBS) --target setup
	cp $(WIN32)/bootstrap/setup.exe $(WIN32)/setup.exe
	cmake --build $(HOST) -j$(JOBS) --target kivpack
	cp $(HOST)/tools/kivpack/kivpack $(HOST)/kivpack

test: configure
	cmake --build $(WIN32) -j$(JOBS)
	cp $(WIN32)/bootstrap/setup.exe $(WIN32)/setup.exe
	cmake --build $(HOST) -j$(JOBS)
	cmake --build $(ASAN) -j$(JOBS)
	scripts/run-tests.sh $(HOST) $(ASAN) $(WIN32)

demo: build
	cmake --build $(WIN32) -j$(JOBS) --target report_setup
	scripts/demo.sh

bench: build
	scripts/bench.sh

fuzz: deps
	scripts/fuzz.sh

clean:
	rm -rf build
