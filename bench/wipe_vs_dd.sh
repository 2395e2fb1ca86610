#!/bin/sh
# Zero-fills the same loop device with the program's wipe (bench/wipe_bench, the window's code
# path with its message pump) and with dd, on a file in /dev/shm and on a file on disk, and
# prints both throughputs and their ratio, plus the peak memory the wipe added. The loops bypass
# the page cache (losetup --direct-io=on), as a real disk has none between it and its medium.
#
# Where fio is installed (scripts/install-deps.sh --bench), the same rounds also run the wipe
# one write at a time (wipe_bench --depth 1, the wipe before writes were queued) and fio
# (io_uring, 512 KiB, direct, zero buffers, fsync at the end) at each depth of $BENCH_FIO_DEPTHS
# (default "1 4": one at a time and the wipe's own depth), and print the wipe's ratio to each.
# These figures are each tool's own: wipe_bench's timing (flush included) and fio's bandwidth.
#
#   bench/wipe_vs_dd.sh BUILD_DIR [SIZE_MIB] [ROUNDS]      (root; defaults 1024 MiB, 3 rounds)
#   bench/wipe_vs_dd.sh --helper BUILD_DIR [SIZE_MIB] [ROUNDS]
#   bench/wipe_vs_dd.sh --window BUILD_DIR [SIZE_MIB] [ROUNDS]
#
# With --helper, the wipe run by an ordinary user (a throwaway one, granted by a test-only polkit
# rule) through the drive helper's descriptor is set against the same wipe run as root, and
# against the user's wipe one write at a time, on the same device; the figures are the wipe's own timing (wipe_bench's mb_per_s), so that pkexec's
# start-up is not counted.
#
# With --window, the wipe through the real windows (bench/window_bench: Qt, offscreen, from the Yes
# to the closing box) is set against wipe_bench's own figure, on a loop over a disk file: the
# window's message pump must not hold the writes back.
#
# Each round runs both tools on the same device, the order alternating from round to round;
# the figure kept for each tool is its median over the rounds, so a one-off stall does not
# decide the ratio. Disk files go to
# $BENCH_DISK_DIR (default /var/tmp). Loop devices and files are removed on every way out.
set -eu

helper_mode="" window_mode=""
if [ "${1:-}" = "--helper" ]; then helper_mode=1; shift; fi
if [ "${1:-}" = "--window" ]; then window_mode=1; shift; fi
build=${1:?usage: wipe_vs_dd.sh [--helper] BUILD_DIR [SIZE_MIB] [ROUNDS]}
size_mib=${2:-1024}
rounds=${3:-3}
disk_dir=${BENCH_DISK_DIR:-/var/tmp}
fio_depths=${BENCH_FIO_DEPTHS:-1 4}
have_fio=""
command -v fio >/dev/null && have_fio=1
bench="$(cd "$build" && pwd)/bench/wipe_bench"

[ "$(id -u)" = 0 ] || { echo "wipe_vs_dd: needs root (loop devices)" >&2; exit 77; }
[ -x "$bench" ] || { echo "wipe_vs_dd: $bench not built" >&2; exit 2; }
command -v losetup >/dev/null || { echo "wipe_vs_dd: losetup missing" >&2; exit 77; }

loops=""
files=""
cleanup() {
    for l in $loops; do losetup -d "$l" 2>/dev/null || true; done
    for f in $files; do rm -f "$f"; done
    [ -z "$helper_mode" ] || polkit_env_down
}
trap cleanup EXIT
trap 'exit 1' INT TERM

now() { date +%s.%N; }

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# A loop device over a new file of size_mib in $1, in $loop; both are removed on the way out.
make_loop() {
    file="$1/orm-wipe-bench.$$.img"
    files="$files $file"
    # A written file, not a sparse one: the first pass must not pay for allocating blocks.
    dd if=/dev/urandom of="$file" bs=1M count="$size_mib" status=none
    loop=$(losetup --find --show --direct-io=on "$file" 2>/dev/null) || loop=$(losetup --find --show "$file")
    loops="$loops $loop"
}

