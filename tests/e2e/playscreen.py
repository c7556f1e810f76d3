"""Reading the play screen back: which well cells are occupied, and where the game is."""

from harness import Session, wait_until, HarnessError

PLAY_GAME = (245, 320, 385, 345)
EXIT = (245, 350, 385, 375)
MENU_START = (200, 140, 440, 170)
MENU_OPTIONS = (200, 180, 440, 210)
MENU_HIGH_SCORES = (200, 220, 440, 250)
MENU_CREDITS = (200, 260, 440, 290)
MENU_PREVIOUS = (200, 300, 440, 330)

WELL_X, WELL_Y, CELL = 40, 40, 20


def occupied_cells(image):
    """Well cells (column, row) drawn with a tile in a screenshot of the play screen."""
    cells = set()
    for c in range(10):
        for r in range(20):
            x, y = WELL_X + CELL * c, WELL_Y + CELL * r
            if len(image.region(x, y, x + CELL - 1, y + CELL - 1).replace(b"\0", b"")) > 100:
                cells.add((c, r))
    return cells


def same_colour(rgb, target):
    """An RGB value read from the X screen shows the palette colour `target` (within rounding)."""
    return all(abs(a - b) <= 4 for a, b in zip(rgb, target))


def nearest_index(palette, rgb):
    """The palette index whose colour is closest to an RGB value read from the X screen."""
    best, best_d = None, None
    for i, p in enumerate(palette):
        d = sum((a - b) ** 2 for a, b in zip(p, rgb))
        if best_d is None or d < best_d:
            best, best_d = i, d
    return best


def count_colour(game, palette, colour, x1, y1, x2, y2):
    """Pixels of the window in the rectangle that show palette colour `colour`."""
    _, _, rows = game.grab()
    target = palette[colour]
    n = 0
    for y in range(y1, y2 + 1):
        for x in range(x1, x2 + 1):
            if same_colour(rows[y][x], target):
                n += 1
    return n


def start_game(game):
    """From the title screen to the first pass of a new game; returns the title's palette."""
    title = game.screenshot()
    game.click_box(*PLAY_GAME)
    wait_for_menu(game, title.palette)
    game.click_box(*MENU_START)
    wait_until(lambda: occupied_cells(game.screenshot()), what="a piece in the well")
    return title.palette


def wait_for_menu(game, palette, timeout=30):
    """The main menu shows: its logo outline in colour 227 at the top-left of the logo frame."""
    def shown():
        _, _, rows = game.grab()
        return same_colour(rows[25][135], palette[227]) and same_colour(rows[60][524], palette[227])
    wait_until(shown, timeout=timeout, interval=0.2, what="the main menu")


def wait_for_title(game, title_image, timeout=30):
    """The title screen shows again: the EXIT button's bevel is back."""
    def shown():
        _, _, rows = game.grab()
        return (same_colour(rows[362][245], title_image.palette[14]) and
                same_colour(rows[362][385], title_image.palette[48]))
    wait_until(shown, timeout=timeout, interval=0.2, what="the title screen")
