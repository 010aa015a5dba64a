#!/usr/bin/env python3
"""Prints a table of the shippable files: size, imported DLLs and resources,
read from `objdump -p`. Usage: footprint.py OBJDUMP FILE..."""
import os
import re
import subprocess
import sys

RESOURCE_TYPES = {1: "CURSOR", 2: "BITMAP", 3: "ICON", 4: "MENU", 5: "DIALOG", 6: "STRING",
                  9: "ACCELERATOR", 12: "GROUP_CURSOR", 14: "GROUP_ICON", 16: "VERSION",
                  24: "MANIFEST"}


def resources(dump):
    """(type, name, language) triples from the resource directory dump."""
    found, level, current = [], {}, {}
    section = dump.split("The .rsrc Resource Directory section:", 1)
    if len(section) < 2:
        return found
    for line in section[1].splitlines():
        match = re.match(r"^[0-9a-f]+( +)Entry: (?:ID: 0x([0-9a-f]+)|name: (.*?)), Value", line)
        if not match:
            if "Resources start" in line:
                break
            continue
        depth = len(match.group(1))
        key = int(match.group(2), 16) if match.group(2) else match.group(3)
        level.setdefault(depth, len(level))
        current[level[depth]] = key
        if level[depth] == 2:
            kind = RESOURCE_TYPES.get(current[0], current[0])
            found.append(f"{kind} {current[1]} ({current[2]:04x})")
    return found


def main():
    objdump, files = sys.argv[1], sys.argv[2:]
    print(f"{'file':<14} {'bytes':>7} {'KiB':>6}  imports / resources")
    for path in files:
        dump = subprocess.run([objdump, "-p", path], capture_output=True, text=True).stdout
        imports = re.findall(r"DLL Name: (\S+)", dump)
        size = os.path.getsize(path)
        print(f"{os.path.basename(path):<14} {size:>7} {size / 1024:>6.1f}  "
              f"imports: {', '.join(imports)}")
        print(f"{'':<30}resources: {', '.join(resources(dump)) or 'none'}")


if __name__ == "__main__":
    main()
