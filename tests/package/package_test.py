#!/usr/bin/env python3
"""Builds the Debian packages with CPack from a built tree and checks them as
an end user's system would see them: which files each package holds,
stripped binaries, the control fields, the copyright file and changelog, the
desktop entry and metainfo, and lintian when it is installed.
"""

import argparse
import glob
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

ICONS = ["usr/share/icons/hicolor/%dx%d/apps/norvawizard.png" % (s, s)
         for s in (16, 24, 32, 48, 64, 128, 256)]
METAINFO = "usr/share/metainfo/org.norvawizard.NorvaWizard.metainfo.xml"
CONTENTS = {
    "norvawizard": set(ICONS) | {
        "usr/bin/norvawizard",
        "usr/bin/norvactl",
        "usr/share/applications/norvawizard.desktop",
        "usr/share/icons/hicolor/scalable/apps/norvawizard.svg",
        METAINFO,
        "usr/share/man/man1/norvawizard.1.gz",
        "usr/share/man/man1/norvactl.1.gz",
        "usr/share/bash-completion/completions/norvactl",
        "usr/share/doc/norvawizard/copyright",
        "usr/share/doc/norvawizard/changelog.gz",
    },
    "norvawizard-sim": {
        "usr/bin/norva-sim",
        "usr/share/man/man1/norva-sim.1.gz",
        "usr/share/bash-completion/completions/norva-sim",
        "usr/share/doc/norvawizard-sim/copyright",
        "usr/share/doc/norvawizard-sim/changelog.gz",
    },
}
SECTIONS = {"norvawizard": "utils", "norvawizard-sim": "devel"}


def run(argv, **kw):
    return subprocess.run(argv, capture_output=True, text=True, timeout=600, **kw)


def files_of(root):
    out = set()
    for d, _, names in os.walk(root):
        for n in names:
            out.add(os.path.relpath(os.path.join(d, n), root))
    return out


def is_elf(path):
    with open(path, "rb") as f:
        return f.read(4) == b"\x7fELF"


def check_control(deb, name, a, failures):
    fields = run(["dpkg-deb", "-f", deb]).stdout
    control = dict(re.findall(r"^([\w-]+): ?(.*)$", fields, re.M))
    for key, want in (("Package", name), ("Version", a.version), ("Maintainer", a.maintainer),
                      ("Section", SECTIONS[name]), ("Priority", "optional")):
        if control.get(key) != want:
            failures.append("%s: %s is %r, not %r" % (name, key, control.get(key), want))
    extended = fields.split("\nDescription:", 1)[-1].splitlines()[1:]
    if len([l for l in extended if l.startswith(" ") and l.strip() != "."]) < 2:
        failures.append("%s: no extended description" % name)
    if "libc6" not in control.get("Depends", ""):
        failures.append("%s: Depends lacks the shared-library dependencies: %r"
                        % (name, control.get("Depends")))
    return control


def check_docs(root, name, a, failures):
    doc = os.path.join(root, "usr/share/doc", name)
    with open(os.path.join(doc, "copyright"), encoding="utf-8") as f:
        paragraphs = [p for p in f.read().split("\n\n") if p.strip()]
    header = paragraphs[0]
    if not header.startswith(
            "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"):
        failures.append("%s: copyright is not in the machine-readable format" % name)
    files = [p for p in paragraphs if p.startswith("Files:")]
    licenses = {m for p in files for m in re.findall(r"^License: (\S+)", p, re.M)}
    texts = {re.match(r"License: (\S+)\n ", p).group(1)
             for p in paragraphs if re.match(r"License: \S+\n ", p)}
    if not files or not all("\nCopyright:" in p for p in files) or not licenses <= texts:
        failures.append("%s: copyright needs Files paragraphs with Copyright and License, and "
                        "each license's text" % name)
    path = os.path.join(doc, "changelog.gz")
    with open(path, "rb") as f:
        head = f.read(10)
    if head[4:8] != b"\0\0\0\0" or head[8] != 2:
        failures.append("%s: changelog.gz is not compressed at -9n" % name)
    with gzip.open(path, "rt", encoding="utf-8") as f:
        changelog = f.read()
    if not changelog.startswith("norvawizard (%s) " % a.version):
        failures.append("%s: the newest changelog entry is not %s" % (name, a.version))
    if " -- %s  " % a.maintainer not in changelog:
        failures.append("%s: the changelog is not signed by the maintainer" % name)


