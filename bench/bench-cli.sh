# Sourced by the benchmarks that time verandol-cli: sets CLI to the binary to
# time, $VERANDOL_CLI when given, else a Release build made in $BUILD
# (default build-bench in the folder it is sourced from).
BUILD=${BUILD:-$PWD/build-bench}
if [[ -n ${VERANDOL_CLI:-} ]]; then
    CLI=$VERANDOL_CLI
else
    cmake -S bench -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$BUILD" --target verandol-cli -j2 >/dev/null
    CLI="$BUILD/verandol/cli/verandol-cli"
fi
