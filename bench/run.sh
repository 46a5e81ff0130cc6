#!/usr/bin/env bash
# Times Marlowick against the tools a careful user would type instead, on loop devices over
# tmpfs (so the programs' own overhead shows, not a disk's speed), and prints medians of
# alternating runs side by side with their ratios (Marlowick ÷ reference; below 1 is faster).
#
#   sudo bash bench/run.sh [raw] [format] [prepare]     (no argument: all three)
#
# Environment: MARLOWICK_BENCH_RUNS (5), MARLOWICK_BENCH_IMAGE_MIB (1024),
# MARLOWICK_BENCH_XZ_PRESET (1: a higher one takes many minutes
# to make the single-block file), MARLOWICK_BENCH_CACHE (/var/tmp/marlowick-bench: the test
# images and their compressed forms, made once), MARLOWICK_BENCH_BUILD (build/release), and
# MARLOWICK_BENCH_BIN_DIR: a folder holding marlowick-helper and marlowick-bench to time
# instead of building them (copies of an earlier build, to compare two builds).
# The times are wall-clock seconds on a shared machine: other work running at the same
# time shows up in them, so the load average is printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${MARLOWICK_BENCH_RUNS:-5}
imageMib=${MARLOWICK_BENCH_IMAGE_MIB:-1024}
xzPreset=${MARLOWICK_BENCH_XZ_PRESET:-1}
cache=${MARLOWICK_BENCH_CACHE:-/var/tmp/marlowick-bench}
build=${MARLOWICK_BENCH_BUILD:-build/release}
groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(raw format prepare)

if [ "$(id -u)" != 0 ]; then
  echo "bench/run.sh needs root: it attaches loop devices" >&2
  exit 1
fi
export PATH="$PATH:/usr/sbin:/sbin"
for tool in losetup blockdev dd sha256sum gzip xz tar tee mkfs.exfat mkfs.fat awk; do
  command -v "$tool" >/dev/null || { echo "bench/run.sh needs $tool" >&2; exit 1; }
done

if [ -n "${MARLOWICK_BENCH_BIN_DIR:-}" ]; then
  helper=$MARLOWICK_BENCH_BIN_DIR/marlowick-helper
  bench=$MARLOWICK_BENCH_BIN_DIR/marlowick-bench
else
  # A release build: the numbers are meaningless with sanitizers.
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMARLOWICK_TESTS=OFF -DMARLOWICK_BENCH=ON >/dev/null
  cmake --build "$build" >/dev/null
  helper=$build/app/marlowick-helper
  bench=$build/bench/marlowick-bench
fi

work=$(mktemp -d /dev/shm/marlowick-bench.XXXXXX)
loops=()
cleanup() {
  for loop in "${loops[@]}"; do losetup -d "$loop" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/times"

# A loop device over a sparse file of the given size on tmpfs; its path in $loop.
attach() {
  truncate -s "$1" "$work/$2"
  loop=$(losetup --find --show "$work/$2")
  loops+=("$loop")
}

# Sectors the kernel has written to a block device so far (field 7 of its stat).
sectorsWritten() { awk '{ print $7 }' "/sys/block/$(basename "$1")/stat"; }

# time <key> <command...>: runs the command once, adds its wall time to the key's samples.
time_run() {
  local key=$1
  shift
  local start=$EPOCHREALTIME
  if ! "$@" >"$work/out" 2>"$work/err"; then
    if [ -n "${tolerateFailure:-}" ]; then
      head -c 300 "$work/err" | head -n 1 >"$work/times/$key.fail"
      return 0
    fi
    echo "failed: $*" >&2
    cat "$work/err" >&2
    exit 1
  fi
  local end=$EPOCHREALTIME
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }' >>"$work/times/$key"
}

