"""The commands that the desktop checks call, and the Debian packages that provide them.

tools/debian-packages.txt lists every package that tools/setup-debian.sh installs, with the
commands the project calls from each. A check declares the commands it needs (a `TOOLS` list at
the top of its file); `missing()` names the ones that are not installed, with their package.

    python3 tests/e2e/debian_commands.py      # every check's commands: listed and installed?
    python3 tests/e2e/debian_commands.py lintian xvfb-run     # these commands (for a script)

Run that way (as .ci/run does right after the set-up), it fails, naming the command and the
package, when a check needs a command that no listed package provides or that is not installed,
so the checks and the set-up cannot drift apart silently. Standard library only.
"""

import ast
import os
import shutil
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.normpath(os.path.join(HERE, "..", ".."))
MANIFEST = os.path.join(SOURCE_DIR, "tools", "debian-packages.txt")
# The files whose TOOLS lists name the commands of the checks and benchmarks that CI runs or that
# a developer runs on the same machine.
CHECKS = ["tests/e2e/zumbolo_e2e.py", "tests/e2e/harness_test.py", "tests/wine/wine_env.py",
          "tests/wine/zumbolo_wine_smoke.py", "bench/linux_desktop_bench.py",
          "tools/ci/installed_show_check.py"]


def packages_by_command(manifest=MANIFEST):
    """{command: package} from the manifest."""
    table = {}
    with open(manifest, encoding="utf-8") as f:
        for line in f:
            words = line.split("#", 1)[0].split()
            for command in words[1:]:
                table[command] = words[0]
    return table


def describe(command, table):
    package = table.get(command)
    if package is None:
        return (f"{command}: no package in tools/debian-packages.txt provides it "
                "(add the Debian package that does, with the command beside it)")
    return f"{command}: not installed (Debian package {package}, which tools/setup-debian.sh installs)"


def missing(commands, table=None):
    """One line for each command that is not listed or not installed, naming its package."""
    table = packages_by_command() if table is None else table
    return [describe(c, table) for c in commands if c not in table or shutil.which(c) is None]


def report_missing(commands, who):
    """For a check's main: None when all is there; otherwise prints why, and gives the exit
    status: under CI a failure (1), elsewhere skipped (77)."""
    lines = missing(commands)
    if not lines:
        return None
    print(f"{who}: missing commands:\n  " + "\n  ".join(lines))
    if os.environ.get("CI"):
        print("FAILED (CI must have them)")
        return 1
    print("SKIPPED (outside CI)")
    return 77


def declared_tools(path):
    """The strings of every top-level `TOOLS = [...]` (or `TOOLS = X + [...]`) in a Python file."""
    with open(path, encoding="utf-8") as f:
        tree = ast.parse(f.read(), path)
    found = []
    for node in tree.body:
        if isinstance(node, ast.Assign) and any(getattr(t, "id", None) == "TOOLS" for t in node.targets):
            found += [n.value for n in ast.walk(node.value)
                      if isinstance(n, ast.Constant) and isinstance(n.value, str)]
    return found


def main(commands):
    table = packages_by_command()
    if commands:
        lines = missing(commands, table)
        print("\n".join(lines) if lines else "debian_commands: all installed")
        return 1 if lines else 0
    problems = []
    for check in CHECKS:
        commands = declared_tools(os.path.join(SOURCE_DIR, check))
        if not commands:
            problems.append(f"{check}: declares no TOOLS")
        problems += [f"{check} needs {line}" for line in missing(commands, table)]
    # Everything the manifest promises must be there after the set-up, too.
    problems += missing(sorted(table), table)
    if problems:
        print("debian_commands: the set-up does not provide what the checks call:\n  " + "\n  ".join(problems))
        return 1
    print(f"debian_commands: all {len(table)} commands of tools/debian-packages.txt are installed, "
          f"and every check's commands are among them")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
