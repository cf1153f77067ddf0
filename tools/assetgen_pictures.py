"""The game's pictures: block sheet, title, settings, two play backgrounds, banners and faces."""

import math
import random

from assetgen_raster import (Canvas, KEY_SAFE_DARK, bevel_block, draw_block_text, draw_text, key_safe, mix,
                             scale, text_width)

CELL = 20

# Piece colours 1 to 6 (ruby, amber, topaz, emerald, sapphire, amethyst) and 7, rough grey stone.
GEMS = {
    1: (214, 52, 64),
    2: (236, 132, 36),
    3: (228, 198, 48),
    4: (52, 184, 92),
    5: (56, 110, 226),
    6: (164, 78, 214),
    7: (128, 128, 134),
}

WELL_CELL = (24, 27, 38)
WELL_LINE = (34, 38, 52)
SLATE_TOP = (28, 30, 52)
SLATE_BOTTOM = (14, 14, 24)
GOLD = (246, 196, 64)
PARCHMENT = (226, 214, 186)


def settled_block(cv, x0, y0, base, seed):
    """A settled block: the same stone, a shade darker, with a hairline crack."""
    bevel_block(cv, x0, y0, CELL, scale(base, 0.82), depth=2, gloss=False)
    rng = random.Random(seed)
    x, y = x0 + rng.randint(5, 9), y0 + 3
    crack = key_safe(scale(base, 0.4))
    while y < y0 + CELL - 4:
        cv.set(x, y, crack)
        y += 1
        x += rng.choice((-1, 0, 1))
        x = max(x0 + 4, min(x0 + CELL - 5, x))


def empty_cell(cv, x0, y0, face, line):
    cv.rect(x0, y0, CELL, CELL, face)
    cv.rect(x0, y0, CELL, 1, line)
    cv.rect(x0, y0, 1, CELL, line)


def make_block_sheet():
    cv = Canvas(160, 80)
    empty_cell(cv, 0, 0, WELL_CELL, WELL_LINE)
    empty_cell(cv, 0, 20, (18, 20, 30), (40, 44, 62))  # the next-piece box
    for v, base in GEMS.items():
        bevel_block(cv, v * CELL, 0, CELL, base)
        settled_block(cv, v * CELL, 20, base, v)
    # Cursor (0, 40), 40 x 40: a golden arrow pointing at the entry to its right.
    outline = (90, 52, 12)
    arrow = [(6, 8), (24, 20), (6, 32), (11, 20)]
    cv.polygon([(x + 2, y + 2 + 40) for x, y in arrow], (60, 36, 10))
    cv.polygon([(x, y + 40) for x, y in [(4, 6), (28, 20), (4, 34), (10, 20)]], outline)
    cv.polygon([(x, y + 40) for x, y in arrow], GOLD)
    cv.polygon([(x, y + 40) for x, y in [(8, 11), (20, 19), (11, 19)]], (255, 240, 170))
    # Win token (40, 40) and its highlight (70, 40), 30 x 30: a cut gem.
    gem_token(cv, 40, 40, (40, 170, 240), (180, 236, 255), (14, 60, 110))
    gem_token(cv, 70, 40, (255, 236, 120), (255, 255, 236), (150, 100, 20), glow=True)
    # Damage bar (40, 70), 60 x 6.
    cv.rect(40, 70, 60, 6, (110, 16, 20))
    cv.rect(41, 71, 58, 4, (226, 40, 40))
    cv.rect(41, 71, 58, 1, (255, 150, 140))
    return cv


def gem_token(cv, x0, y0, base, light, dark, glow=False):
    cx, cy = x0 + 15, y0 + 15
    if glow:
        for r in range(14, 10, -1):
            cv.ring(cx, cy, r + 0.5, r - 0.5, mix((255, 200, 60), (255, 255, 200), (14 - r) / 4))
    outer = [(cx + 11 * math.cos(a), cy + 11 * math.sin(a)) for a in [math.pi / 2 + i * math.pi / 3 for i in range(6)]]
    cv.polygon([(x + 0.5, y + 0.5) for x, y in outer], dark)
    inner = [(cx + 9 * math.cos(a), cy + 9 * math.sin(a)) for a in [math.pi / 2 + i * math.pi / 3 for i in range(6)]]
    cv.polygon(inner, base)
    top = [(cx, cy - 9), (cx + 7.8, cy - 4.5), (cx, cy), (cx - 7.8, cy - 4.5)]
    cv.polygon(top, light)
    cv.polygon([(cx, cy), (cx + 7.8, cy + 4.5), (cx, cy + 9)], scale(base, 0.7))
    cv.set(int(cx - 3), int(cy - 5), (255, 255, 255))


