#!/usr/bin/env bash
# The converter against ffmpeg on the default movie (64 frames at 640x480, recorded by
# `vesk` headless): wall time of each format, and for GIF file size and SSIM (ffmpeg's
# ssim filter against the movie), each beside ffmpeg doing the same job in the same run.
# ffmpeg's jobs: GIF through palettegen/paletteuse with their defaults (two passes in
# one graph), MPEG-1 at 30 frames/s with the same fixed quantiser (-q:v 4), and APNG
# in place of MNG, which ffmpeg does not write. Then MP4, WebM, APNG and WebP, each
# beside ffmpeg with the encoder settings the converter uses at its default quality 90
# (x264 CRF 18; VP9 CRF 20, row multithreading, "good" at speed 4; APNG with mixed
# filters; WebP quality 90, method 4), with SSIM against the movie compared in RGB.
# Usage: bench/conversion_bench.sh; needs a built tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
vesk="$root/build/bin/vesk"
converter="$root/build/bin/VoridEdadide"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
VESK_HEADLESS=1 "$vesk" -n 64 -s 640x480 -o movie.avi >/dev/null

# Wall seconds of the command.
timed() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 </dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }'
}
ssim() {
  ffmpeg -hide_banner -nostats -i "$1" -i movie.avi -lavfi ssim -f null - 2>&1 |
    sed -n 's/.*All:\([0-9.]*\).*/\1/p'
}
# Luma PSNR of a 30 frames/s MPEG-1 movie against the 10 frames/s source, each
# source frame shown three times.
psnr() {
  ffmpeg -hide_banner -nostats -i "$1" -i movie.avi -lavfi \
    "[0:v]setpts=PTS-STARTPTS[a];[1:v]fps=30,setpts=PTS-STARTPTS[b];[a][b]psnr" -f null - 2>&1 |
    sed -n 's/.*PSNR y:\([0-9.]*\).*/\1/p'
}
# SSIM with both sides in RGB, so that each movie's own colour matrix is undone. ffmpeg
# reads no animated WebP: ImageMagick turns it into whole frames first.
ssim_rgb() {
  local input=(-i "$1")
  if [[ $1 == *.webp ]]; then
    rm -rf webp-frames && mkdir webp-frames
    convert "$1" -coalesce webp-frames/%03d.png
    input=(-framerate 10 -i webp-frames/%03d.png)
  fi
  ffmpeg -hide_banner -nostats "${input[@]}" -i movie.avi \
    -lavfi "[0:v]format=gbrp[a];[1:v]format=gbrp[b];[a][b]ssim" -f null - 2>&1 |
    sed -n 's/.*All:\([0-9.]*\).*/\1/p'
}
size() { stat -c %s "$1"; }
# One format: our switch and output, then ffmpeg's arguments for the same encode.
compare() {
  local label=$1 switch=$2 ours=$3 theirs=$4
  shift 4
  local t1 t2
  t1=$(timed "$converter" -i movie.avi "$switch" -o "$ours")
  t2=$(timed ffmpeg -y -i movie.avi "$@" "$theirs")
  printf "%-7s VoridEdadide %6s s %9d bytes SSIM %s\n" "$label" "$t1" "$(size "$ours")" "$(ssim_rgb "$ours")"
  printf "        ffmpeg       %6s s %9d bytes SSIM %s\n" "$t2" "$(size "$theirs")" "$(ssim_rgb "$theirs")"
}

echo "conversion_bench: 64 frames at 640x480 (the default globe movie);"
echo "machine load average: $(cut -d' ' -f1-3 /proc/loadavg)"
t1=$(timed "$converter" -i movie.avi -GIF -o ours.gif)
t2=$(timed ffmpeg -y -i movie.avi -vf "split[a][b];[a]palettegen[p];[b][p]paletteuse" ffmpeg.gif)
printf "GIF     VoridEdadide %6s s %9d bytes SSIM %s\n" "$t1" "$(size ours.gif)" "$(ssim ours.gif)"
printf "        ffmpeg       %6s s %9d bytes SSIM %s\n" "$t2" "$(size ffmpeg.gif)" "$(ssim ffmpeg.gif)"
t1=$(timed "$converter" -i movie.avi -MNG -o ours.mng)
t2=$(timed ffmpeg -y -i movie.avi -f apng ffmpeg.apng)
printf "MNG     VoridEdadide %6s s %9d bytes (lossless)\n" "$t1" "$(size ours.mng)"
printf "APNG    ffmpeg       %6s s %9d bytes (lossless)\n" "$t2" "$(size ffmpeg.apng)"
t1=$(timed "$converter" -i movie.avi -MPEG1 -o ours.mpg)
t2=$(timed ffmpeg -y -i movie.avi -c:v mpeg1video -r 30 -q:v 4 -bf 2 -g 15 ffmpeg.mpg)
printf "MPEG-1  VoridEdadide %6s s %9d bytes PSNR y %s dB\n" "$t1" "$(size ours.mpg)" "$(psnr ours.mpg)"
printf "        ffmpeg       %6s s %9d bytes PSNR y %s dB\n" "$t2" "$(size ffmpeg.mpg)" "$(psnr ffmpeg.mpg)"
compare MP4 -MP4 ours.mp4 ffmpeg.mp4 -c:v libx264 -crf 18 -pix_fmt yuv420p -movflags +faststart
compare WebM -WEBM ours.webm ffmpeg.webm -c:v libvpx-vp9 -crf 20 -b:v 0 -row-mt 1 -deadline good \
  -cpu-used 4 -pix_fmt yuv420p
compare APNG -APNG ours.png ffmpeg.png -f apng -plays 0 -pred mixed
compare WebP -WEBP ours.webp ffmpeg.webp -c:v libwebp_anim -lossless 0 -quality 90 \
  -compression_level 4 -loop 0
