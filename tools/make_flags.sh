#!/bin/sh
# Builds the country flag bitmaps in res/flags/ from Debian's iso-flags-svg.
#
# Every flag is a 150 x 100 uncompressed bottom-up BMP with a colour palette,
# 4 or 8 bits per pixel as listed below. The SVG is stretched to fill the
# whole bitmap, flattened on white and reduced to the palette by ImageMagick
# without dithering, so flat areas stay flat.
#
# ImageMagick picks the smallest bit depth that holds the colours it found
# (a three-colour flag comes out at 4 or even 1 bit), so each result is
# repacked to the depth the program expects, then its header is checked.
#
# Needs: rsvg-convert (librsvg2-bin), convert (imagemagick), python3,
#        iso-flags-svg. Usage: tools/make_flags.sh   (from anywhere)
set -eu

SRC=${ISO_FLAGS_SVG:-/usr/share/iso-flags-svg/country-4x3}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT="$ROOT/res/flags"
W=150
H=100

for tool in rsvg-convert convert python3 od; do
    command -v "$tool" >/dev/null 2>&1 || { echo "make_flags: $tool not found" >&2; exit 1; }
done
[ -d "$SRC" ] || { echo "make_flags: $SRC missing (apt install iso-flags-svg)" >&2; exit 1; }

TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT INT TERM
mkdir -p "$OUT"

# Rewrites an indexed BMP (1/4/8 bpp, uncompressed) at exactly the given
# bit depth with a full palette (16 or 256 entries, unused ones black).
cat >"$TMP/repack.py" <<'EOF'
import struct, sys

src, dst, bpp = sys.argv[1], sys.argv[2], int(sys.argv[3])
data = open(src, "rb").read()
if data[:2] != b"BM":
    sys.exit("not a BMP: " + src)
off = struct.unpack_from("<I", data, 10)[0]
hsize, w, h, planes, sbpp, comp, _, _, _, used, _ = struct.unpack_from("<IiiHHIIiiII", data, 14)
if hsize != 40 or comp != 0 or sbpp not in (1, 4, 8) or h <= 0:
    sys.exit("unexpected BMP layout in %s (header %d, bpp %d, compression %d)" % (src, hsize, sbpp, comp))
ncol = used or (1 << sbpp)
pal = [data[14 + hsize + 4 * i: 18 + hsize + 4 * i] for i in range(ncol)]
if ncol > (1 << bpp):
    sys.exit("%s has %d colours, too many for %d bpp" % (src, ncol, bpp))
pal += [b"\0\0\0\0"] * ((1 << bpp) - ncol)

def stride(bits):
    return (w * bits + 31) // 32 * 4

rows = []
for y in range(h):  # bottom-up in and out, so row order is kept
    row = data[off + y * stride(sbpp): off + (y + 1) * stride(sbpp)]
    px = []
    per = 8 // sbpp
    for x in range(w):
        byte = row[x // per]
        shift = 8 - sbpp * (x % per + 1)
        px.append((byte >> shift) & ((1 << sbpp) - 1))
    out = bytearray(stride(bpp))
    per = 8 // bpp
    for x, v in enumerate(px):
        out[x // per] |= v << (8 - bpp * (x % per + 1))
    rows.append(bytes(out))

bits = b"".join(rows)
poff = 14 + 40 + 4 * len(pal)
head = struct.pack("<2sIHHI", b"BM", poff + len(bits), 0, 0, poff)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bpp, 0, len(bits), 2835, 2835, 0, 0)
open(dst, "wb").write(head + info + b"".join(pal) + bits)
EOF

# Little-endian unsigned integer of $3 bytes at offset $2 of file $1.
le() {
    od -An -tu1 -j "$2" -N "$3" "$1" | awk '{ for (i = NF; i >= 1; i--) v = v * 256 + $i } END { print v + 0 }'
}

check() {
    f=$1 bpp=$2
    magic=$(od -An -c -N 2 "$f" | tr -d ' ')
    size=$(wc -c <"$f" | tr -d ' ')
    stride=$(( (W * bpp + 31) / 32 * 4 ))
    want=$(( 54 + 4 * (1 << bpp) + stride * H ))
    [ "$magic" = BM ] || { echo "make_flags: $f is not a BMP" >&2; exit 1; }
    [ "$(le "$f" 14 4)" = 40 ] || { echo "make_flags: $f: header is not BITMAPINFOHEADER" >&2; exit 1; }
    [ "$(le "$f" 18 4)" = $W ] || { echo "make_flags: $f: width $(le "$f" 18 4), want $W" >&2; exit 1; }
    # A positive height means the rows are stored bottom-up.
    [ "$(le "$f" 22 4)" = $H ] || { echo "make_flags: $f: height $(le "$f" 22 4), want $H bottom-up" >&2; exit 1; }
    [ "$(le "$f" 28 2)" = "$bpp" ] || { echo "make_flags: $f: $(le "$f" 28 2) bpp, want $bpp" >&2; exit 1; }
    [ "$(le "$f" 30 4)" = 0 ] || { echo "make_flags: $f is compressed" >&2; exit 1; }
    [ "$(le "$f" 2 4)" = "$size" ] || { echo "make_flags: $f: header size disagrees with file" >&2; exit 1; }
    [ "$size" = "$want" ] || { echo "make_flags: $f: $size bytes, want $want" >&2; exit 1; }
}

n=0
# NAME  ISO-3166 code  bits per pixel
while read -r name iso bpp; do
    case $name in ''|'#'*) continue ;; esac
    svg="$SRC/$iso.svg"
    [ -f "$svg" ] || { echo "make_flags: $svg missing" >&2; exit 1; }
    rsvg-convert -w $W -h $H -b white "$svg" -o "$TMP/$name.png"
    convert "$TMP/$name.png" -background white -alpha remove -alpha off \
        -dither None -colors $((1 << bpp)) -compress None "BMP3:$TMP/$name.bmp"
    python3 "$TMP/repack.py" "$TMP/$name.bmp" "$OUT/$name.bmp" "$bpp"
    check "$OUT/$name.bmp" "$bpp"
    n=$((n + 1))
done <<'EOF'
AUSTRIA     at 4
AUSTRLIA    au 4
BELGIUM     be 4
CANADA      ca 4
CHINA       cn 4
CZECHREP    cz 4
DENMARK     dk 4
FINLAND     fi 8
FRANCE      fr 4
GERMANY     de 8
GREECE      gr 4
HONGKONG    hk 4
HUNGARY     hu 8
ICELAND     is 4
IRELAND     ie 4
ITALY       it 8
JAPAN       jp 4
KOREA       kr 4
MALAYSIA    my 4
MEXICO      mx 8
NETHERLAN   nl 8
NEWZEALA    nz 4
NORWAY      no 4
PHILIPPI    ph 4
PORTUGAL    pt 4
SINGAPOR    sg 4
SOUTHAFRICA za 8
SPAIN       es 4
SWEDEN      se 8
SWITERLA    ch 4
TAIWAN      tw 4
THAILAN     th 4
TURKEY      tr 4
UK          gb 4
USA         us 4
EOF

[ $n = 35 ] || { echo "make_flags: made $n flags, want 35" >&2; exit 1; }
echo "make_flags: wrote $n flags to $OUT"