run_target() {
    label=$1 dir=$2
    make_loop "$dir"
    bytes=$(blockdev --getsize64 "$loop")
    chunks=$((bytes / 524288))

    dd_rates="" wipe_rates="" rss_added="" pair_ratios="" own_rates="" single_rates=""
    for d in $fio_depths; do eval "fio_rates_$d=''"; done
    i=0
    run_dd() {
        sync; sleep 1
        t0=$(now)
        dd if=/dev/zero of="$loop" bs=512K count="$chunks" oflag=direct conv=fdatasync status=none
        t1=$(now)
        dd_last=$(echo "$bytes $t0 $t1" | awk '{printf "%.1f", $1 / ($3 - $2) / 1e6}')
        dd_rates="$dd_rates $dd_last"
    }
    run_wipe() {
        sync; sleep 1
        t0=$(now)
        line=$("$bench" "$loop" 2>/dev/null)
        t1=$(now)
        case "$line" in *clean=1*) ;; *) echo "wipe_vs_dd: the wipe of $loop did not end clean: $line" >&2; exit 1 ;; esac
        wipe_last=$(echo "$bytes $t0 $t1" | awk '{printf "%.1f", $1 / ($3 - $2) / 1e6}')
        wipe_rates="$wipe_rates $wipe_last"
        before=$(echo "$line" | sed -n 's/.*maxrss_before_kib=\([0-9]*\).*/\1/p')
        after=$(echo "$line" | sed -n 's/.*maxrss_after_kib=\([0-9]*\).*/\1/p')
        rss_added="$rss_added $((after - before))"
        direct=$(echo "$line" | sed -n 's/.*direct=\([01]\).*/\1/p')
        own_rates="$own_rates $(echo "$line" | sed -n 's/.*mb_per_s=\([0-9.]*\).*/\1/p')"
    }
    run_single() {
        sync; sleep 1
        line=$("$bench" --depth 1 "$loop" 2>/dev/null) || true
        case "$line" in *clean=1*) ;; *) echo "wipe_vs_dd: the one-at-a-time wipe of $loop did not end clean: $line" >&2; exit 1 ;; esac
        single_rates="$single_rates $(echo "$line" | sed -n 's/.*mb_per_s=\([0-9.]*\).*/\1/p')"
    }
    run_fio() {
        for d in $fio_depths; do
            sync; sleep 1
            bw=$(fio --name=zero --filename="$loop" --rw=write --bs=512k --direct=1 --ioengine=io_uring \
                     --iodepth="$d" --size="$bytes" --zero_buffers --end_fsync=1 --output-format=json 2>/dev/null |
                 awk '/"write" *:/ {w = 1} w && /"bw_bytes"/ {gsub(/[^0-9]/, ""); print $0 / 1e6; exit}')
            [ -n "$bw" ] || { echo "wipe_vs_dd: fio at depth $d on $loop gave no figure" >&2; exit 1; }
            eval "fio_rates_$d=\"\$fio_rates_$d $bw\""
        done
    }
    while [ $i -lt "$rounds" ]; do
        # Alternate which tool goes first, and let earlier writes settle before each run, so
        # neither pays for the other's write-back.
        if [ $((i % 2)) -eq 0 ]; then
            run_dd; run_wipe
            [ -z "$have_fio" ] || { run_single; run_fio; }
        else
            [ -z "$have_fio" ] || { run_fio; run_single; }
            run_wipe; run_dd
        fi
        pair_ratios="$pair_ratios $(echo "$wipe_last $dd_last" | awk '{printf "%.3f", $1 / $2}')"
        i=$((i + 1))
    done

    dd_med=$(echo $dd_rates | tr ' ' '\n' | median)
    wipe_med=$(echo $wipe_rates | tr ' ' '\n' | median)
    rss_max=$(echo $rss_added | tr ' ' '\n' | sort -n | tail -1)
    ratio=$(echo "$wipe_med $dd_med" | awk '{printf "%.3f", $1 / $2}')
    pair_med=$(echo $pair_ratios | tr ' ' '\n' | median)
    printf '%-20s %5d MiB  dd %7.1f MB/s  wipe %7.1f MB/s  ratio %s (median of per-round ratios %s)  wipe peak RSS added %d KiB  O_DIRECT=%s\n' \
        "$label" "$size_mib" "$dd_med" "$wipe_med" "$ratio" "$pair_med" "$rss_max" "$direct"
    echo "  rounds: dd [$dd_rates ] wipe [$wipe_rates ] MB/s; per-round wipe/dd [$pair_ratios ]"
    if [ -n "$have_fio" ]; then
        own_med=$(echo $own_rates | tr ' ' '\n' | median)
        single_med=$(echo $single_rates | tr ' ' '\n' | median)
        printf '  own figures: wipe %7.1f MB/s, one at a time %7.1f MB/s (wipe / one at a time %s)\n' \
            "$own_med" "$single_med" "$(echo "$own_med $single_med" | awk '{printf "%.3f", $1 / $2}')"
        for d in $fio_depths; do
            eval "rates=\$fio_rates_$d"
            fio_med=$(echo $rates | tr ' ' '\n' | median)
            printf '  fio depth %2d %7.1f MB/s  wipe / fio %s  rounds [%s ]\n' \
                "$d" "$fio_med" "$(echo "$own_med $fio_med" | awk '{printf "%.3f", $1 / $2}')" "$rates"
        done
        echo "  rounds: wipe [$own_rates ] one at a time [$single_rates ] MB/s"
    fi

    losetup -d "$loop"
    loops=$(echo "$loops" | sed "s#$loop##")
    rm -f "$file"
}

