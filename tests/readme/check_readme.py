"""The README works as written.

  * a C++ block whose first line is "// examples/FILE" quotes that file
    verbatim (the example itself is built and run by the tests);
  * every option a tool's --help lists is mentioned in the README;
  * the README's commands of the tools run with status 0 in a scratch
    folder laid out like the source tree (build/bin, build/frame_host.qdb
    from a small frame), apart from the large frames and the set-up scripts.

usage: check_readme.py README SOURCE_DIR BIN_DIR WORK_DIR
"""
import os
import re
import shutil
import subprocess
import sys

readme_path, source, bin_dir, work = (os.path.abspath(a) for a in sys.argv[1:5])
text = open(readme_path, encoding="utf-8").read()
problems = []

# Fenced blocks as (language, body), read line by line: a closing fence is
# never taken for an opening one.
blocks, language, body = [], None, []
for line in text.splitlines():
    if line.startswith("```"):
        if language is None:
            language, body = line[3:].strip(), []
        else:
            blocks.append((language, "\n".join(body) + "\n"))
            language = None
    elif language is not None:
        body.append(line)
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

shutil.rmtree(work, ignore_errors=True)
os.makedirs(os.path.join(work, "build"))
os.symlink(bin_dir, os.path.join(work, "build", "bin"))
subprocess.run([os.path.join(bin_dir, "frame_host"), "--bays", "4", "--storeys", "3", "--quiet",
                "--file", os.path.join(work, "build", "frame_host.qdb")], check=True, capture_output=True)
commands = []
for language, body in blocks:
    if language != "sh":
        continue
    for line in body.splitlines():
        command = line.split("  #")[0].strip()
        if not re.match(r"build/bin/(quilm-inspect|quilm-export|frame_host|quickstart)\b", command):
            continue
        size = re.search(r"--bays (\d+)", command)
        if command.startswith("build/bin/frame_host") and (not size or int(size.group(1)) > 4):
            continue  # the default and the million-element frames take too long here
        commands.append(command)
for command in commands:
    run = subprocess.run(command, shell=True, cwd=work, capture_output=True, text=True, timeout=300)
    print(f"{run.returncode}  {command}")
    if run.returncode != 0:
        problems.append(f"`{command}` exited {run.returncode}: {run.stderr.strip()}")
if len(commands) < 5:
    problems.append(f"only {len(commands)} commands found in the README")

for problem in problems:
    print("README:", problem)
sys.exit(1 if problems else 0)
