#!/usr/bin/env bash
# Builds the archive library's libFuzzer target with clang, AddressSanitizer
# and UndefinedBehaviorSanitizer, and runs it on the reading side.
#   scripts/fuzz-arkelle.sh [runs] [extra libFuzzer options...]
# runs defaults to 1000000; findings land in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${FUZZ_BUILD_DIR:-$root/build-fuzz}
runs=${1:-1000000}
shift || true
mkdir -p "$out/corpus" "$out/artifacts"

clang++ -std=c++20 -g -O1 -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" \
  "$root/fuzz/fuzz_arkelle.cpp" "$root/arkelle/abi.cpp" "$root/arkelle/zipformat.cpp" "$root/arkelle/zipread.cpp" "$root/arkelle/zipwrite.cpp" "$root/arkelle/names.cpp" \
  -lz -o "$out/fuzz_arkelle"

# Seeds: small archives from the usual writers (made once).
if [ -z "$(ls -A "$out/corpus")" ]; then
  seed=$(mktemp -d)
  trap 'rm -rf "$seed"' EXIT
  (cd "$seed"
   mkdir -p sub; printf 'taxer,1\ntaxer,2\n' > taxer.dat; printf 'area' > sub/area.dat; : > empty.dat
   zip -q -P pw "$out/corpus/zip-p.zip" taxer.dat sub/area.dat empty.dat
   zip -q -0 "$out/corpus/zip-stored.zip" taxer.dat sub/area.dat
   zip -q -P pw - taxer.dat | cat > "$out/corpus/zip-pipe.zip"
   7z a -tzip -mem=ZipCrypto -ppw "$out/corpus/7z.zip" taxer.dat sub >/dev/null
   python3 -c 'import zipfile; z=zipfile.ZipFile("'"$out"'/corpus/py.zip","w",zipfile.ZIP_DEFLATED); z.write("taxer.dat"); z.write("sub/area.dat"); z.close()'
   python3 -c 'import zipfile; zipfile.ZipFile("'"$out"'/corpus/empty.zip","w").close()')
fi
printf '"PK\\x03\\x04"\n"PK\\x01\\x02"\n"PK\\x05\\x06"\n"PK\\x07\\x08"\n"\\x14\\x00"\n"\\x08\\x00"\n' > "$out/zip.dict"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
"$out/fuzz_arkelle" -runs="$runs" -max_len=4096 -timeout=10 -dict="$out/zip.dict" \
  -artifact_prefix="$out/artifacts/" -print_final_stats=1 "$@" "$out/corpus"
