"""Copies ICU's common data package out of a shared data library (libicudata.so).

ICU links its data into libicudata as one symbol, icudt<major>_dat, holding a
package that `icupkg` reads and writes. Usage:

    extract_common_data.py LIBICUDATA SYMBOL OUTPUT.dat
"""

import struct
import sys


def symbol_bytes(image: bytes, wanted: str) -> bytes:
    """The bytes of the dynamic symbol `wanted` in a little-endian ELF64 image."""
    if image[:4] != b"\x7fELF" or image[4] != 2 or image[5] != 1:
        raise SystemExit("not a little-endian ELF64 shared object")
    (shoff,) = struct.unpack_from("<Q", image, 0x28)
    entsize, count = struct.unpack_from("<HH", image, 0x3A)
    # name, type, flags, address, offset, size, link, info, alignment, entry size
    sections = [struct.unpack_from("<IIQQQQIIQQ", image, shoff + i * entsize) for i in range(count)]
    for dynsym in (s for s in sections if s[1] == 11):  # SHT_DYNSYM
        strings = sections[dynsym[6]][4]
        for offset in range(dynsym[4], dynsym[4] + dynsym[5], 24):
            name_at, _, _, index, value, size = struct.unpack_from("<IBBHQQ", image, offset)
            end = image.index(b"\0", strings + name_at)
            if image[strings + name_at : end].decode() == wanted:
                holder = sections[index]
                start = value - holder[3] + holder[4]
                return image[start : start + size]
    raise SystemExit(f"no symbol {wanted}")


def main() -> None:
    library, symbol, output = sys.argv[1:]
    with open(library, "rb") as f:
        data = symbol_bytes(f.read(), symbol)
    with open(output, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
