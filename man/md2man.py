#!/usr/bin/env python3
"""Turns one of our Markdown manual pages into roff for man(1).

Only what the pages use, in pandoc's syntax (so pandoc reads them as well):
a title line "% NAME(SECTION)", "#" sections, "##" subsections, paragraphs,
definition lists (a term line, then ":   text"), "- " lists, fenced code and
the inline marks `code`, **bold** and *italic*.
"""

import argparse
import gzip
import re
import sys


def escape(text):
    text = text.replace("\\", "\\e")
    # Typed options must paste back into a shell as ASCII minus signs.
    return text.replace("-", "\\-")


def inline(text):
    out = []
    pattern = re.compile(r"`([^`]+)`|\*\*(.+?)\*\*|\*(.+?)\*")
    pos = 0
    for m in pattern.finditer(text):
        out.append(escape(unescape_md(text[pos : m.start()])))
        if m.group(1) is not None:
            out.append("\\fB" + escape(m.group(1)) + "\\fR")
        elif m.group(2) is not None:
            out.append("\\fB" + inline(m.group(2)) + "\\fR")
        else:
            out.append("\\fI" + inline(m.group(3)) + "\\fR")
        pos = m.end()
    out.append(escape(unescape_md(text[pos:])))
    return "".join(out)


def unescape_md(text):
    return re.sub(r"\\([\\`*_|\[\]<>#-])", r"\1", text)


def line_out(text):
    # A line starting with a dot or quote would be read as a request.
    return "\\&" + text if text[:1] in (".", "'") else text


def convert(lines, version, date):
    out = []
    i = 0
    if not lines or not lines[0].startswith("% "):
        raise ValueError("the first line must be '% NAME(SECTION)'")
    m = re.match(r"% (\S+)\((\d)\)", lines[0])
    if not m:
        raise ValueError("bad title line: " + lines[0])
    out.append('.TH "%s" "%s" "%s" "%s" "User Commands"' % (m.group(1), m.group(2), date, version))
    i = 1
    para = []

    def flush():
        if para:
            out.append(".PP")
            out.extend(line_out(inline(p)) for p in para)
            para.clear()

    while i < len(lines):
        line = lines[i]
        nxt = lines[i + 1] if i + 1 < len(lines) else ""
        if line.startswith("# "):
            flush()
            out.append('.SH "%s"' % line[2:].strip())
        elif line.startswith("## "):
            flush()
            out.append('.SS "%s"' % line[3:].strip())
        elif line.startswith("```"):
            flush()
            out += [".IP", ".nf"]
            i += 1
            while i < len(lines) and not lines[i].startswith("```"):
                out.append(line_out(escape(lines[i])))
                i += 1
            out.append(".fi")
        elif line.strip() and nxt.startswith(":"):
            flush()
            out += [".TP", line_out(inline(line.strip()))]
            i += 1
            text = [lines[i][1:].strip()]
            while i + 1 < len(lines) and lines[i + 1].startswith("    "):
                i += 1
                text.append(lines[i].strip())
            out.extend(line_out(inline(t)) for t in text)
        elif line.startswith("- "):
            flush()
            out += [".IP \\(bu 2", line_out(inline(line[2:].strip()))]
            while i + 1 < len(lines) and lines[i + 1].startswith("  ") and lines[i + 1].strip():
                i += 1
                out.append(line_out(inline(lines[i].strip())))
        elif not line.strip():
            flush()
        else:
            para.append(line.strip())
        i += 1
    flush()
    return "\n".join(out) + "\n"


def changelog_date(path):
    """The date of the newest changelog entry, as YYYY-MM-DD."""
    months = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = re.match(r" -- .*  \w+, (\d+) (\w+) (\d{4})", line)
            if m:
                return "%s-%02d-%02d" % (m.group(3), months.index(m.group(2)) + 1, int(m.group(1)))
    raise ValueError("no dated entry in " + path)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("source")
    ap.add_argument("output")
    ap.add_argument("--version", required=True, help='footer text, e.g. "NorvaWizard 1.0.0"')
    ap.add_argument("--changelog", required=True, help="the date comes from its newest entry")
    args = ap.parse_args()
    with open(args.source, encoding="utf-8") as f:
        lines = f.read().splitlines()
    try:
        roff = convert(lines, args.version, changelog_date(args.changelog))
    except ValueError as e:
        sys.exit("md2man: %s: %s" % (args.source, e))
    if args.output.endswith(".gz"):
        # Fixed time stamp and name: the same source gives the same bytes.
        with open(args.output, "wb") as raw:
            with gzip.GzipFile(filename="", mode="wb", fileobj=raw, compresslevel=9, mtime=0) as f:
                f.write(roff.encode("utf-8"))
    else:
        with open(args.output, "w", encoding="utf-8") as f:
            f.write(roff)


if __name__ == "__main__":
    main()