def check_stripped(root, name, failures):
    for rel in sorted(files_of(root)):
        path = os.path.join(root, rel)
        if is_elf(path):
            sections = run(["readelf", "-S", "--wide", path]).stdout
            if ".symtab" in sections or ".debug_info" in sections:
                failures.append("%s: %s is not stripped" % (name, rel))


def check_desktop(root, a, failures):
    desktop = os.path.join(root, "usr/share/applications/norvawizard.desktop")
    if shutil.which("desktop-file-validate"):
        r = run(["desktop-file-validate", desktop])
        if r.returncode != 0 or r.stdout.strip():
            failures.append("desktop-file-validate: " + r.stdout + r.stderr)
    r = run(["appstreamcli", "validate-tree", "--no-net", root])
    if r.returncode != 0:
        failures.append("appstreamcli validate-tree: " + r.stdout + r.stderr)
    releases = ET.parse(os.path.join(root, METAINFO)).getroot().find("releases")
    newest = releases[0].get("version") if releases is not None and len(releases) else None
    if newest != a.version:
        failures.append("the metainfo's newest release is %r, not %s" % (newest, a.version))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cpack", required=True)
    ap.add_argument("--build-dir", required=True)
    ap.add_argument("--version", required=True)
    ap.add_argument("--maintainer", required=True)
    ap.add_argument("--sanitize", default="none")
    args = ap.parse_args()
    if args.sanitize != "none":
        print("packages are built from the plain configuration only")
        return 77
    failures = []
    with tempfile.TemporaryDirectory(prefix="norva-package-") as tmp:
        r = run([args.cpack, "-G", "DEB", "-B", tmp, "--config",
                 os.path.join(args.build_dir, "CPackConfig.cmake")], cwd=args.build_dir)
        if r.returncode != 0:
            print(r.stdout, r.stderr)
            return 1
        debs = {run(["dpkg-deb", "-f", d, "Package"]).stdout.strip(): d
                for d in glob.glob(os.path.join(tmp, "*.deb"))}
        debug = sorted(glob.glob(os.path.join(tmp, "*.ddeb")))
        if set(debs) != set(CONTENTS):
            failures.append("packages built: %s, wanted %s" % (sorted(debs), sorted(CONTENTS)))
        print("%-28s %10s %10s" % ("package", "bytes", "installed"))
        for name, deb in sorted(debs.items()):
            root = os.path.join(tmp, "root", name)
            os.makedirs(root)
            run(["dpkg-deb", "-x", deb, root])
            control = check_control(deb, name, args, failures)
            print("%-28s %10d %8s KiB" % (os.path.basename(deb), os.path.getsize(deb),
                                           control.get("Installed-Size")))
            have = files_of(root)
            if name in CONTENTS and have != CONTENTS[name]:
                failures.append("%s holds files it should not: %s; lacks: %s"
                                % (name, sorted(have - CONTENTS[name]) or "-",
                                   sorted(CONTENTS[name] - have) or "-"))
            if name in CONTENTS and CONTENTS[name] <= have:
                check_docs(root, name, args, failures)
                check_stripped(root, name, failures)
                if name == "norvawizard":
                    check_desktop(root, args, failures)
        for d in debug:
            print("%-28s %10d (debug symbols)" % (os.path.basename(d), os.path.getsize(d)))
            if not any("/usr/lib/debug/.build-id/" in line
                       for line in run(["dpkg-deb", "-c", d]).stdout.splitlines()):
                failures.append("%s holds no build-id debug files" % os.path.basename(d))
        if not debug:
            failures.append("no debug-symbol packages were built")
        if shutil.which("lintian"):
            r = run(["lintian", "--fail-on", "error,warning", "--tag-display-limit", "0"]
                    + sorted(debs.values()))
            print(r.stdout, end="")
            if r.returncode != 0:
                failures.append("lintian reports errors or warnings:\n" + r.stdout + r.stderr)
        else:
            print("lintian is not installed: its checks were not run")
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
