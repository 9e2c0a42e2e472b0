#!/usr/bin/env bash
# Runs every fuzz target for a bounded time: fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
# Each target starts from its seeds (files of tests/data and examples; for fuzz_cif also the
# CIFs of ../shared/fixtures, for fuzz_shelx its SHELX files and for fuzz_slater the Slater
# tables of ../shared/wavefunctions, when that folder is there; and the regression
# inputs under tests/data/regressions/<target>) and keeps what it finds in
# BUILD_DIR/corpus/<target>. A crash, leak, sanitizer report or hang fails the run; the
# input that caused it is left in BUILD_DIR/artifacts/<target>/.
set -uo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:?build directory}" && pwd)
seconds=${2:-30}
shift 2 || true

# Seed files of each target: find expressions over tests/data and examples.
seeds_of() {
  case "$1" in
    fuzz_settings) find tests/data examples -name 'qdltool.ini' -o -name 'example4qdltool.ini' ;;
    fuzz_xdmas) find tests/data examples -name 'xd.mas' -o -name '*.mas' ;;
    fuzz_masfile) find tests/data examples -name 'xd.mas' -o -name '*.mas' ;;
    fuzz_xdres|fuzz_pipeline) find tests/data examples -name 'xd.res' -o -name 'xd.inp' ;;
    fuzz_partaux) find tests/data examples -name 'xd_part.aux' ;;
    fuzz_database) find tests/data examples -name 'DABA*.txt' ;;
    fuzz_overrides) find tests/data examples -name 'Quandrele.in*' ;;
    fuzz_charges) find tests/data examples -name 'Molecule-Charges.in*' ;;
    fuzz_mopro) find tests/data examples -name '*.01' ;;
    fuzz_moprotab) find tests/data examples -name 'mopro.tab' ;;
    fuzz_shelx) find tests/data/shelx -name '*.res' -o -name '*.ins'
                # the real SHELX files beside the checkout, read from there, never copied into the repository
                [ -d ../shared/fixtures/shelx ] && find ../shared/fixtures/shelx -name '*.res' ;;
    fuzz_slater) find tests/data -name '*.slater'
                 # the published tables beside the checkout, read from there, never copied into the repository
                 [ -d ../shared/wavefunctions/neutral ] && find ../shared/wavefunctions/neutral -name '*.slater' ;;
    fuzz_hkl) find tests/data -name '*.hkl'
              # the real reflection file beside the checkout, read from there, never copied into the repository
              [ -d ../shared/fixtures/structure-factors ] && find ../shared/fixtures/structure-factors -name '*.hkl' ;;
    fuzz_scatinputs) find tests/data/scattering -name 'radial*.txt'; find tests/data examples -name 'xd.mas' | head -20
                     [ -d ../shared/fixtures/structure-factors ] && find ../shared/fixtures/structure-factors -name 'radial.txt' ;;
    fuzz_cif) find tests/data examples -name '*.cif'
              # the real CIFs beside the checkout, read from there, never copied into the repository
              [ -d ../shared/fixtures ] && find ../shared/fixtures -name '*.cif' ;;
  esac
}

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for t in "$build"/fuzz_*; do [ -x "$t" ] && targets+=("$(basename "$t")"); done
fi
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets in $build (build them with make fuzz)"; exit 1; }

failed=()
summary=()
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"; seeds="$build/seeds/$t"; artifacts="$build/artifacts/$t"
  rm -rf "$seeds"; mkdir -p "$corpus" "$seeds" "$artifacts"
  n=0
  while IFS= read -r f; do n=$((n + 1)); cp "$f" "$seeds/seed$n"; done < <(seeds_of "$t" | sort)
  [ -d "tests/data/regressions/$t" ] && cp tests/data/regressions/"$t"/* "$seeds/" 2>/dev/null
  [ "$n" -gt 0 ] || printf 'x\n' > "$seeds/empty"
  log="$build/$t.log"
  echo "== $t: $seconds s, $(ls "$seeds" | wc -l) seed files"
  "$build/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -dict="$PWD/fuzz/qdl.dict" -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$seeds" \
    </dev/null >"$log" 2>&1
  rc=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  summary+=("$t: ${runs:-?} executions, exit $rc")
  if [ $rc -ne 0 ]; then
    failed+=("$t")
    echo "-- $t failed (exit $rc); the end of its log $log:"
    tail -n 60 "$log"
  fi
done
echo "== fuzz summary"
printf '   %s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz targets failed: ${failed[*]}"
  exit 1
fi
