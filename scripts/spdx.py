# SPDX-License-Identifier: MIT
"""Puts the licence line `SPDX-License-Identifier: MIT` at the top of every file the project wrote.

Usage: spdx.py --apply     add the line where it is missing (after a shebang or XML declaration)
       spdx.py --check     list the files without it; status 1 when there is one
Works on the files git tracks (and new files not yet ignored), from the top of the tree.
Third-party and generated material keeps its own terms and is left alone: the fuzz corpora,
the patch to Allegro's sources, the licence and version files and the Debian files whose
format has no comments.
"""
import os
import subprocess
import sys

TAG = "SPDX-License-Identifier: MIT"
SKIP_PREFIXES = ("fuzz/corpus/",)
SKIP_FILES = {"LICENSE", "VERSION", "debian/changelog", "debian/copyright", "debian/source/format"}
SKIP_SUFFIXES = (".patch", ".png", ".pcx", ".dat", ".wav", ".qvm", ".mod", ".s3m", ".xm")

# Comment forms: (start, end) around the tag.
HASH, SLASHES, ROFF, MARKUP = ("# ", ""), ("// ", ""), ('.\\" ', ""), ("<!-- ", " -->")
BY_SUFFIX = {
    ".c": SLASHES, ".cpp": SLASHES, ".h": SLASHES, ".hpp": SLASHES,
    ".py": HASH, ".sh": HASH, ".cmake": HASH, ".yml": HASH, ".yaml": HASH, ".supp": HASH,
    ".desktop": HASH, ".pc": HASH, ".install": HASH, ".links": HASH, ".lintian-overrides": HASH,
    ".1": ROFF, ".6": ROFF, ".xml": MARKUP, ".md": MARKUP,
}
BY_NAME = {
    "CMakeLists.txt": HASH, "Dockerfile": HASH, ".gitignore": HASH, ".clang-format": HASH,
    "run": HASH, "rules": HASH, "control": HASH, "lintian-overrides": HASH,
}


def style(path):
    name = os.path.basename(path)
    if name in BY_NAME:
        return BY_NAME[name]
    if name.endswith(".in"):          # a template has its product's comments
        name = name[:-3]
    for suffix, form in BY_SUFFIX.items():
        if name.endswith(suffix):
            return form
    return None


def project_files():
    out = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                         check=True, stdout=subprocess.PIPE).stdout
    files = sorted({p for p in out.decode().split("\0") if p and os.path.isfile(p)})
    return [p for p in files if not p.startswith(SKIP_PREFIXES) and p not in SKIP_FILES
            and not p.endswith(SKIP_SUFFIXES)]


def header_end(lines):
    """Index of the line the tag belongs on: after a shebang or an XML declaration."""
    if lines and (lines[0].startswith("#!") or lines[0].startswith("<?xml")):
        return 1
    return 0


def main():
    mode = sys.argv[1] if len(sys.argv) == 2 else ""
    if mode not in ("--apply", "--check"):
        sys.exit(__doc__)
    os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    missing, unknown = [], []
    for path in project_files():
        form = style(path)
        if form is None:
            unknown.append(path)
            continue
        with open(path, encoding="utf-8", newline="") as f:
            lines = f.read().splitlines(keepends=True)
        at = header_end(lines)
        line = form[0] + TAG + form[1] + "\n"
        if at < len(lines) and lines[at].rstrip("\r\n") == line.rstrip("\n"):
            continue
        if mode == "--check":
            missing.append(path)
            continue
        lines.insert(at, line)
        with open(path, "w", encoding="utf-8", newline="") as f:
            f.write("".join(lines))
        print("added:", path)
    for path in unknown:
        print("no comment form known (add one to scripts/spdx.py, or skip the file):", path)
    for path in missing:
        print("without the licence line:", path)
    if unknown or missing:
        sys.exit(1)


if __name__ == "__main__":
    main()
