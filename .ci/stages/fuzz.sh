# SPDX-License-Identifier: MIT
# A minute of libFuzzer per target, from the committed corpus.
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need cmake make clang libclang-rt-14-dev
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DMKSREC_FUZZ=ON -DMKSREC_SANITIZE=ON -DMKSREC_WERROR=ON \
    -DMKSREC_TESTS=OFF >/dev/null
cmake --build build-fuzz --parallel
for target in record arguments driver; do
    mkdir -p "$scratch/$target"
    # Messages of the code under test are dropped (-close_fd_mask); libFuzzer's own stay.
    status=0
    TMPDIR=/dev/shm "build-fuzz/fuzz/fuzz_$target" -max_total_time=60 -close_fd_mask=3 \
        -artifact_prefix="$scratch/" -print_final_stats=1 \
        "$scratch/$target" "fuzz/corpus/$target" >"$scratch/$target.log" 2>&1 || status=$?
    if [ "$status" != 0 ]; then
        tail -n 60 "$scratch/$target.log"
        echo "fuzz_$target found a failure (status $status)"
        exit 1
    fi
    echo "fuzz_$target: $(grep -E '^Done' "$scratch/$target.log")," \
        "$(grep -E '^stat::average_exec_per_sec' "$scratch/$target.log")"
done
