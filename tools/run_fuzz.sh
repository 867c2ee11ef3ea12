#!/bin/sh
# Builds the libFuzzer targets with clang (build/fuzz) and runs each for a
# fixed number of inputs from a fixed seed, over a scratch copy of its corpus
# in tests/fuzz/corpus (what a run finds never lands in the repository).
# Fails on any crash, broken property, sanitizer report, leak or time-out.
set -eu
cd "$(dirname "$0")/.."

cmake -S . -B build/fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGYREL_FUZZ=ON >/dev/null
cmake --build build/fuzz -j 2

status=0
# target:executions, sized for about a minute in all on two cores.
for entry in command_line:1000000 int_scan:1000000 field_value:1000000 engine:1500; do
    name=${entry%%:*}
    runs=${entry#*:}
    work=build/fuzz/run/$name
    rm -rf "$work"
    mkdir -p "$work/corpus"
    if ! cp tests/fuzz/corpus/"$name"/* "$work/corpus/"; then
        echo "run_fuzz: $name has no seed corpus" >&2
        exit 1
    fi
    if build/fuzz/"${name}_fuzz" -runs="$runs" -seed=1 -timeout=30 -print_final_stats=1 \
        -artifact_prefix="$work/" "$work/corpus" >"$work/log" 2>&1; then
        echo "run_fuzz: $name: $(grep -E '^#[0-9]+[[:space:]]+DONE' "$work/log" | tail -n 1)"
    else
        tail -n 60 "$work/log" >&2
        echo "run_fuzz: $name FAILED (log: $work/log)" >&2
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "run_fuzz: all targets passed"
exit "$status"
