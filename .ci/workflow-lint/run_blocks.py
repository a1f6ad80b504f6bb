#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes every bash `run:` block of the workflows and actions named as arguments into the
folder given first, one file each (FILE-JOB-STEP.sh), for shellcheck: neither validator looks
inside them. An expression ${{ ... }} becomes a variable's value, which is what the runner
substitutes for it."""
import pathlib
import re
import sys

import yaml


def steps(document):
    """(name, step) for each step of a workflow's jobs or of a composite action."""
    for job, body in (document.get("jobs") or {}).items():
        for number, step in enumerate(body.get("steps") or []):
            yield f"{job}-{number}", step, (body.get("defaults") or {}).get("run", {})
    for number, step in enumerate((document.get("runs") or {}).get("steps") or []):
        yield f"action-{number}", step, {}


def main():
    folder = pathlib.Path(sys.argv[1])
    count = 0
    for path in map(pathlib.Path, sys.argv[2:]):
        document = yaml.safe_load(path.read_text())
        workflow_shell = ((document.get("defaults") or {}).get("run") or {}).get("shell")
        for name, step, job_defaults in steps(document):
            if "run" not in step:
                continue
            shell = step.get("shell") or job_defaults.get("shell") or workflow_shell or "bash"
            if not shell.startswith("bash"):
                sys.exit(f"{path}: step {name} runs in {shell}; only bash blocks are checked")
            script = re.sub(r"\$\{\{.*?\}\}", "${EXPRESSION}", step["run"], flags=re.S)
            out = folder / f"{path.stem}-{name}.sh"
            out.write_text("#!/usr/bin/env bash\nexport EXPRESSION=\"\"\n" + script)
            count += 1
    print(f"{count} run blocks")


main()
