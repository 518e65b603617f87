#!/bin/sh
# Builds every fuzz target of the text and file helpers and runs each for the
# given number of seconds (0: build only). Findings land in fuzz/out/.
set -eu
secs=${1:?usage: fuzz/run.sh <seconds per target, 0 to build only>}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=$here/out
mkdir -p "$out/obj"
cxx=${CXX:-clang++}
flags="-std=c++20 -g -O1 -fPIC -fsanitize=address,undefined -fno-sanitize-recover=undefined -I$root $(pkg-config --cflags Qt6Core)"
libs="$(pkg-config --libs Qt6Core) -lsqlite3"

# The helpers under test, and the query helpers and store that Splitzt's
# file brings along.
objs=
for src in ztking/text.cpp ztking/files.cpp ztking/codepage.cpp ztking/query.cpp \
    store/tadoconnection.cpp store/jetdialect.cpp store/catalogue.cpp store/escape.cpp \
    store/schema.cpp; do
    obj=$out/obj/$(echo "$src" | tr / _).o
    $cxx $flags -fsanitize=fuzzer-no-link -c "$root/$src" -o "$obj"
    objs="$objs $obj"
done

for target in "$here"/fuzz_*.cpp; do
    name=$(basename "$target" .cpp)
    # shellcheck disable=SC2086
    $cxx $flags -fsanitize=fuzzer "$target" $objs $libs -o "$out/$name"
done
[ "$secs" -gt 0 ] || exit 0

status=0
for target in "$here"/fuzz_*.cpp; do
    name=$(basename "$target" .cpp)
    mkdir -p "$here/corpus/$name"
    if (cd "$out" && "./$name" -max_total_time="$secs" -print_final_stats=1 \
            "$here/corpus/$name" >"$name.log" 2>&1); then
        result=clean
    else
        result="FINDING (see fuzz/out/$name.log)"
        status=1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$name.log")
    echo "$name: ${runs:-?} inputs, $result"
done
exit $status