# One wipe of $loop, as root or (with "user") as the test user through the helper, or (with
# "user1") as the test user one write at a time; sets rate_last from the wipe's own timing.
wipe_once() {
    sync; sleep 1
    err="/tmp/orm-wipe-bench.$$.err"
    files="$files $err"
    if [ "$1" = user ]; then line=$(as_test_user "$bench" "$loop" 2>"$err") || true
    elif [ "$1" = user1 ]; then line=$(as_test_user "$bench" --depth 1 "$loop" 2>"$err") || true
    else line=$("$bench" "$loop" 2>"$err") || true; fi
    case "$line" in *clean=1*) ;; *)
        echo "wipe_vs_dd: the $1 wipe of $loop did not end clean: $line" >&2
        grep -v '^bench ' "$err" | tail -3 >&2
        exit 1 ;;
    esac
    rate_last=$(echo "$line" | sed -n 's/.*mb_per_s=\([0-9.]*\).*/\1/p')
    direct=$(echo "$line" | sed -n 's/.*direct=\([01]\).*/\1/p')
}

run_target_helper() {
    label=$1 dir=$2
    make_loop "$dir"
    root_rates="" user_rates="" pair_ratios="" single_rates=""
    i=0
    while [ $i -lt "$rounds" ]; do
        if [ $((i % 2)) -eq 0 ]; then
            wipe_once root; root_last=$rate_last; wipe_once user; user_last=$rate_last
            wipe_once user1; single_rates="$single_rates $rate_last"
        else
            wipe_once user1; single_rates="$single_rates $rate_last"
            wipe_once user; user_last=$rate_last; wipe_once root; root_last=$rate_last
        fi
        root_rates="$root_rates $root_last" user_rates="$user_rates $user_last"
        pair_ratios="$pair_ratios $(echo "$user_last $root_last" | awk '{printf "%.3f", $1 / $2}')"
        i=$((i + 1))
    done
    root_med=$(echo $root_rates | tr ' ' '\n' | median)
    user_med=$(echo $user_rates | tr ' ' '\n' | median)
    ratio=$(echo "$user_med $root_med" | awk '{printf "%.3f", $1 / $2}')
    pair_med=$(echo $pair_ratios | tr ' ' '\n' | median)
    printf '%-20s %5d MiB  root %7.1f MB/s  user via helper %7.1f MB/s  ratio %s (median of per-round ratios %s)  O_DIRECT=%s\n' \
        "$label" "$size_mib" "$root_med" "$user_med" "$ratio" "$pair_med" "$direct"
    echo "  rounds: root [$root_rates ] user [$user_rates ] MB/s; per-round user/root [$pair_ratios ]"
    single_med=$(echo $single_rates | tr ' ' '\n' | median)
    printf '  user one write at a time %7.1f MB/s (user / one at a time %s)  rounds [%s ]\n' "$single_med" \
        "$(echo "$user_med $single_med" | awk '{printf "%.3f", $1 / $2}')" "$single_rates"
    losetup -d "$loop"
    loops=$(echo "$loops" | sed "s#$loop##")
    rm -f "$file"
}