def stone_wall(cv, x0, y0, w, h, base, seed, brick_w=48, brick_h=24):
    """Dark dressed-stone masonry."""
    rng = random.Random(seed)
    for row, y in enumerate(range(y0, y0 + h, brick_h)):
        offset = (row % 2) * brick_w // 2
        for x in range(x0 - offset, x0 + w, brick_w):
            shade = rng.uniform(0.85, 1.15)
            face = key_safe(scale(base, shade))
            bx, by = max(x, x0), y
            bw = min(x + brick_w, x0 + w) - bx
            bh = min(brick_h, y0 + h - y)
            if bw <= 0 or bh <= 0:
                continue
            cv.rect(bx, by, bw, bh, key_safe(scale(base, 0.55)))
            cv.rect(bx + 1, by + 1, max(0, bw - 2), max(0, bh - 2), face)
            cv.rect(bx + 1, by + 1, max(0, bw - 2), 1, key_safe(scale(face, 1.25)))
    cv.noise(x0, y0, w, h, 5, seed)


def sunken_frame(cv, x0, y0, w, h, t=4):
    for i in range(t):
        c = mix((96, 88, 112), (44, 40, 58), i / t)
        cv.frame(x0 - t + i, y0 - t + i, w + 2 * (t - i), h + 2 * (t - i), c)


def panel(cv, x0, y0, w, h, face, border):
    cv.rect(x0, y0, w, h, border)
    cv.rect(x0 + 2, y0 + 2, w - 4, h - 4, face)
    cv.rect(x0 + 2, y0 + 2, w - 4, 1, mix(face, (255, 255, 255), 0.4))


