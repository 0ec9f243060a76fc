#!/usr/bin/env python3
"""Writes runtime/text/unicode_tables.cpp: the display-width range tables and the
case-mapping pair lists, from the Unicode Character Database files of Debian's
unicode-data package (/usr/share/unicode).

Run it by hand when the tables must change; the build never runs it. It checks
its own output against the figures the runtime relies on and stops with an
error when the data disagrees, so a changed database cannot slip in unnoticed.

    apt-get install -y unicode-data
    python3 scripts/gen-unicode-tables.py [--ucd DIR] [--out FILE]
"""

import argparse
import os
import sys

# Case pairs are limited to the characters assigned by this version, so that
# the lists keep their fixed sizes whatever database is installed.
CASE_AGE_LIMIT = (11, 0)
EXPECTED_UPPER_BMP = 1175
EXPECTED_LOWER_BMP = 1158
EXPECTED_ABOVE_BMP = 225

# Hangul medial vowels and final consonants: they join the preceding syllable
# on screen, so they take no column of their own.
HANGUL_JAMO_ZERO_WIDTH = [(0x1160, 0x11FF), (0xD7B0, 0xD7C6), (0xD7CB, 0xD7FB)]


def fail(message):
    sys.exit("gen-unicode-tables: " + message)


def check(condition, message):
    if not condition:
        fail(message)


def property_lines(path):
    """Yields (first, last, fields) for each data line of a UCD property file."""
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            fields = [x.strip() for x in line.split(";")]
            first, _, last = fields[0].partition("..")
            yield int(first, 16), int(last or first, 16), fields[1:]