run_target_window() {
    label=$1 dir=$2
    make_loop "$dir"
    bytes=$(blockdev --getsize64 "$loop")
    head_rates="" win_rates="" pair_ratios=""
    i=0
    while [ $i -lt "$rounds" ]; do
        for tool in $(if [ $((i % 2)) -eq 0 ]; then echo head win; else echo win head; fi); do
            sync; sleep 1
            if [ "$tool" = head ]; then
                line=$("$bench" "$loop" 2>/dev/null) || true
                case "$line" in *clean=1*) ;; *) echo "wipe_vs_dd: the headless wipe did not end clean: $line" >&2; exit 1 ;; esac
                head_last=$(echo "$line" | sed -n 's/.*mb_per_s=\([0-9.]*\).*/\1/p')
                head_rates="$head_rates $head_last"
            else
                line=$(QT_QPA_PLATFORM=offscreen "$window_bench" "$loop" 2>/dev/null) ||
                    { echo "wipe_vs_dd: the wipe through the window did not end clean: $line" >&2; exit 1; }
                win_last=$(echo "$line" | sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' |
                           awk -v b="$bytes" '{printf "%.1f", b / $1 / 1e6}')
                win_rates="$win_rates $win_last"
            fi
        done
        pair_ratios="$pair_ratios $(echo "$win_last $head_last" | awk '{printf "%.3f", $1 / $2}')"
        i=$((i + 1))
    done
    head_med=$(echo $head_rates | tr ' ' '\n' | median)
    win_med=$(echo $win_rates | tr ' ' '\n' | median)
    printf '%-20s %5d MiB  headless %7.1f MB/s  window %7.1f MB/s  ratio %s (median of per-round ratios %s)\n' \
        "$label" "$size_mib" "$head_med" "$win_med" "$(echo "$win_med $head_med" | awk '{printf "%.3f", $1 / $2}')" \
        "$(echo $pair_ratios | tr ' ' '\n' | median)"
    echo "  rounds: headless [$head_rates ] window [$win_rates ] MB/s; per-round window/headless [$pair_ratios ]"
    losetup -d "$loop"
    loops=$(echo "$loops" | sed "s#$loop##")
    rm -f "$file"
}

if [ -n "$window_mode" ]; then
    window_bench="$(cd "$build" && pwd)/bench/window_bench"
    [ -x "$window_bench" ] || { echo "wipe_vs_dd: $window_bench not built" >&2; exit 2; }
    echo "wipe through the window (window_bench, Yes to closing box) vs headless (wipe_bench), median of $rounds rounds each, order alternating"
    run_target_window "loop over disk file" "$disk_dir"
    exit 0
fi

if [ -n "$helper_mode" ]; then
    here=$(cd "$(dirname "$0")/.." && pwd)
    . "$here/tests/helper/polkit_test_env.sh"
    why=$(polkit_env_why_not)
    [ -z "$why" ] || { echo "wipe_vs_dd: $why" >&2; exit 77; }
    polkit_env_up "$(cd "$build" && pwd)/src/helper/ormandel-helper" "$here/data/com.example.ormandel.policy.in" ||
        { echo "wipe_vs_dd: polkit set-up failed" >&2; exit 1; }
    echo "wipe (wipe_bench) as a user through the helper's descriptor vs as root, median of $rounds rounds each, order alternating"
    run_target_helper "loop over /dev/shm" /dev/shm
    run_target_helper "loop over disk file" "$disk_dir"
    exit 0
fi

echo "wipe (wipe_bench) vs dd if=/dev/zero bs=512K oflag=direct conv=fdatasync, median of $rounds rounds each, order alternating"
[ -n "$have_fio" ] || echo "(fio is not installed: scripts/install-deps.sh --bench adds it for the comparison with fio)"
run_target "loop over /dev/shm" /dev/shm
run_target "loop over disk file" "$disk_dir"