def make_play_background(two_players):
    cv = Canvas(640, 480)
    tint = (30, 34, 60) if not two_players else (40, 30, 54)
    stone_wall(cv, 0, 0, 640, 480, tint, 11 if not two_players else 12)
    # A shadowed hollow behind each well: wells at (20, 60) and (420, 60), 200 x 400.
    for x in (20, 420):
        sunken_frame(cv, x, 60, 200, 400, 5)
        cv.rect(x, 60, 200, 400, (20, 22, 32))
    # The next-piece boxes: (220, 60) and (320, 60), 100 x 100 each.
    for x in (222, 322):
        cv.rect(x - 2, 58, 100, 104, (60, 56, 80))
    # The timer plate at the top centre, and the score panels.
    panel(cv, 268, 12, 104, 34, (22, 22, 34), (120, 104, 60))
    for x in (226, 326):
        panel(cv, x, 174, 90, 44, (22, 22, 34), (70, 64, 96))
    # Labels.
    draw_text(cv, 20, 40, "1P", 2, (240, 220, 160), shadow=KEY_SAFE_DARK)
    draw_text(cv, 420 + 200 - text_width("CPU" if not two_players else "2P", 2), 40,
              "CPU" if not two_players else "2P", 2, (240, 220, 160), shadow=KEY_SAFE_DARK)
    title_x = 320 - text_width("QUARRY", 1) // 2
    draw_text(cv, title_x, 2, "QUARRY", 1, (150, 140, 190))
    if not two_players:
        # A frame around the computer player's face at (250, 300), 140 x 140.
        sunken_frame(cv, 250, 300, 140, 140, 4)
        cv.vgradient(250, 300, 140, 140, (44, 48, 80), (24, 24, 40))
    else:
        draw_block_text(cv, 320 - text_width("VS", 12) // 2, 320, "VS", 12, [GEMS[1], GEMS[5]])
    return cv


def make_title():
    cv = Canvas(640, 480)
    cv.vgradient(0, 0, 640, 480, (26, 20, 64), (120, 60, 80))
    rng = random.Random(3)
    for _ in range(90):  # stars
        x, y = rng.randrange(640), rng.randrange(200)
        cv.set(x, y, mix((200, 200, 255), (255, 255, 255), rng.random()))
    # Quarry terraces: stepped cliffs, each a little lighter towards the front.
    layers = [
        (250, (70, 48, 60), 36),
        (300, (96, 66, 62), 44),
        (360, (128, 90, 70), 52),
        (420, (156, 114, 82), 64),
    ]
    for i, (top, colour, step) in enumerate(layers):
        pts = [(0, 480), (0, top)]
        x = 0
        y = top
        r = random.Random(20 + i)
        while x < 640:
            x += r.randint(step // 2, step)
            pts.append((x, y))
            y = top + r.randint(-14, 14)
            pts.append((x, y))
        pts += [(640, y), (640, 480)]
        cv.polygon(pts, colour)
        cv.noise(0, top - 20, 640, 480 - top + 20, 4, 40 + i)
    # A pile of cut stones on the lower terrace, and a piece on its way down.
    pile = [(40, 400, 7), (60, 400, 7), (80, 400, 4), (100, 400, 4), (120, 400, 2), (140, 400, 5),
            (60, 380, 1), (80, 380, 4), (100, 380, 2), (120, 380, 2), (80, 360, 6), (100, 360, 3)]
    for x, y, v in pile:
        bevel_block(cv, x, y, 20, GEMS[v])
    for x, y in [(100, 300), (100, 320), (120, 320), (100, 280)]:
        bevel_block(cv, x, y, 20, GEMS[5])
    # The name in gem blocks.
    size = 13
    name = "QUARRY"
    x0 = (640 - text_width(name, size)) // 2
    cv.shade_rect(x0 - 16, 40, text_width(name, size) + 32, 7 * size + 32, (10, 8, 24), 0.45)
    draw_block_text(cv, x0, 56, name, size, [GEMS[1], GEMS[2], GEMS[3], GEMS[4], GEMS[5], GEMS[6]])
    sub = "VERSUS BLOCK PUZZLE"
    draw_text(cv, (640 - text_width(sub, 2)) // 2, 162, sub, 2, (250, 230, 190), shadow=(40, 24, 40))
    # The menu plate: the game writes its two entries in black at (500, 192) and (500, 232),
    # with the cursor at (450, 180) or (450, 220).
    panel(cv, 440, 168, 190, 100, PARCHMENT, (110, 78, 48))
    cv.rect(446, 174, 178, 88, PARCHMENT)
    cv.frame(446, 174, 178, 88, (190, 170, 136))
    hint = "PRESS Z TO START"
    draw_text(cv, (640 - text_width(hint, 2)) // 2, 446, hint, 2, (255, 236, 200), shadow=(60, 30, 30))
    return cv


def make_settings():
    cv = Canvas(640, 480)
    stone_wall(cv, 0, 0, 640, 480, (34, 36, 58), 21)
    cv.shade_rect(0, 0, 640, 480, (8, 8, 16), 0.35)
    draw_block_text(cv, (640 - text_width("SETTINGS", 8)) // 2, 40, "SETTINGS", 8,
                    [GEMS[5], GEMS[4], GEMS[3], GEMS[2], GEMS[1], GEMS[6]])
    # The face of the chosen level sits at (250, 160), 140 x 140.
    sunken_frame(cv, 250, 160, 140, 140, 5)
    cv.vgradient(250, 160, 140, 140, (52, 56, 92), (26, 26, 44))
    # Rows: level at y 320, offset rule at 360, wins needed at 400, start at 440. The game writes
    # the entries from x 100 and puts its cursor 38 pixels to the left of the chosen one.
    for y, label in ((320, "CPU"), (360, "RULE"), (400, "WINS")):
        panel(cv, 58, y - 12, 560, 40, (20, 22, 36), (64, 60, 92))
        draw_text(cv, 4, y + 1, label, 2, (210, 200, 170), shadow=KEY_SAFE_DARK)
    panel(cv, 196, y + 28, 250, 40, (48, 24, 28), (150, 110, 60))
    return cv


def make_banners():
    cv = Canvas(640, 180)
    for x0, word, colours, edge in ((0, "WIN", [GEMS[3], (250, 226, 120)], (84, 18, 30)),
                                    (320, "LOSE", [GEMS[5], GEMS[7]], (20, 30, 70))):
        size = 12 if len(word) == 4 else 16
        w = text_width(word, size)
        tx = x0 + (320 - w) // 2
        ty = (180 - 7 * size) // 2
        # A ribbon behind the word, then the word in blocks with a dark outline.
        cv.rect(x0 + 8, ty - 14, 304, 7 * size + 28, key_safe(edge))
        cv.rect(x0 + 12, ty - 10, 296, 7 * size + 20, key_safe(scale(edge, 1.8)))
        for i in range(0, 296, 8):
            cv.rect(x0 + 12 + i, ty - 10, 4, 3, key_safe(scale(edge, 2.4)))
            cv.rect(x0 + 12 + i, ty + 7 * size + 7, 4, 3, key_safe(scale(edge, 2.4)))
        draw_block_text(cv, tx, ty, word, size, colours)
    return cv


# --- faces ----------------------------------------------------------------------

# Five rock golems, strongest first: column 4 - level, so column 0 is level 4.
GOLEMS = [
    {"skin": (150, 60, 170), "eye": (255, 80, 80), "crown": True, "horns": True},
    {"skin": (60, 90, 170), "eye": (255, 170, 60), "crown": False, "horns": True},
    {"skin": (50, 140, 100), "eye": (255, 240, 120), "crown": False, "horns": False},
    {"skin": (150, 120, 90), "eye": (120, 220, 255), "crown": False, "horns": False},
    {"skin": (170, 160, 150), "eye": (120, 255, 160), "crown": False, "horns": False},
]


def draw_face(cv, x0, y0, golem, mood, level_rank):
    cx, cy = x0 + 70, y0 + 76
    skin = golem["skin"]
    dark = key_safe(scale(skin, 0.45))
    light = mix(skin, (255, 255, 255), 0.35)
    r = 44 + level_rank * 3
    # A faceted boulder head.
    rng = random.Random(level_rank)
    pts = []
    for i in range(9):
        a = -math.pi / 2 + i * 2 * math.pi / 9
        rr = r * rng.uniform(0.9, 1.05)
        pts.append((cx + rr * math.cos(a), cy + rr * 0.95 * math.sin(a)))
    if golem["horns"]:
        for side in (-1, 1):
            cv.polygon([(cx + side * 26, cy - r + 14), (cx + side * 52, cy - r - 20), (cx + side * 40, cy - r + 22)],
                       (220, 210, 190))
    cv.polygon([(x + 3, y + 3) for x, y in pts], dark)
    cv.polygon(pts, skin)
    # Facet highlights.
    cv.polygon([pts[0], pts[1], (cx, cy - 6), pts[8]], light)
    cv.polygon([pts[4], pts[5], (cx, cy + 8)], key_safe(scale(skin, 0.75)))
    if golem["crown"]:
        base_y = cy - r + 4
        cv.polygon([(cx - 26, base_y), (cx - 26, base_y - 22), (cx - 13, base_y - 10), (cx, base_y - 28),
                    (cx + 13, base_y - 10), (cx + 26, base_y - 22), (cx + 26, base_y)], (240, 196, 50))
        cv.ellipse(cx, base_y - 12, 4, 4, (230, 40, 60))
    ink = (24, 16, 24)
    eye = golem["eye"]
    ey = cy - 8
    for side in (-1, 1):
        ex = cx + side * 18
        if mood == 2:  # won: happy closed eyes
            cv.arc(ex, ey + 4, 9, 7, math.pi * 1.1, math.pi * 1.9, ink, 3)
        elif mood == 3:  # lost: crossed eyes
            cv.line(ex - 7, ey - 6, ex + 7, ey + 6, ink, 3)
            cv.line(ex - 7, ey + 6, ex + 7, ey - 6, ink, 3)
        else:
            cv.ellipse(ex, ey, 10, 9, ink)
            cv.ellipse(ex, ey, 7, 6, eye)
            cv.ellipse(ex + (2 if mood == 0 else -side * 2), ey + (0 if mood == 0 else 2), 3, 3, ink)
            cv.set(int(ex - 3), int(ey - 3), (255, 255, 255))
        # Brows: level, or raised in the middle when worried.
        if mood == 1:
            cv.line(ex - side * 10, ey - 12, ex + side * 8, ey - 18, ink, 3)
        elif mood == 0:
            cv.line(ex - 10, ey - 15, ex + 10, ey - 15 + side * 3 * (level_rank > 2), ink, 3)
    my = cy + 22
    if mood == 0:
        cv.line(cx - 14, my, cx + 14, my, ink, 3)
    elif mood == 1:
        for i in range(4):
            cv.line(cx - 16 + i * 8, my + (2 if i % 2 else -2), cx - 8 + i * 8, my + (-2 if i % 2 else 2), ink, 3)
        cv.ellipse(cx + 38, cy - 22, 5, 8, (140, 210, 255))  # sweat
        cv.ellipse(cx + 38, cy - 27, 3, 4, (200, 240, 255))
    elif mood == 2:
        cv.ellipse(cx, my - 2, 16, 12, ink)
        cv.rect(int(cx - 17), int(my - 15), 34, 13, skin)
        cv.ellipse(cx, my + 5, 8, 4, (230, 90, 100))
    else:
        cv.arc(cx, my + 12, 14, 10, math.pi * 1.15, math.pi * 1.85, ink, 3)
        cv.ellipse(cx - 18, cy + 4, 3, 6, (140, 210, 255))  # tears
        cv.ellipse(cx + 18, cy + 4, 3, 6, (140, 210, 255))
    # Level pips under the chin: stronger golems show more.
    for i in range(5 - level_rank):
        cv.ellipse(x0 + 70 - (4 - level_rank) * 7 + i * 14, y0 + 132, 4, 4, GOLD)


def make_faces():
    cv = Canvas(700, 560)
    for col, golem in enumerate(GOLEMS):
        for mood in range(4):
            draw_face(cv, col * 140, mood * 140, golem, mood, col)
    return cv


def make_all():
    return {
        "dot.bmp": make_block_sheet(),
        "bomb_title.png": make_title(),
        "BG.bmp": make_play_background(False),
        "BG2.bmp": make_play_background(True),
        "katimake.png": make_banners(),
        "chara2.bmp": make_faces(),
        "select.png": make_settings(),
    }
