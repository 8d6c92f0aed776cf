"""The README's annotated map is one a newcomer can paste: mapcheck (the map
reader of the server) calls it good."""

import os
import re
import subprocess
import sys
import tempfile

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def main():
    mapcheck = os.environ["ROVER_MAPCHECK"]
    with open(os.path.join(SOURCE, "README.md"), encoding="utf-8") as stream:
        readme = stream.read()
    block = re.search(r"^## Map format in brief\n.*?^```json\n(.*?)^```", readme, re.S | re.M)
    if block is None:
        sys.exit("README.md has no json block under 'Map format in brief'")
    with tempfile.NamedTemporaryFile("w", suffix=".json", encoding="utf-8") as map_file:
        map_file.write(block.group(1))
        map_file.flush()
        done = subprocess.run([mapcheck, map_file.name], capture_output=True, text=True, timeout=60, check=False)
    if done.returncode != 0 or "map is good" not in done.stdout:
        sys.exit(f"the README's map does not load:\n{done.stdout}{done.stderr}")
    print(done.stdout, end="")


if __name__ == "__main__":
    main()
