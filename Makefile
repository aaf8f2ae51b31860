# The two commands of the README, and a few for developers.
#   make run   installs what is missing, builds a release binary, starts it
#   make test  installs what is missing, builds, runs every test
SHELL := /bin/bash
NUCLEOS := $(shell nproc 2>/dev/null || echo 2)

CONSTRUCAO := build
CONSTRUCAO_RUN := build-release
CMAKE_COMUM := -G Ninja -DLJSN_TESTES=ON

.PHONY: run install pacote test test-asan test-tsan bench fuzz construir dependencias dependencias-testes formatar limpar

dependencias:
	@scripts/instalar-dependencias.sh construir

dependencias-testes:
	@scripts/instalar-dependencias.sh testes
	@if [ ! -d tests/e2e/node_modules/playwright-core ] && [ -f tests/e2e/package-lock.json ]; then \
		cd tests/e2e && npm ci --no-audit --no-fund --loglevel=error; fi

run: dependencias
	@cmake -S . -B $(CONSTRUCAO_RUN) -G Ninja -DCMAKE_BUILD_TYPE=Release -DLJSN_TESTES=OFF >/dev/null
	@cmake --build $(CONSTRUCAO_RUN) -j $(NUCLEOS)
	@if [ -z "$$DISPLAY$$WAYLAND_DISPLAY" ]; then echo "Sem tela: rodando sem janela."; fi
	$(CONSTRUCAO_RUN)/lojasonorante /tocarpausar $(ARGS)

# Installs the programs, the menu entry and the icon under PREFIX.
PREFIX ?= /usr/local
install: dependencias
	@cmake -S . -B $(CONSTRUCAO_RUN) -G Ninja -DCMAKE_BUILD_TYPE=Release -DLJSN_TESTES=OFF \
		-DCMAKE_INSTALL_PREFIX=$(PREFIX) >/dev/null
	@cmake --build $(CONSTRUCAO_RUN) -j $(NUCLEOS)
	@cmake --install $(CONSTRUCAO_RUN)

# A Debian package (build-release/lojasonorante_VERSION_ARCH.deb).
pacote: dependencias
	@cmake -S . -B $(CONSTRUCAO_RUN) -G Ninja -DCMAKE_BUILD_TYPE=Release -DLJSN_TESTES=OFF \
		-DCMAKE_INSTALL_PREFIX=/usr >/dev/null
	@cmake --build $(CONSTRUCAO_RUN) -j $(NUCLEOS)
	@cd $(CONSTRUCAO_RUN) && cpack -G DEB
	@ls $(CONSTRUCAO_RUN)/*.deb

construir: dependencias-testes
	@cmake -S . -B $(CONSTRUCAO) $(CMAKE_COMUM) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DLJSN_WERROR=ON -DLJSN_ASSERT_FATAL=ON >/dev/null
	@cmake --build $(CONSTRUCAO) -j $(NUCLEOS)

test: construir
	@cd $(CONSTRUCAO) && ctest --output-on-failure -j $(NUCLEOS) --timeout 600

test-asan: dependencias-testes
	@cmake -S . -B build-asan $(CMAKE_COMUM) -DCMAKE_BUILD_TYPE=Debug -DLJSN_ASSERT_FATAL=ON \
		-DLJSN_SANITIZE=address,undefined >/dev/null
	@cmake --build build-asan -j $(NUCLEOS)
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
		ctest --output-on-failure -j $(NUCLEOS) --timeout 900 -E 'formatacao|camadas'

test-tsan: dependencias-testes
	@cmake -S . -B build-tsan $(CMAKE_COMUM) -DCMAKE_BUILD_TYPE=Debug -DLJSN_ASSERT_FATAL=ON \
		-DLJSN_SANITIZE=thread >/dev/null
	@cmake --build build-tsan -j $(NUCLEOS)
	@cd build-tsan && TSAN_OPTIONS="halt_on_error=1 suppressions=$(CURDIR)/tools/tsan.supp" \
		ctest --output-on-failure -j $(NUCLEOS) --timeout 900 -E 'formatacao|camadas'

bench: dependencias-testes
	@cmake -S . -B build-bench $(CMAKE_COMUM) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build-bench -j $(NUCLEOS)
	@bench/rodar.sh build-bench

formatar:
	@find src tests bench tools -name '*.h' -o -name '*.cpp' | xargs clang-format -i

limpar:
	rm -rf build build-release build-asan build-tsan build-bench build-fuzz

# libFuzzer on every fuzz target for FUZZ_SEGUNDOS each (clang, ASan+UBSan).
FUZZ_SEGUNDOS ?= 600
fuzz: dependencias-testes
	@cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DLJSN_FUZZ=ON -DLJSN_SANITIZE=address,undefined \
		-DLJSN_ASSERT_FATAL=ON >/dev/null
	@cmake --build build-fuzz -j $(NUCLEOS) --target fuzz_alvos
	@tools/rodar_fuzz.sh build-fuzz $(FUZZ_SEGUNDOS) $(ALVOS)
