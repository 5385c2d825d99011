#!/usr/bin/env python3
"""tools/check_layers.py on a made-up tree: what it must refuse and what it must let through."""
import pathlib
import subprocess
import sys
import tempfile

CHECK = pathlib.Path(__file__).resolve().parents[2] / "tools" / "check_layers.py"

FILES = {
    "terminal/state.h": '#include "link/link.h"\n',  # the state sits above what it gathers
    "core/waits.cpp": '#include "terminal/state.h"\n#include "platform/clock.h"\n',  # no exception
    "link/port.cpp": '#include "terminal/loop.h"\n#include <vector>\n',  # upward
    "loader/load.cpp": '#include "commands/table.h"\n',  # sideways, not allowed
    "commands/table.cpp": '#include "loader/load.h"\n#include "link/port.h"\n',
    "terminal/loop.cpp": '  #  include "platform/posix/tty.h"\n',  # an implementation
    "platform/posix/tty.cpp": '#include "link/port.h"\n',  # platform sees core only
    "sim/monitor.cpp": '#include "terminal/state.h"\n',
    "main.cpp": '#include "platform/posix/tty.h"\n#include "terminal/loop.h"\n',
}
EXPECTED = [
    "commands/table.cpp: includes loader/load.h: commands/ may not include loader/",
    "core/waits.cpp: includes terminal/state.h: core/ may not include terminal/",
    "link/port.cpp: includes terminal/loop.h: link/ may not include terminal/",
    "loader/load.cpp: includes commands/table.h: loader/ may not include commands/",
    "platform/posix/tty.cpp: includes link/port.h: platform/ may not include link/",
    "sim/monitor.cpp: includes terminal/state.h: sim/ may not include terminal/",
    "terminal/loop.cpp: includes platform/posix/tty.h: only the seams in platform/*.h",
]

with tempfile.TemporaryDirectory() as root:
    for name, text in FILES.items():
        path = pathlib.Path(root, name)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
    r = subprocess.run([sys.executable, str(CHECK), root], capture_output=True, text=True)
    got = sorted(r.stdout.splitlines())
    if r.returncode != 1 or got != EXPECTED:
        print(f"exit {r.returncode}, got:\n" + "\n".join(got))
        sys.exit(1)
print("check_layers: refuses the seven crossings, lets the rest through")