def read_unicode_data(ucd):
    """Code point -> (general category, simple upper, simple lower)."""
    chars = {}
    range_start = None
    with open(os.path.join(ucd, "UnicodeData.txt"), encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split(";")
            cp = int(fields[0], 16)
            name, category = fields[1], fields[2]
            upper = int(fields[12], 16) if fields[12] else None
            lower = int(fields[13], 16) if fields[13] else None
            if name.endswith(", First>"):
                range_start = cp
                continue
            if name.endswith(", Last>"):
                for c in range(range_start, cp + 1):
                    chars[c] = (category, None, None)
                continue
            chars[cp] = (category, upper, lower)
    return chars


def read_ages(ucd):
    ages = {}
    for first, last, fields in property_lines(os.path.join(ucd, "DerivedAge.txt")):
        version = tuple(int(x) for x in fields[0].split("."))
        for cp in range(first, last + 1):
            ages[cp] = version
    return ages


def case_pairs(chars, ages):
    """The simple (one to one) mappings of UnicodeData.txt. A character whose
    case changes only through a full mapping of several code points (U+00DF
    upper-cases to "SS") keeps its case: the first code point alone would
    turn one word into another."""

    def assigned(cp):
        return cp in ages and ages[cp] <= CASE_AGE_LIMIT

    upper_pairs, lower_pairs = [], []
    for cp in sorted(chars):
        _, upper, lower = chars[cp]
        if upper is not None and upper != cp and assigned(cp) and assigned(upper):
            upper_pairs.append((cp, upper))
        if lower is not None and lower != cp and assigned(cp) and assigned(lower):
            lower_pairs.append((cp, lower))
    return upper_pairs, lower_pairs


def merge(code_points):
    """Sorted code points -> list of inclusive ranges, adjacent ones joined."""
    ranges = []
    for cp in sorted(set(code_points)):
        if ranges and ranges[-1][1] + 1 == cp:
            ranges[-1][1] = cp
        else:
            ranges.append([cp, cp])
    return [tuple(r) for r in ranges]


def width_tables(ucd, chars):
    zero = [cp for cp, (cat, _, _) in chars.items() if cat in ("Mn", "Me")]
    for first, last in HANGUL_JAMO_ZERO_WIDTH:
        zero.extend(range(first, last + 1))

    wide, ambiguous = [], []
    for first, last, fields in property_lines(os.path.join(ucd, "EastAsianWidth.txt")):
        if fields[0] in ("W", "F"):
            wide.extend(range(first, last + 1))
        elif fields[0] == "A":
            ambiguous.extend(range(first, last + 1))
    # Emoji shown as pictures are East Asian Wide already. The regional
    # indicators are not: a pair of them makes one two-column flag, so each
    # counts one column, as terminals count them.
    return merge(zero), merge(wide), merge(ambiguous)


def in_table(ranges, cp):
    return any(first <= cp <= last for first, last in ranges)


def self_check(upper_bmp, lower_bmp, upper_above, lower_above, zero, wide, ambiguous):
    check(len(upper_bmp) == EXPECTED_UPPER_BMP,
          f"{len(upper_bmp)} to-upper BMP pairs, expected {EXPECTED_UPPER_BMP}")
    check(len(lower_bmp) == EXPECTED_LOWER_BMP,
          f"{len(lower_bmp)} to-lower BMP pairs, expected {EXPECTED_LOWER_BMP}")
    check(len(lower_above) == EXPECTED_ABOVE_BMP,
          f"{len(lower_above)} to-lower pairs above the BMP, expected {EXPECTED_ABOVE_BMP}")
    check(upper_above == sorted((b, a) for a, b in lower_above),
          "the to-upper pairs above the BMP are not the to-lower pairs reversed")
    check(upper_bmp[0] == (0x61, 0x41) and upper_bmp[-1] == (0xFF5A, 0xFF3A),
          "unexpected first or last to-upper BMP pair")
    check(lower_bmp[0] == (0x41, 0x61) and lower_bmp[-1] == (0xFF3A, 0xFF5A),
          "unexpected first or last to-lower BMP pair")
    check(lower_above[0] == (0x10400, 0x10428) and lower_above[-1] == (0x1E921, 0x1E943),
          "unexpected first or last to-lower pair above the BMP")
    upper, lower = dict(upper_bmp), dict(lower_bmp)
    for cp in (0xDF, 0x149, 0x1E96):
        check(cp not in upper, f"U+{cp:04X} has no simple upper-case mapping")
    check(lower.get(0x130) == 0x69, "U+0130 should map down to U+0069")

    check(zero[0] == (0x300, 0x36F) and zero[-1] == (0xE0100, 0xE01EF),
          "unexpected first or last zero-width range")
    check(wide[0] == (0x1100, 0x115F) and wide[-1] == (0x30000, 0x3FFFD),
          "unexpected first or last wide range")
    check(ambiguous[0] == (0xA1, 0xA1) and ambiguous[-1] == (0x100000, 0x10FFFD),
          "unexpected first or last ambiguous range")
    for cp in (0xAD, 0x200B, 0x200D):
        check(not in_table(zero, cp), f"U+{cp:04X} must not be zero width")
    for cp in (0x3000, 0xFF01, 0x231A, 0x231B, 0x4E00, 0x1F600, 0x1F3FB, 0x1F3FF):
        check(in_table(wide, cp), f"U+{cp:04X} should be wide")
    for cp in (0x301, 0xFE0F, 0x1160, 0xD7B0, 0xD7FB):
        check(in_table(zero, cp), f"U+{cp:04X} should be zero width")


def c_array(name, values, comment):
    lines = [f"// {comment}", f"constexpr uint32_t {name}[] = {{"]
    for i in range(0, len(values), 8):
        lines.append("    " + ", ".join(f"0x{v:05X}" for v in values[i:i + 8]) + ",")
    lines.append("};")
    return "\n".join(lines)


def flat(pairs):
    return [v for pair in pairs for v in pair]


def render(upper_bmp, lower_bmp, upper_above, lower_above, zero, wide, ambiguous):
    arrays = [
        ("zero_width_bounds", flat(zero),
         "Combining marks and Hangul medial and final jamo: first, last, first, last, ..."),
        ("wide_bounds", flat(wide),
         "East Asian Wide and Fullwidth characters and emoji shown as pictures."),
        ("ambiguous_bounds", flat(ambiguous),
         "East Asian Ambiguous characters, private-use planes included."),
        ("to_upper_bmp_pairs", flat(upper_bmp), "(lower, upper) pairs below U+10000."),
        ("to_lower_bmp_pairs", flat(lower_bmp), "(upper, lower) pairs below U+10000."),
        ("to_upper_above_bmp_pairs", flat(upper_above),
         "(lower, upper) pairs above the BMP, sorted by their first member."),
        ("to_lower_above_bmp_pairs", flat(lower_above),
         "(upper, lower) pairs above the BMP, sorted by their first member."),
    ]
    out = [
        "// GENERATED by scripts/gen-unicode-tables.py from the Unicode Character",
        "// Database. Do not edit: change the script and run it again.",
        '#include <iterator>',
        "",
        '#include "runtime/text/unicode.h"',
        "",
        "namespace vek::unicode {",
        "namespace {",
        "",
    ]
    for name, values, comment in arrays:
        out.append(c_array(name, values, comment))
        out.append("")
    out.append("}  // namespace")
    out.append("")
    for name, table in (("zero_width", "zero_width_bounds"), ("wide", "wide_bounds"),
                        ("ambiguous", "ambiguous_bounds")):
        out.append(f"const RangeTable {name}{{{table}, std::size({table})}};")
    out.append("")
    for name in ("to_upper_bmp", "to_lower_bmp", "to_upper_above_bmp", "to_lower_above_bmp"):
        out.append(f"const PairList {name}{{{name}_pairs, std::size({name}_pairs) / 2}};")
    out.append("")
    out.append("}  // namespace vek::unicode")
    return "\n".join(out) + "\n"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--ucd", default="/usr/share/unicode")
    parser.add_argument("--out", default=os.path.join(here, "..", "runtime", "text", "unicode_tables.cpp"))
    args = parser.parse_args()
    if not os.path.isfile(os.path.join(args.ucd, "UnicodeData.txt")):
        fail(f"no UnicodeData.txt under {args.ucd} (apt-get install unicode-data)")

    chars = read_unicode_data(args.ucd)
    upper, lower = case_pairs(chars, read_ages(args.ucd))
    upper_bmp = [p for p in upper if p[0] < 0x10000]
    lower_bmp = [p for p in lower if p[0] < 0x10000]
    upper_above = [p for p in upper if p[0] >= 0x10000]
    lower_above = [p for p in lower if p[0] >= 0x10000]
    zero, wide, ambiguous = width_tables(args.ucd, chars)

    self_check(upper_bmp, lower_bmp, upper_above, lower_above, zero, wide, ambiguous)
    with open(args.out, "w", encoding="utf-8") as f:
        f.write(render(upper_bmp, lower_bmp, upper_above, lower_above, zero, wide, ambiguous))
    print(f"{os.path.normpath(args.out)}: {len(zero)} zero-width, {len(wide)} wide, "
          f"{len(ambiguous)} ambiguous ranges; {len(upper_bmp)} + {len(lower_bmp)} BMP "
          f"and {len(lower_above)} above-BMP case pairs")


if __name__ == "__main__":
    main()
