# The two everyday commands: `make run` and `make test`. Both install what is missing first.
BUILD_DIR ?= build

.PHONY: setup build run test bench bench-huge package clean

setup:
	bash scripts/setup

build: setup
	cmake -S . -B $(BUILD_DIR) -G Ninja
	cmake --build $(BUILD_DIR)

# The program works on the data of the folder it is started in; here that is data/ of the checkout.
run: build
	mkdir -p data
	cd data && ../$(BUILD_DIR)/app/tolva

test: build
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure

# The Debian package $(BUILD_DIR)/tolva_<version>_<arch>.deb, built by dpkg-buildpackage in a copy of the
# checkout under $(BUILD_DIR)/package (scripts/package); `sudo apt install ./build/tolva_*.deb` installs it.
package: setup
	TOLVA_PACKAGE_OUT=$(abspath $(BUILD_DIR)) bash scripts/package

# Generates the benchmark's data folders once (build/bench-data, build/bench-data-5000), then times the
# computations on each, then fails when a target was missed on either (TOLVA_BENCH_QUICK=1 skips the
# larger one). Between them, entering movements with the change log beside without it; on the larger
# one also every screen of the main menu, from the click to shown; last, four clerks entering
# movements beside a summary, on a private PostgreSQL cluster in $(BUILD_DIR)/bench-pg.
bench: build
	test -f $(BUILD_DIR)/bench-data/tolva.db || $(BUILD_DIR)/bench/tolva_bench generate $(BUILD_DIR)/bench-data
	missed=0; \
	$(BUILD_DIR)/bench/tolva_bench run $(BUILD_DIR)/bench-data || missed=1; \
	$(BUILD_DIR)/bench/tolva_log_bench || missed=1; \
	if [ -z "$$TOLVA_BENCH_QUICK" ]; then \
	    test -f $(BUILD_DIR)/bench-data-5000/tolva.db || \
	        $(BUILD_DIR)/bench/tolva_bench generate $(BUILD_DIR)/bench-data-5000 5000 200 20000; \
	    $(BUILD_DIR)/bench/tolva_bench run $(BUILD_DIR)/bench-data-5000 || missed=1; \
	    $(BUILD_DIR)/bench/tolva_windows_bench $(BUILD_DIR)/bench-data-5000 || missed=1; \
	fi; \
	bash scripts/pgcluster start $(BUILD_DIR)/bench-pg; \
	$(BUILD_DIR)/bench/tolva_clerks_bench "$$(cat $(BUILD_DIR)/bench-pg/address)" || missed=1; \
	bash scripts/pgcluster stop $(BUILD_DIR)/bench-pg; \
	exit $$missed

# A ledger of 50,000 contracts and 10,000,000 movements (build/bench-data-huge, about 1 GB, generated
# once): the rebuild, the stock and the summaries on it, in bounded memory. Not part of `make bench`.
bench-huge: build
	test -f $(BUILD_DIR)/bench-data-huge/tolva.db || \
	    $(BUILD_DIR)/bench/tolva_bench generate $(BUILD_DIR)/bench-data-huge 50000 200 20000
	TOLVA_BENCH_ONLY=ledger $(BUILD_DIR)/bench/tolva_bench run $(BUILD_DIR)/bench-data-huge

clean:
	rm -rf $(BUILD_DIR)
