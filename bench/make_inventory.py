#!/usr/bin/python3
"""Writes a random inventory of sealed sources as CSV, the same for the same seed.

Usage: make_inventory.py ROWS OUT [--seed N] [--locations N] [--format csv|xlsx]

Columns: id, location, radionuclide, activity, unit, manufactured, device. The radionuclides are
all those with a decay constant; activities span six decades in each of the nine units; dates
come ISO, month first with four- or two-digit years, or empty. The first rows visit every
location once, so inventories of any size with the same seed and number of locations (and at
least that many rows) share the same locations. Some locations and devices need quoting.

With --format xlsx the same rows go to the one sheet of an .xlsx workbook, written by openpyxl's
write-only mode (Debian's python3-openpyxl): the activities as number cells, the rest as text.
"""
import argparse
import csv
import random

# Every radionuclide with a decay constant, as the tables name them.
RADIONUCLIDES = ("Co-60", "Ge-68", "Sr-90", "Cs-137", "Pu-238", "Ir-192", "Se-75", "Yb-169",
                 "Am-241", "Am-241/Be", "Cf-252", "Tm-170", "Kr-85", "Ra-226", "I-125", "Po-210",
                 "Co-57")
UNITS = ("uCi", "mCi", "Ci", "kCi", "Bq", "kBq", "MBq", "GBq", "TBq")
PLACES = ("store", "hot lab", "bunker", "gauge room", "truck 2", "irradiator room",
          "basement, room 4", 'vault "B"')
DEVICES = ("radiography camera", "moisture/density gauge", "level gauge", "well-logging tool",
           "blood irradiator", "HDR afterloader", "calibration source", 'check source, "spare"',
           "teletherapy head", "thickness gauge", "")


def activity_text(rng):
    value = 10 ** rng.uniform(-2, 4)
    style = rng.randrange(3)
    if style == 0:
        return f"{value:.3g}"
    if style == 1:
        return f"{value:.2f}"
    return f"{value:.3e}"


def date_text(rng):
    style = rng.randrange(5)
    if style == 0:
        return ""
    year, month, day = rng.randint(1990, 2026), rng.randint(1, 12), rng.randint(1, 28)
    if year == 2026:
        month = min(month, 11)
    if style in (1, 2):
        return f"{year:04d}-{month:02d}-{day:02d}"
    if style == 3:
        return f"{month}/{day}/{year}"
    return f"{month}/{day}/{year % 100:02d}"


HEADER = ("id", "location", "radionuclide", "activity", "unit", "manufactured", "device")


def rows(count, seed, location_count):
    rng = random.Random(seed)
    locations = [f"Site {n:04d} {rng.choice(PLACES)}" for n in range(1, location_count + 1)]
    for row in range(count):
        location = locations[row] if row < len(locations) else rng.choice(locations)
        yield (f"S{row + 1:07d}", location, rng.choice(RADIONUCLIDES), activity_text(rng),
               rng.choice(UNITS), date_text(rng), rng.choice(DEVICES))


def write_xlsx(path, inventory):
    import openpyxl  # only for this format

    workbook = openpyxl.Workbook(write_only=True)
    sheet = workbook.create_sheet("Inventory")
    sheet.append(HEADER)
    for row in inventory:
        sheet.append([float(text) if column == 3 else text or None
                      for column, text in enumerate(row)])
    workbook.save(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.partition("\n")[0])
    parser.add_argument("rows", type=int)
    parser.add_argument("out")
    parser.add_argument("--seed", type=int, default=20261207)
    parser.add_argument("--locations", type=int, default=500)
    parser.add_argument("--format", choices=("csv", "xlsx"), default="csv")
    args = parser.parse_args()

    inventory = rows(args.rows, args.seed, args.locations)
    if args.format == "xlsx":
        write_xlsx(args.out, inventory)
        return
    with open(args.out, "w", newline="", encoding="utf-8") as out:
        writer = csv.writer(out, lineterminator="\n")
        writer.writerow(HEADER)
        writer.writerows(inventory)


if __name__ == "__main__":
    main()