median() {
  if [ ! -s "$work/times/$1" ]; then printf 'failed'; return; fi
  sort -n "$work/times/$1" | awk '{ v[NR] = $1 } END { if (NR % 2) printf "%.3f", v[(NR + 1) / 2]; else printf "%.3f", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

seconds() { if [ "$1" = failed ]; then printf failed; else printf '%ss' "$1"; fi; }

# row <label> <key> <reference label> <reference key>
row() {
  local ours theirs
  ours=$(median "$2")
  theirs=$(median "$4")
  printf '%-26s %9s   %-44s %9s   %5s\n' "$1" "$(seconds "$ours")" "$3" "$(seconds "$theirs")" \
    "$(awk -v a="$ours" -v b="$theirs" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else printf "-" }')"
  local key
  for key in "$2" "$4"; do
    [ ! -f "$work/times/$key.fail" ] || echo "    $key failed: $(cat "$work/times/$key.fail")"
  done
}
header() {
  echo
  echo "$1"
  printf '%-26s %9s   %-44s %9s   %5s\n' "case" "marlowick" "reference" "" "ratio"
}

# ---- raw write + verify ------------------------------------------------------------------

# The test image: real files (the start of a tar of /usr), compressible as disk images are.
make_images() {
  mkdir -p "$cache"
  local base=$cache/image-${imageMib}M
  if [ ! -f "$base.img" ] || [ "$(stat -c %s "$base.img")" != $((imageMib << 20)) ]; then
    echo "making the ${imageMib} MiB test image and its compressed forms (once)..." >&2
    { tar -cf - --sort=name /usr/lib /usr/share /usr/bin 2>/dev/null || true; } | head -c $((imageMib << 20)) >"$base.tmp"
    [ "$(stat -c %s "$base.tmp")" = $((imageMib << 20)) ] || { echo "/usr holds too little for the image" >&2; exit 1; }
    mv "$base.tmp" "$base.img"
    rm -f "$base".img.gz "$base"-xz*.img.xz
  fi
  local xzBase=$base-xz$xzPreset
  [ -f "$base.img.gz" ] || { gzip -c "$base.img" >"$base.gz.tmp" && mv "$base.gz.tmp" "$base.img.gz"; } &
  [ -f "$xzBase.img.xz" ] || { xz -T1 "-$xzPreset" -c "$base.img" >"$xzBase.tmp" && mv "$xzBase.tmp" "$xzBase.img.xz"; } &
  [ -f "$xzBase-mt.img.xz" ] || { xz -T0 "-$xzPreset" -c "$base.img" >"$xzBase-mt.tmp" && mv "$xzBase-mt.tmp" "$xzBase-mt.img.xz"; } &
  wait
  [ -f "$base.img.gz" ] && [ -f "$xzBase.img.xz" ] && [ -f "$xzBase-mt.img.xz" ] || { echo "could not compress the image" >&2; exit 1; }
  cp "$base.img" "$work/image.img"
  cp "$base.img.gz" "$work/image.img.gz"
  cp "$xzBase.img.xz" "$work/image.img.xz"
  cp "$xzBase-mt.img.xz" "$work/image-mt.img.xz"
}

xz_blocks() { xz --robot --list "$1" | awk '$1 == "totals" { print $3 }'; }

helper_write() {
  "$bench" write-command "$target" "$1" >"$work/command"
  "$helper" <"$work/command" >"$work/frames"
  tail -n 1 "$work/frames" | grep -q '"overallSuccess":true' || { tail -n 1 "$work/frames" >&2; return 1; }
}

# What a careful user types: hash the image, write it direct with a final fsync, read it
# back direct and hash that.
dd_plain() {
  local want got
  want=$(sha256sum <"$1")
  dd if="$1" of="$target" bs=4M oflag=direct conv=fsync status=none
  got=$(dd if="$target" bs=4M iflag=direct,count_bytes count="$imageBytes" status=none | sha256sum)
  [ "$want" = "$got" ]
}
# The same with a decompressor in front, hashing what it writes on the way.
dd_unpacked() {
  local want got
  rm -f "$work/fifo" && mkfifo "$work/fifo"
  sha256sum <"$work/fifo" >"$work/want" &
  local hasher=$!
  "$1" -dc "$2" | tee "$work/fifo" | dd of="$target" bs=4M iflag=fullblock oflag=direct conv=fsync status=none
  wait "$hasher"
  want=$(cat "$work/want")
  got=$(dd if="$target" bs=4M iflag=direct,count_bytes count="$imageBytes" status=none | sha256sum)
  [ "$want" = "$got" ]
}
to_null() { "$@" >/dev/null; }

bench_raw() {
  make_images
  imageBytes=$((imageMib << 20))
  attach $(((imageMib + 64) << 20)) raw-target.img
  target=$loop
  for _ in $(seq "$runs"); do
    time_run helper-plain helper_write "$work/image.img"
    time_run dd-plain dd_plain "$work/image.img"
    time_run helper-gz helper_write "$work/image.img.gz"
    time_run dd-gz dd_unpacked gzip "$work/image.img.gz"
    time_run gzip-alone to_null gzip -dc "$work/image.img.gz"
    time_run helper-xz helper_write "$work/image.img.xz"
    time_run dd-xz dd_unpacked xz "$work/image.img.xz"
    time_run xz-alone to_null xz -dc -T1 "$work/image.img.xz"
    time_run helper-xzmt helper_write "$work/image-mt.img.xz"
    time_run xzmt-alone-t1 to_null xz -dc -T1 "$work/image-mt.img.xz"
    time_run xzmt-alone-t0 to_null xz -dc -T0 "$work/image-mt.img.xz"
  done
  header "raw write + verify of a ${imageMib} MiB image to a loop device over tmpfs (xz -$xzPreset; one-block file: $(xz_blocks "$work/image.img.xz") block, -T0 file: $(xz_blocks "$work/image-mt.img.xz") blocks)"
  row "plain .img" helper-plain "sha256sum; dd oflag=direct; dd | sha256sum" dd-plain
  row ".img.gz" helper-gz "gzip -dc | tee | dd; dd | sha256sum" dd-gz
  row ".img.gz" helper-gz "gzip -dc > /dev/null" gzip-alone
  row ".img.xz (one block)" helper-xz "xz -dc | tee | dd; dd | sha256sum" dd-xz
  row ".img.xz (one block)" helper-xz "xz -dc > /dev/null" xz-alone
  row ".img.xz (xz -T0)" helper-xzmt "xz -dc -T1 > /dev/null" xzmt-alone-t1
  row ".img.xz (xz -T0)" helper-xzmt "xz -dc -T0 > /dev/null" xzmt-alone-t0
}

# ---- format --------------------------------------------------------------------------------

# format_run <key> <device> <command...>: times it and records the bytes it wrote.
format_run() {
  local key=$1 device=$2 before
  shift 2
  before=$(sectorsWritten "$device")
  time_run "$key" "$@"
  echo $((($(sectorsWritten "$device") - before) * 512)) >"$work/times/$key.bytes"
}

mib_written() {
  if [ -f "$work/times/$1.fail" ]; then printf 'failed'; return; fi
  awk '{ printf "%.1f MiB", $1 / 1048576 }' "$work/times/$1.bytes"
}

bench_format() {
  local size tolerateFailure=1
  for size in 64G 2T; do
    attach "$size" "format-$size.img"
    for _ in $(seq "$runs"); do
      format_run "exfat-$size" "$loop" "$bench" format "$loop" exfat
      format_run "mkfs.exfat-$size" "$loop" mkfs.exfat -L MARLOWICK "$loop"
      format_run "fat32-$size" "$loop" "$bench" format "$loop" fat32
      format_run "mkfs.fat-$size" "$loop" mkfs.fat -F 32 -I -n MARLOWICK "$loop"
    done
  done
  # 2 TiB is one sector past what 128 KiB clusters can hold within the formatter's 64 MiB
  # bound on the FAT it builds in memory; the refusal asks for larger clusters, so time those.
  for _ in $(seq "$runs"); do
    format_run "exfat-2T-256k" "$loop" "$bench" format "$loop" exfat 256
    format_run "mkfs.exfat-2T-256k" "$loop" mkfs.exfat -c 256K -L MARLOWICK "$loop"
  done
  header "format of a whole sparse loop device over tmpfs (bytes written per format in brackets)"
  for size in 64G 2T; do
    row "exFAT $size ($(mib_written "exfat-$size"))" "exfat-$size" "mkfs.exfat ($(mib_written "mkfs.exfat-$size"))" "mkfs.exfat-$size"
    row "FAT32 $size ($(mib_written "fat32-$size"))" "fat32-$size" "mkfs.fat -F 32 ($(mib_written "mkfs.fat-$size"))" "mkfs.fat-$size"
  done
  row "exFAT 2T 256K ($(mib_written "exfat-2T-256k"))" "exfat-2T-256k" "mkfs.exfat -c 256K ($(mib_written "mkfs.exfat-2T-256k"))" "mkfs.exfat-2T-256k"
  echo "exFAT 2T with the default 128 KiB clusters needs a 67109376-byte FAT: refused by design, the"
  echo "formatter builds its FAT and bitmap in memory and bounds each at 64 MiB; the refusal asks for"
  echo "larger clusters. FAT32 2T: refused by design, past the 32-bit sector count of its boot sector."
}

# ---- prepare -------------------------------------------------------------------------------

# Boot files of a made-up release: a boot sector, a 2047-sector core.img and a 32 MiB FAT
# image for the EFI partition.
make_boot_files() {
  mkdir -p "$work/boot"
  head -c 512 /dev/urandom >"$work/boot/boot.img"
  { head -c $((1200 * 512)) /dev/urandom; head -c $((847 * 512)) /dev/zero; } >"$work/boot/core.img"
  mkfs.fat -C "$work/boot/ventoy.disk.img" 32768 >/dev/null
}

bench_prepare() {
  make_boot_files
  attach 32G prepare-32G.img
  for _ in $(seq "$runs"); do
    format_run prepare-mbr "$loop" "$bench" prepare "$loop" mbr "$work/boot"
    format_run prepare-gpt "$loop" "$bench" prepare "$loop" gpt "$work/boot"
  done
  echo
  echo "prepare (Ventoy install with exFAT, boot files written and read back) of a 32 GiB loop device over tmpfs"
  printf '%-26s %9s   %s\n' "case" "marlowick" "bytes written"
  printf '%-26s %9s   %s\n' "MBR" "$(seconds "$(median prepare-mbr)")" "$(mib_written prepare-mbr)"
  printf '%-26s %9s   %s\n' "GPT" "$(seconds "$(median prepare-gpt)")" "$(mib_written prepare-gpt)"
}

echo "Marlowick benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'), commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown)"
echo "medians of $runs alternating runs, wall-clock seconds; $(nproc) CPUs; ratio = marlowick / reference"
for group in "${groups[@]}"; do
  case $group in
    raw) bench_raw ;;
    format) bench_format ;;
    prepare) bench_prepare ;;
    *) echo "unknown group $group (raw, format, prepare)" >&2; exit 2 ;;
  esac
done
echo
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
