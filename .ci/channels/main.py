# SPDX-License-Identifier: MIT
"""`python -m mksrec`: runs the mksrec program that this package installed.

pip put the program in the environment's scripts folder, wherever the environment keeps it
(a virtual environment's bin/ or Scripts/, the user's ~/.local/bin, a --target folder's
bin/), and recorded the path it used, relative to this package's folder, in RECORD.
"""
import os
import subprocess
import sys
from pathlib import Path

NAME = "mksrec.exe" if os.name == "nt" else "mksrec"


def installed_program():
    site = Path(__file__).resolve().parent.parent
    # `pip install --target` installs elsewhere and moves the files, so its RECORD no
    # longer points at them: the program is in the folder's own bin/.
    candidates = [site / "bin" / NAME]
    for record in sorted(site.glob("mksrec-*.dist-info/RECORD")):
        for line in record.read_text(encoding="utf-8").splitlines():
            path = line.rsplit(",", 2)[0]
            if path.replace("\\", "/").endswith("/" + NAME):
                candidates.append(Path(os.path.normpath(site / path)))
    for candidate in candidates:
        if candidate.is_file():
            return str(candidate)
    sys.exit(f"python -m mksrec: the program {NAME} that this package installed is missing")


def main():
    program = installed_program()
    if os.name == "nt":
        sys.exit(subprocess.call([program] + sys.argv[1:]))
    os.execv(program, [program] + sys.argv[1:])


if __name__ == "__main__":
    main()
