#!/usr/bin/python3
"""Reads what Windows shows in a program's file properties and checks it.

    check-windows-resources.py <program.exe> <version> <product name> <maker>

The file is a 64-bit program; its version resource names the product and the maker and carries the
version, as text and in the numeric fields; its icon holds the sizes Windows shows (16, 32, 48 and
256 pixels). Prints what it read; exits 1 on the first mismatch it reports.
"""
import struct
import sys

import pefile

NEEDED_ICON_SIZES = {16, 32, 48, 256}


def version_strings(pe):
    strings = {}
    for info in getattr(pe, "FileInfo", [[]])[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    return strings


def fixed_versions(pe):
    fixed = pe.VS_FIXEDFILEINFO[0]

    def text(ms, ls):
        return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"

    return (text(fixed.FileVersionMS, fixed.FileVersionLS),
            text(fixed.ProductVersionMS, fixed.ProductVersionLS))


def icon_sizes(pe):
    """The image sizes of the first icon group (the one Explorer shows)."""
    group_type = pefile.RESOURCE_TYPE["RT_GROUP_ICON"]
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id != group_type:
            continue
        data_entry = kind.directory.entries[0].directory.entries[0].data.struct
        data = pe.get_data(data_entry.OffsetToData, data_entry.Size)
        _reserved, _type, count = struct.unpack_from("<HHH", data, 0)
        # Each GRPICONDIRENTRY is 14 bytes; a width of 0 stands for 256.
        return sorted({data[6 + 14 * i] or 256 for i in range(count)})
    return []


def main():
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    path, version, product, maker = sys.argv[1:]
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])

    numeric = version + ".0"
    strings = version_strings(pe)
    file_version, product_version = fixed_versions(pe) if hasattr(pe, "VS_FIXEDFILEINFO") else ("", "")
    sizes = icon_sizes(pe) if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []
    print(f"check-windows-resources: {path}: machine 0x{pe.FILE_HEADER.Machine:04x}, "
          f"version {file_version} / {product_version}, icon sizes {sizes}, {strings}")

    expected = [
        ("64-bit program", pe.FILE_HEADER.Machine, pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"]),
        ("ProductName", strings.get("ProductName"), product),
        ("CompanyName", strings.get("CompanyName"), maker),
        ("ProductVersion", strings.get("ProductVersion"), version),
        ("FileVersion", strings.get("FileVersion"), version),
        ("numeric file version", file_version, numeric),
        ("numeric product version", product_version, numeric),
    ]
    for what, got, want in expected:
        if got != want:
            print(f"check-windows-resources: {path}: {what} is {got!r}, not {want!r}", file=sys.stderr)
            return 1
    missing = NEEDED_ICON_SIZES - set(sizes)
    if missing:
        print(f"check-windows-resources: {path}: the icon lacks the sizes {sorted(missing)}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
