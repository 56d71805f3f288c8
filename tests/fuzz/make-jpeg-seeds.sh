#!/usr/bin/env bash
# Writes the hand-made seeds of the jpeg_image fuzz target into
# corpus/jpeg_image/ with ImageMagick (libjpeg's compressor underneath).
# Tiny pictures: the fuzzer mutates them, size adds nothing but time.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$here/corpus/jpeg_image
mkdir -p "$out"
cd "$out"
im=(convert -strip)

"${im[@]}" -size 16x16 gradient:red-blue -quality 75 -sampling-factor 2x2 baseline-420.jpg
"${im[@]}" -size 17x5 plasma:fractal -seed 1 -quality 90 -sampling-factor 1x1 odd-size-444.jpg
"${im[@]}" -size 16x16 gradient:green-yellow -interlace JPEG progressive.jpg
"${im[@]}" -size 9x7 gradient:white-black -colorspace Gray grayscale.jpg
"${im[@]}" -size 9x7 gradient:white-black -colorspace Gray -interlace JPEG grayscale-progressive.jpg
"${im[@]}" -size 8x8 xc:orange -colorspace CMYK cmyk.jpg
"${im[@]}" -size 1x1 xc:white one-pixel.jpg
"${im[@]}" -size 24x8 gradient:red-blue -quality 60 -sampling-factor 2x1 -define jpeg:optimize-coding=true \
    subsampled-422-optimized.jpg

# Data ending early: the header and half of the scan.
size=$(stat -c %s baseline-420.jpg)
head -c $((size / 2)) baseline-420.jpg >truncated.jpg
# A progressive file cut after its first scans.
size=$(stat -c %s progressive.jpg)
head -c $((size * 2 / 3)) progressive.jpg >truncated-progressive.jpg

# The one-pixel picture with its frame header claiming 16385 x 1: past the
# classes' side limit, refused before anything is allocated.
python3 - one-pixel.jpg too-wide.jpg <<'EOF'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
i = 2
while i + 4 <= len(data) and data[i] == 0xFF:
    marker, length = data[i + 1], int.from_bytes(data[i + 2:i + 4], 'big')
    if marker in (0xC0, 0xC1, 0xC2):
        data[i + 7:i + 9] = (16385).to_bytes(2, 'big')  # width
        break
    i += 2 + length
open(sys.argv[2], 'wb').write(data)
EOF

: >empty.jpg
ls -l "$out"
