"""The README works as written, pasted into a scratch folder.

  * a C++ block whose first line is "// examples/FILE" quotes that file
    verbatim;
  * every option a tool's --help lists is mentioned in the README;
  * every shell block runs, as one script with its lines in order, in a
    scratch folder laid out like a clone after `scripts/setup.sh` (the
    source tree's folders, build/ with the build's outputs and the small
    model setup.sh leaves in build/frame_host.qdb). Installs go to a scratch
    prefix instead of /opt/quilm and /usr/local; the lines listed in SKIPPED
    are left out, each for the reason given there;
  * every C++ block compiles as its own program (a block starting with
    "// (continues" is appended to the one before) against that install
    through pkg-config, the way the README shows; a block without a main
    function is compiled without linking.

usage: check_readme.py README SOURCE_DIR BIN_DIR WORK_DIR
"""
import os
import re
import shutil
import subprocess
import sys

# Lines not run, with the reason. Everything else in a shell block runs.
SKIPPED = [
    (r"^bash scripts/(setup|test)\.sh", "set-up and test run: they build the tree this test runs in"),
    (r"--elements 1000000", "the million-element frame takes a minute and 0.7 GB"),
    (r"build-rel", "a second build tree for the benchmarks"),
]

readme_path, source, bin_dir, work = (os.path.abspath(a) for a in sys.argv[1:5])
build_dir = os.path.dirname(bin_dir)
prefix = os.path.join(work, "prefix")
text = open(readme_path, encoding="utf-8").read()
problems = []


def fenced_blocks(lines):
    """(language, body) of every fenced block, indented ones included (their
    indentation removed); a closing fence is never taken for an opening one."""
    blocks, language, body, indent = [], None, [], 0
    for line in lines:
        stripped = line.lstrip()
        if stripped.startswith("```"):
            if language is None:
                language, body, indent = stripped[3:].strip(), [], len(line) - len(stripped)
            else:
                blocks.append((language, "\n".join(body) + "\n"))
                language = None
        elif language is not None:
            body.append(line[indent:])
    return blocks


def scratch_clone():
    """The scratch folder: the source's folders linked, build/ a folder of
    links to the build's outputs, so that what the README writes stays here."""
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(os.path.join(work, "build"))
    for name in os.listdir(source):
        if name not in ("build", ".git") and not name.startswith("build-"):
            os.symlink(os.path.join(source, name), os.path.join(work, name))
    for name in os.listdir(build_dir):
        if not name.endswith(".qdb") and name != "readme":
            os.symlink(os.path.join(build_dir, name), os.path.join(work, "build", name))
    subprocess.run([os.path.join(bin_dir, "frame_host"), "--bays", "4", "--storeys", "3", "--quiet",
                    "--file", os.path.join(work, "build", "frame_host.qdb")], check=True, capture_output=True)


def runnable(line):
    """The line as it runs here, or None when it is skipped."""
    command = line.split("  #")[0].strip()
    for pattern, reason in SKIPPED:
        if re.search(pattern, command):
            print(f"skipped ({reason}): {command}")
            return None
    if "--png" in command and not (shutil.which("chromium") or os.environ.get("QUILM_CHROMIUM")):
        print(f"skipped (no chromium): {command}")
        return None
    # /tmp/ first: the scratch folder itself may lie under /tmp.
    return line.replace("/tmp/", work + "/tmp/").replace("/opt/quilm", prefix).replace("/usr/local", prefix)


def run_shell_block(number, body):
    lines = [runnable(line) if line.strip() and not line.lstrip().startswith("#") else line
             for line in body.splitlines()]
    script = "set -e\ntrap 'echo \"failed: $BASH_COMMAND\" >&2' ERR\n" + "\n".join(
        line if line is not None else ":" for line in lines) + "\n"
    run = subprocess.run(["bash", "-c", script], cwd=work, capture_output=True, text=True, timeout=900)
    print(f"{run.returncode}  shell block {number}")
    if run.returncode != 0:
        tail = "\n    ".join(run.stderr.strip().splitlines()[-6:])
        problems.append(f"shell block {number} exited {run.returncode}:\n    {tail}")


def compile_cpp_blocks(blocks):
    units = []
    for language, body in blocks:
        if language != "cpp":
            continue
        if body.startswith("// (continues") and units:
            units[-1] += body
        else:
            units.append(body)
    env = dict(os.environ, PKG_CONFIG_PATH=os.path.join(prefix, "lib", "pkgconfig"))
    flags = subprocess.run(["pkg-config", "--cflags", "--libs", "quilm"], env=env, capture_output=True, text=True)
    if flags.returncode != 0:
        problems.append(f"pkg-config finds no quilm in the scratch install: {flags.stderr.strip()}")
        return
    for number, unit in enumerate(units, 1):
        path = os.path.join(work, f"block{number}.cpp")
        open(path, "w", encoding="utf-8").write(unit)
        link = re.search(r"\bint main\s*\(", unit)
        output = ["-o", path[:-4]] if link else ["-c", "-o", path[:-4] + ".o"]
        run = subprocess.run(["c++", "-std=c++17", path, *output, *flags.stdout.split()],
                             capture_output=True, text=True)
        first_line = unit.splitlines()[0]
        print(f"{run.returncode}  C++ block {number} ({first_line[:50]})")
        if run.returncode != 0:
            error = next((l for l in run.stderr.splitlines() if "error" in l), run.stderr.strip()[:300])
            problems.append(f"C++ block {number} ({first_line[:50]}) does not compile: {error}")


blocks = fenced_blocks(text.splitlines())
for language, body in blocks:
    if language == "cpp" and body.startswith("// examples/"):
        first, rest = body.split("\n", 1)
        quoted = os.path.join(source, first[3:].strip())
        if rest.strip() not in open(quoted, encoding="utf-8").read():
            problems.append(f"the C++ block quoting {first[3:]} is not verbatim")

for tool in ("frame_host", "quilm-inspect", "quilm-export"):
    help_text = subprocess.run([os.path.join(bin_dir, tool), "--help"], capture_output=True, text=True).stdout
    for option in sorted(set(re.findall(r"(--[a-z][a-z-]+)", help_text))):
        if f"`{option}" not in text and f"{option} " not in text:
            problems.append(f"{tool} {option} is not documented")

scratch_clone()
os.makedirs(os.path.join(work, "tmp"))
shell_blocks = [body for language, body in blocks if language == "sh"]
for number, body in enumerate(shell_blocks, 1):
    run_shell_block(number, body)
compile_cpp_blocks(blocks)
if len(shell_blocks) < 5:
    problems.append(f"only {len(shell_blocks)} shell blocks found in the README")

for problem in problems:
    print("README:", problem)
sys.exit(1 if problems else 0)
