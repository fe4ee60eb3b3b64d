#!/usr/bin/env python3
"""Checks a picture of the calculator window against the window's geometry.

Usage: check_window_picture.py PICTURE.ppm SCALE

PICTURE is the window's client area as a binary PPM (P6), grabbed at the scale factor SCALE.
The geometry is in twips (15 twips make one pixel at scale 1), each control placed inside its
container. The picture must have the window's size; each framed control (box, list, button) must
have its outline on the edges of its rectangle, to one pixel; each label's text must lie in its
rectangle with the label's alignment; the two frames' borders, the fill colours of the boxes
(the colour of most of a box's pixels, so that the boxes may show text) and the red caption of
the lower frame must be where the geometry puts them; the two hidden boxes must leave no trace. Prints what differs and exits with status 1 if anything does.
"""
import sys

# name: (container, left, top, width, height, kind) in twips; kinds are checked as follows:
# frame: left, right and bottom border; white, window, dark: a box (or list) with that fill;
# button: a push button; centred, left: a label's text and its alignment; hidden: nothing drawn.
CONTROLS = {
    "Frame1": ("Form1", 120, 120, 9855, 4575, "frame"),
    "Label1": ("Frame1", 120, 480, 2175, 375, "centred"),
    "Combo4": ("Frame1", 2400, 480, 7335, 345, "white"),
    "Label2": ("Frame1", 120, 1080, 1935, 375, "centred"),
    "Combo5": ("Frame1", 2400, 1080, 1695, 345, "white"),
    "Text10": ("Frame1", 4920, 1080, 1815, 285, "hidden"),
    "Text4": ("Frame1", 7680, 1200, 1455, 285, "hidden"),
    "Label3": ("Frame1", 240, 1680, 1815, 375, "centred"),
    "Text5": ("Frame1", 2400, 1680, 1695, 315, "white"),
    "Combo6": ("Frame1", 4200, 1680, 1335, 345, "white"),
    "Label5": ("Frame1", 5640, 1680, 2295, 375, "centred"),
    "Text6": ("Frame1", 8040, 1680, 1575, 330, "window"),
    "Label4": ("Frame1", 240, 2160, 1815, 375, "centred"),
    "Text7": ("Frame1", 2400, 2160, 1695, 315, "white"),
    "Label7": ("Frame1", 4200, 2160, 975, 375, "left"),
    "Label6": ("Frame1", 5520, 2160, 2415, 375, "centred"),
    "Text9": ("Frame1", 8040, 2160, 1575, 360, "window"),
    "Frame5": ("Frame1", 240, 2640, 9375, 1695, "frame"),
    "Command2": ("Frame5", 240, 480, 2655, 375, "button"),
    "Text8": ("Frame5", 3000, 480, 1455, 375, "dark"),
    "Command3": ("Frame5", 4920, 480, 2655, 375, "button"),
    "Text11": ("Frame5", 7680, 480, 1455, 375, "dark"),
    "Command5": ("Frame5", 240, 1080, 4215, 375, "button"),
    "Command6": ("Frame5", 4920, 1080, 4215, 375, "button"),
}
CLIENT_AREA = (10125, 4845)  # twips
TWIPS_PER_PIXEL = 15

EDGE = 30  # colour difference (sum over red, green, blue) that makes an outline or a border
INK = 90  # colour difference from the background that makes a pixel of text


class Picture:
    def __init__(self, path):
        with open(path, "rb") as file:
            data = file.read()
        fields, offset = [], 0
        while len(fields) < 4:  # magic, width, height, maximum; comments are not expected
            while data[offset:offset + 1].isspace():
                offset += 1
            end = offset
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[offset:end])
            offset = end
        if fields[0] != b"P6" or fields[3] != b"255":
            sys.exit(f"{path} is not an 8-bit binary PPM picture")
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[offset + 1:]

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])


def difference(a, b):
    return sum(abs(p - q) for p, q in zip(a, b))


