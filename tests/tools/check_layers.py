"""Checks that the host's areas depend one way: a file in host/<area> includes headers of
its own area and of the areas listed before it in host/CMakeLists.txt (`set(areas ...)`)
only. Areas on one level (`catalogue` and `imaging`) do not include each other either.
Prints every offending include and exits 1 when there is one."""
import re
import sys
from pathlib import Path

# Areas that stand side by side: neither may use the other.
PEERS = {("catalogue", "imaging"), ("imaging", "catalogue")}


def main(host: Path) -> int:
    listed = re.search(r"set\(areas ([a-z ]+)\)", (host / "CMakeLists.txt").read_text())
    order = listed.group(1).split()
    rank = {area: i for i, area in enumerate(order)}
    bad = []
    for path in sorted(host.rglob("*.[ch]pp")):
        area = path.relative_to(host).parts[0]
        if area not in rank:
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            m = re.match(r'\s*#\s*include\s+"([a-z]+)/', line)
            if not m or m.group(1) not in rank:
                continue
            used = m.group(1)
            if rank[used] > rank[area] or (area, used) in PEERS:
                bad.append(f"{path.relative_to(host)}:{number}: {area} uses {used}")
    for b in bad:
        print(b)
    print(f"{len(order)} areas, {len(bad)} includes against the layer order")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(Path(sys.argv[1])))
