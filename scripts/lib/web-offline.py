#!/usr/bin/env python3
"""web-offline.py DIST WEB -- makes a laid-out dist/web installable and
playable offline: writes DIST/manifest.webmanifest from WEB's, with the
icons DIST holds, and DIST/sw.js from WEB's, with every file of DIST to keep
and a version that is a hash of them all. scripts/build-web runs it last;
scripts/test-web runs it again on a changed copy to have a new build."""
import hashlib
import json
import os
import sys


def main():
    dist, web = sys.argv[1:3]
    icons = [{"src": "riftvaulter.svg", "sizes": "any", "type": "image/svg+xml"}]
    for size in (192, 512):
        if os.path.exists(os.path.join(dist, f"icon-{size}.png")):
            icons.insert(-1, {"src": f"icon-{size}.png", "sizes": f"{size}x{size}", "type": "image/png"})
    with open(os.path.join(web, "manifest.webmanifest"), encoding="utf-8") as source:
        manifest = source.read().replace("@ICONS@", json.dumps(icons, indent=2).replace("\n", "\n  "))
    json.loads(manifest)  # what the browser reads must be JSON
    with open(os.path.join(dist, "manifest.webmanifest"), "w", encoding="utf-8") as out:
        out.write(manifest)

    files = sorted(name for name in os.listdir(dist) if name != "sw.js")
    digest = hashlib.sha256()
    for name in files:
        digest.update(name.encode() + b"\0")
        with open(os.path.join(dist, name), "rb") as part:
            digest.update(hashlib.sha256(part.read()).digest())
    version = digest.hexdigest()[:16]
    with open(os.path.join(web, "sw.js"), encoding="utf-8") as source:
        worker = source.read()
    # The address of the folder is the page too.
    worker = worker.replace("@VERSION@", version).replace("@FILES@", json.dumps(["./"] + files))
    with open(os.path.join(dist, "sw.js"), "w", encoding="utf-8") as out:
        out.write(worker)
    print(version)


if __name__ == "__main__":
    main()
