# make run  - build Pinnote and start it
# make test - build Pinnote and run every test
# Both install the Debian packages they need first, when any is missing.

BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
# WERROR=ON makes every compiler warning an error (CI builds so).
WERROR ?= OFF

PACKAGES := cmake ninja-build g++ make pkg-config \
	qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-qpa-plugins \
	libbenchmark-dev \
	fonts-dejavu-core fonts-dejavu-extra fonts-urw-base35 \
	xvfb xauth xdotool x11-utils openbox imagemagick
PACKAGES += desktop-file-utils appstream man-db groff-base
PACKAGES += unrtf
PACKAGES += cups cups-client poppler-utils
PACKAGES += syncthing

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
# env, so that sudo does not drop the setting.
APT := $(SUDO) env DEBIAN_FRONTEND=noninteractive apt-get

.PHONY: all deps configure build run test bench install clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
		echo "Installing:$$missing"; \
		$(APT) update && \
		$(APT) install -y --no-install-recommends $$missing; \
	fi

configure: deps
	@if [ ! -f $(BUILD_DIR)/build.ninja ]; then \
		cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DPINNOTE_WERROR=$(WERROR); \
	fi

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/pinnote

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

bench: build
	@for b in $$(find $(BUILD_DIR)/bench -maxdepth 1 -type f -perm -u+x -name 'bench_*' | sort); do \
		echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b || exit 1; \
	done

clean:
	rm -rf $(BUILD_DIR)