def rectangles(scale):
    """Each control's rectangle in picture pixels: left, top, right, bottom (inclusive)."""
    result = {"Form1": (0, 0, CLIENT_AREA[0] // TWIPS_PER_PIXEL * scale - 1,
                        CLIENT_AREA[1] // TWIPS_PER_PIXEL * scale - 1)}
    for name, (container, left, top, width, height, _) in CONTROLS.items():
        origin_x, origin_y = result[container][:2]
        x = origin_x + left // TWIPS_PER_PIXEL * scale
        y = origin_y + top // TWIPS_PER_PIXEL * scale
        result[name] = (x, y, x + width // TWIPS_PER_PIXEL * scale - 1,
                        y + height // TWIPS_PER_PIXEL * scale - 1)
    return result


def fill(picture, area, scale):
    """The colour of most pixels inside area, 3 pixels in from its edges at scale 1: a box's
    fill, whatever text it shows."""
    left, top, right, bottom = area
    inset = 3 * scale
    counts = {}
    for y in range(top + inset, bottom - inset + 1):
        for x in range(left + inset, right - inset + 1):
            colour = picture.at(x, y)
            counts[colour] = counts.get(colour, 0) + 1
    return max(counts, key=counts.get)


def first_change(picture, start, step):
    """The first point from start, moving by step, whose colour differs from start's."""
    x, y = start
    background = picture.at(x, y)
    while 0 <= x < picture.width and 0 <= y < picture.height:
        if difference(picture.at(x, y), background) >= EDGE:
            return x, y
        x, y = x + step[0], y + step[1]
    return None


def outline(picture, rect, scale, sides="ltrb"):
    """Edges found by walking towards the rectangle from 4 pixels outside it, along the middle
    lines: {side: coordinate}; a side whose walk finds nothing is left out."""
    left, top, right, bottom = rect
    middle_x, middle_y = (left + right) // 2, (top + bottom) // 2
    away = 4 * scale
    walks = {
        "l": ((left - away, middle_y), (1, 0), 0),
        "t": ((middle_x, top - away), (0, 1), 1),
        "r": ((right + away, middle_y), (-1, 0), 0),
        "b": ((middle_x, bottom + away), (0, -1), 1),
    }
    found = {}
    for side in sides:
        start, step, axis = walks[side]
        point = first_change(picture, start, step)
        if point:
            found[side] = point[axis]
    return found


def ink_box(picture, area, background):
    """Bounding box (left, top, right, bottom) of the text pixels inside area, or None."""
    left, top, right, bottom = area
    xs, ys = [], []
    for y in range(max(top, 0), min(bottom, picture.height - 1) + 1):
        for x in range(max(left, 0), min(right, picture.width - 1) + 1):
            if difference(picture.at(x, y), background) >= INK:
                xs.append(x)
                ys.append(y)
    return (min(xs), min(ys), max(xs), max(ys)) if xs else None


def check(picture, scale):
    problems = []
    rects = rectangles(scale)
    size = (rects["Form1"][2] + 1, rects["Form1"][3] + 1)
    if (picture.width, picture.height) != size:
        return [f"the picture is {picture.width}x{picture.height}, the window {size[0]}x{size[1]}"]

    window_colour = picture.at(2 * scale, 2 * scale)
    frame_colour = picture.at(rects["Frame1"][0] + 4 * scale, rects["Label1"][1] - 4 * scale)
    fills = {}
    for name, (_, _, _, _, _, kind) in CONTROLS.items():
        rect = rects[name]
        left, top, right, bottom = rect
        middle_x = (left + right) // 2
        expected = dict(zip("ltrb", rect))

        if kind in ("frame", "button", "white", "window", "dark"):
            sides = "lrb" if kind == "frame" else "ltrb"  # a frame's top depends on its caption
            found = outline(picture, rect, scale, sides)
            wrong = [side for side in sides
                     if side not in found or abs(found[side] - expected[side]) > scale]
            if wrong:
                shown = ", ".join(f"{s}={found.get(s, 'none')} (not {expected[s]})" for s in wrong)
                problems.append(f"{name}: edges {shown}")

        if kind == "white":  # the edit field, left of any list button
            colour = fill(picture, (left, top, middle_x, bottom), scale)
            if min(colour) < 0xF8:
                problems.append(f"{name}: edit field is {colour}, not white")
        elif kind in ("window", "dark"):
            fills.setdefault(kind, []).append((name, fill(picture, rect, scale)))
        elif kind == "hidden":
            if any(difference(picture.at(x, y), frame_colour) >= EDGE
                   for y in range(top, bottom + 1) for x in range(left, right + 1)):
                problems.append(f"{name}: the hidden box shows")
        elif kind in ("centred", "left"):
            margin = 3 * scale
            ink = ink_box(picture, (left - margin, top - margin, right + margin, bottom + margin),
                          frame_colour)
            if ink is None:
                problems.append(f"{name}: no caption")
                continue
            inside = (ink[0] >= left and ink[1] >= top and ink[2] <= right and ink[3] <= bottom)
            if kind == "centred":
                placed = abs((ink[0] + ink[2]) - (left + right)) <= 2 * margin
            else:
                placed = ink[0] - left <= margin
            placed = placed and ink[1] - top <= 2 * margin  # aligned to the top
            if not (inside and placed):
                problems.append(f"{name}: caption at {ink}, label at {rect} ({kind})")

    for name, colour in fills.get("window", []):
        if difference(colour, window_colour) >= EDGE:
            problems.append(f"{name}: fill {colour} is not the window's colour {window_colour}")
    for name, colour in fills.get("dark", []):
        if difference(colour, window_colour) < 3 * 40:
            problems.append(f"{name}: fill {colour} is not a dark grey")
    if len({colour for _, colour in fills.get("dark", [])}) > 1:
        problems.append(f"the result boxes differ in fill: {fills['dark']}")

    frame5 = rects["Frame5"]
    red_area = (frame5[0], frame5[1], frame5[2], frame5[1] + 20 * scale)
    red = [x for y in range(red_area[1], red_area[3] + 1)
           for x in range(red_area[0], red_area[2] + 1)
           if picture.at(x, y)[0] > 200 and max(picture.at(x, y)[1:]) < 90]
    if not red or min(red) > frame5[0] + 4 * scale:
        problems.append("Frame5: no red caption at its top left")
    return problems


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    scale = int(sys.argv[2])
    problems = check(Picture(sys.argv[1]), scale)
    for problem in problems:
        print(f"scale {scale}: {problem}", file=sys.stderr)
    if problems:
        return 1
    print(f"scale {scale}: the window's size and its {len(CONTROLS)} controls match the geometry")
    return 0


if __name__ == "__main__":
    sys.exit(main())
