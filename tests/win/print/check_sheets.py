"""Finds on Ghostscript's rendering of a printed file what the printing program says it put
there. Usage: check_sheets.py WORK, where WORK holds sheet1.pgm, sheet2.pgm, ... and
layout.txt:

    caps DPI HORZRES VERTRES PAPERWIDTH PAPERHEIGHT OFFSETX OFFSETY DPIY
    rect SHEET LEFT TOP RIGHT BOTTOM   a filled rectangle, alone in its band of rows
    box SHEET LEFT TOP RIGHT BOTTOM    ink that fills exactly this box (a picture, a line)
    ink SHEET LEFT TOP RIGHT BOTTOM    text from the left of this box: ink inside it starting
                                       within two design pixels of its left edge, none in the
                                       two design pixels left of it

Positions are in paper pixels at the printer's resolution; a pixel of tolerance."""
import pathlib
import sys

work = pathlib.Path(sys.argv[1])


def sheet(path):
    data = path.read_bytes()
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maximum; comments may come between
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b'#':
            pos = data.index(b'\n', pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def ink_box(width, height, pixels, left, top, right, bottom):
    """The bounding box of the dark pixels in the area, or None."""
    xs, ys = [], []
    for y in range(max(top, 0), min(bottom, height)):
        row = pixels[y * width + max(left, 0):y * width + min(right, width)]
        dark = [i for i, v in enumerate(row) if v < 128]
        if dark:
            xs += [dark[0] + max(left, 0), dark[-1] + max(left, 0)]
            ys.append(y)
    if not ys:
        return None
    return min(xs), min(ys), max(xs) + 1, max(ys) + 1


lines = [l.split() for l in (work / 'layout.txt').read_text().split('\n') if l.strip()]
caps = [int(v) for v in lines[0][1:]]
print('print: dpi %d, printable %dx%d, paper %dx%d, offset %d,%d' % tuple(caps[:7]))
sheets = sorted(work.glob('sheet*.pgm'), key=lambda p: int(p.stem[5:]))
rendered = {}
failed = False
printed = max(int(l[1]) for l in lines[1:])
if len(sheets) < printed:
    print('print: %d sheets rendered, %d expected' % (len(sheets), printed))
    failed = True
for kind, page, *edges in lines[1:]:
    left, top, right, bottom = (int(v) for v in edges[:4])
    what = ' '.join(edges[4:])
    path = work / ('sheet%s.pgm' % page)
    if not path.exists():
        failed = True
        continue
    if page not in rendered:
        rendered[page] = sheet(path)
        if rendered[page][:2] != (caps[3], caps[4]):
            print('print: sheet %s is %dx%d' % (page, *rendered[page][:2]))
            failed = True
    width, height, pixels = rendered[page]
    if kind == 'rect':
        found = ink_box(width, height, pixels, 0, top - 5, width, bottom + 5)
        ok = found is not None and all(abs(a - b) <= 1 for a, b in zip(found, (left, top, right, bottom)))
    elif kind == 'box':
        m = 3  # about a design pixel around the box: whatever stands there is another's
        found = ink_box(width, height, pixels, left - m, top - m, right + m, bottom + m)
        ok = found is not None and all(abs(a - b) <= 1 for a, b in zip(found, (left, top, right, bottom)))
    else:
        pixel = (caps[7] + 95) // 96
        found = ink_box(width, height, pixels, left, top, right, bottom)
        before = ink_box(width, height, pixels, left - 2 * pixel, top, left, bottom)
        ok = found is not None and found[0] - left <= 2 * pixel and before is None
    label = kind + (' ' + what if what else '')
    print('print: sheet %s %s at %s, found %s%s' % (page, label, (left, top, right, bottom), found,
                                                   '' if ok else ' MISPLACED'))
    failed = failed or not ok
sys.exit(1 if failed else 0)
