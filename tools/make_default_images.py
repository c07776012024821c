#!/usr/bin/python3
"""Makes the images the viewer needs at start and no game archive holds:

  base/font_arial.tga  the bitmap font: 256 x 256, a 16 x 16 grid of 16-pixel cells. Rows 0-7
                       hold the codes 32 to 159 in Liberation Sans, rows 8-15 the same codes in
                       Liberation Sans Bold. White antialiased glyphs on black, no alpha: the
                       font is drawn additively.
  base/console.tga     the console background: 256 x 256, dark blue-grey with a faint pattern,
                       so that white and grey text stays legible on it.

Needs Pillow (Debian: python3-pil) and fonts-liberation. The output depends only on those
fonts and this script, so running it again gives the same files.
Usage: tools/make_default_images.py [output folder, default base/]
"""
import os
import sys

from PIL import Image, ImageDraw, ImageFont

FONT_DIR = "/usr/share/fonts/truetype/liberation"
CELL = 16
# The pen advances two thirds of a cell: glyphs are centred in that slot and wider ones narrowed.
MAX_INK_WIDTH = 11
BASELINE = 12
SIZE = 15
WIDEN = 1.15


def glyph_text(code):
    """The character for a code of the grid; codes 127 to 159 follow Windows-1252."""
    if code == 127:
        return ""
    try:
        return bytes([code]).decode("cp1252")
    except UnicodeDecodeError:
        return ""


def draw_glyph(sheet, font, text, cell_x, cell_y):
    if not text.strip():
        return
    scratch = Image.new("L", (CELL * 3, CELL), 0)
    ImageDraw.Draw(scratch).text((CELL, BASELINE), text, fill=255, font=font, anchor="ls")
    box = scratch.getbbox()
    if not box:
        return
    left, right = box[0], box[2]
    ink = scratch.crop((left, 0, right, CELL))
    # cells are drawn 14 x 12 pixels from 16 x 16 texels: widening the ink makes up for the
    # stronger vertical squeeze; glyphs wider than the slot are narrowed into it
    width = min(MAX_INK_WIDTH, max(1, round(ink.width * WIDEN)))
    if width != ink.width:
        ink = ink.resize((width, CELL), Image.LANCZOS)
    # every glyph is centred in the slot the pen advance gives it (about 10 of 16 texels)
    sheet.paste(ink, (cell_x + (MAX_INK_WIDTH - ink.width) // 2, cell_y))


def make_font():
    sheet = Image.new("L", (CELL * 16, CELL * 16), 0)
    faces = [ImageFont.truetype(os.path.join(FONT_DIR, name), SIZE)
             for name in ("LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf")]
    for half, font in enumerate(faces):
        for index in range(128):
            cell = half * 128 + index
            draw_glyph(sheet, font, glyph_text(32 + index), (cell % 16) * CELL, (cell // 16) * CELL)
    return sheet.convert("RGB")


def make_console():
    size = 256
    image = Image.new("RGB", (size, size))
    pixels = image.load()
    for y in range(size):
        for x in range(size):
            # a vertical fade with a soft diagonal weave; all channels stay below 48
            weave = 4 if ((x + y) // 8) % 2 == 0 else 0
            shade = 14 + (y * 16) // size + weave
            pixels[x, y] = (shade, shade + 4, shade + 12)
    return image


def write_tga(image, path):
    """Uncompressed 24-bit TGA, rows stored bottom first (descriptor 0)."""
    width, height = image.size
    header = bytes([0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                    width & 255, width >> 8, height & 255, height >> 8, 24, 0])
    rows = []
    data = image.tobytes()
    for y in range(height - 1, -1, -1):
        row = data[y * width * 3:(y + 1) * width * 3]
        bgr = bytearray(row)
        bgr[0::3], bgr[2::3] = row[2::3], row[0::3]
        rows.append(bytes(bgr))
    with open(path, "wb") as out:
        out.write(header + b"".join(rows))


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "base")
    os.makedirs(folder, exist_ok=True)
    write_tga(make_font(), os.path.join(folder, "font_arial.tga"))
    write_tga(make_console(), os.path.join(folder, "console.tga"))


if __name__ == "__main__":
    main()
