#!/usr/bin/env python3
"""Checks that every relative link and anchor in the project's texts resolves.

    python3 scripts/check_links.py [FILE...]     README.md, NEWS and docs/*.md when none is named
    python3 scripts/check_links.py --self-test   its own cases, broken links among them

A link is [text](target) or ![alt](target), inline or as a reference definition
"[name]: target", outside code blocks and code spans. Links with a scheme (https:, mailto:)
are left alone. A relative target's file or folder must exist, relative to the text that
links it; its anchor (#...) must be one that GitHub makes from a heading of that text (or of
the same text for "#..." alone), or an explicit <a name> or id. Each broken link is printed as
FILE:LINE: TARGET: WHY; the status is 1 if there is one, 0 otherwise.
"""
import os
import re
import sys
import tempfile
import urllib.parse

MARKDOWN = re.compile(r"(\.md|^NEWS)$")
FENCE = re.compile(r"^ {0,3}(```+|~~~+)")
ATX = re.compile(r"^ {0,3}(#{1,6})[ \t]+(.*?)(?:[ \t]+#+)?[ \t]*$")
SETEXT = re.compile(r"^ {0,3}(=+|-+)[ \t]*$")
INLINE = re.compile(r"!?\[((?:[^\[\]]|\[[^\[\]]*\])*)\]\(\s*<?([^)\s>]*)>?(?:\s+(?:\"[^\"]*\"|'[^']*'))?\s*\)")
REFERENCE = re.compile(r"^ {0,3}\[[^\]]+\]:\s*<?(\S+?)>?(?:\s+.*)?$", re.M)
EXPLICIT = re.compile(r"<a\s[^>]*\bname=\"([^\"]+)\"|\bid=\"([^\"]+)\"")
SCHEME = re.compile(r"^([a-zA-Z][a-zA-Z0-9+.-]*:|//)")
LINE_ANCHOR = re.compile(r"^L\d+(-L\d+)?$")


def prose(text):
    """The text with its code blocks and code spans blanked (kept as long, lines in place)."""
    lines = text.split("\n")
    out = []
    fence = None
    previous_blank = True
    in_indented = False
    for line in lines:
        match = FENCE.match(line)
        if fence:
            if match and match.group(1)[0] == fence[0] and len(match.group(1)) >= len(fence):
                fence = None
            out.append("")
            continue
        if match:
            fence = match.group(1)
            out.append("")
            continue
        blank = line.strip() == ""
        indented = line.startswith("    ") or line.startswith("\t")
        if indented and (previous_blank or in_indented) and not blank:
            in_indented = True
            out.append("")
        else:
            if not blank:
                in_indented = False
            out.append(line)
        previous_blank = blank
    joined = "\n".join(out)
    # Code spans: a run of backticks up to the same run, newlines kept.
    return re.sub(r"(`+)(.+?)\1", lambda m: re.sub(r"[^\n]", " ", m.group(0)), joined, flags=re.S)


def slug(heading):
    """GitHub's anchor for a heading: its text lowercased, punctuation dropped, spaces as -."""
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", heading)  # links as their text
    text = re.sub(r"<[^>]+>", "", text)  # inline HTML
    text = text.replace("`", "").replace("*", "")
    text = text.strip().lower()
    text = "".join(c for c in text if c.isalnum() or c in " -_")
    return text.replace(" ", "-")


def anchors(text):
    """Every anchor a text offers: its headings' (numbered when repeated) and explicit ones."""
    found = set()
    seen = {}
    # Headings from the text as written (their code spans count), outside its code blocks.
    lines = [raw if kept or not raw.strip() else ""
             for raw, kept in zip(text.split("\n"), prose(text).split("\n"))]
    for number, line in enumerate(lines):
        heading = None
        match = ATX.match(line)
        if match:
            heading = match.group(2)
        elif number + 1 < len(lines) and line.strip() and SETEXT.match(lines[number + 1]) \
                and not line.lstrip().startswith(("-", "*", "+", ">")):
            heading = line
        if heading is None:
            continue
        base = slug(heading)
        count = seen.get(base, 0)
        seen[base] = count + 1
        found.add(base if count == 0 else f"{base}-{count}")
    for match in EXPLICIT.finditer(text):
        found.add(match.group(1) or match.group(2))
    return found


def links(text):
    """(line, target) of every link in the text's prose."""
    plain = prose(text)
    for match in INLINE.finditer(plain):
        yield plain.count("\n", 0, match.start(2)) + 1, match.group(2)
    for match in REFERENCE.finditer(plain):
        yield plain.count("\n", 0, match.start(1)) + 1, match.group(1)


def check(path, cache):
    """The broken links of one text, as FILE:LINE: TARGET: WHY."""
    problems = []
    with open(path, encoding="utf-8") as f:
        text = f.read()
    base = os.path.dirname(path)
    for line, target in links(text):
        if not target or SCHEME.match(target):
            continue
        file_part, _, anchor = target.partition("#")
        file_part = urllib.parse.unquote(file_part)
        anchor = urllib.parse.unquote(anchor)
        linked = os.path.normpath(os.path.join(base, file_part)) if file_part else path
        where = f"{path}:{line}: {target}"
        if not os.path.exists(linked):
            problems.append(f"{where}: no such file or folder")
            continue
        if not anchor:
            continue
        if not (os.path.isfile(linked) and MARKDOWN.search(os.path.basename(linked))):
            if not LINE_ANCHOR.match(anchor):
                problems.append(f"{where}: an anchor into a file that is not a Markdown text")
            continue
        if linked not in cache:
            with open(linked, encoding="utf-8") as f:
                cache[linked] = anchors(f.read())
        if anchor not in cache[linked]:
            problems.append(f"{where}: no heading of {linked} makes the anchor #{anchor}")
    return problems


def run(paths):
    cache = {}
    problems = []
    for path in paths:
        problems += check(path, cache)
    for problem in problems:
        print(problem)
    return problems


def default_paths():
    docs = sorted(os.path.join("docs", name) for name in os.listdir("docs") if name.endswith(".md")) \
        if os.path.isdir("docs") else []
    return [p for p in ["README.md", "NEWS"] if os.path.exists(p)] + docs


def self_test():
    """Each kind of link, sound and broken, in a folder of its own."""
    readme = """# Tool

## Quick start: two commands

See [the news](NEWS), [the install](#installing), [its start](#quick-start-two-commands),
[a page](docs/page.md#what-it-covers), [a folder](docs/), [code](src/a.cpp#L12),
[the web](https://example.org/#nowhere), [mail](mailto:a@b.c) and a [second
line's link](docs/page.md).

## Installing

## Installing

[again](#installing-1) ![logo](docs/logo.png "Logo") [ref]: docs/page.md

    [code block](missing.md)

```
[fenced](missing.md)
```

Not `[a span](missing.md)`. Broken: [file](missing.md), [anchor](#no-such-heading),
[page anchor](docs/page.md#nowhere), [into code](src/a.cpp#top), [third](#installing-2).

[name]: docs/gone.md
"""
    news = "# News\n\n## 2.0.4 (2026-12-08)\n\nSee [the start](README.md#quick-start-two-commands).\n"
    page = "What It Covers\n==============\n\n[back](../README.md#tool) [up](../NEWS#204-2026-12-08)\n" \
           "<a name=\"kept\"></a>[kept](#kept) [`code` heading](#the-codes-heading)\n\n" \
           "## The `code`'s *heading*\n"
    expected = [
        "README.md:22: missing.md: no such file or folder",
        "README.md:22: #no-such-heading: no heading of README.md makes the anchor #no-such-heading",
        "README.md:23: docs/page.md#nowhere: no heading of docs/page.md makes the anchor #nowhere",
        "README.md:23: src/a.cpp#top: an anchor into a file that is not a Markdown text",
        "README.md:23: #installing-2: no heading of README.md makes the anchor #installing-2",
        "README.md:25: docs/gone.md: no such file or folder",
    ]
    with tempfile.TemporaryDirectory() as root:
        for name, text in {"README.md": readme, "NEWS": news, "docs/page.md": page,
                           "docs/logo.png": "", "src/a.cpp": ""}.items():
            os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
            with open(os.path.join(root, name), "w", encoding="utf-8") as f:
                f.write(text)
        here = os.getcwd()
        os.chdir(root)
        try:
            print("check_links: the self-test's texts, whose broken links are expected:")
            found = run(["README.md", "NEWS", "docs/page.md"])
        finally:
            os.chdir(here)
    if found != expected:
        print("check_links: self-test FAILED; expected:", *expected, sep="\n", file=sys.stderr)
        return 1
    print(f"check_links: self-test passed ({len(expected)} broken links found, no sound one reported)")
    return 0


def main(argv):
    if argv == ["--self-test"]:
        return self_test()
    if not argv:  # the project's texts, from its top folder
        os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    paths = argv or default_paths()
    problems = run(paths)
    if problems:
        print(f"check_links: {len(problems)} broken links", file=sys.stderr)
        return 1
    print(f"check_links: every relative link and anchor in {', '.join(paths)} resolves")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
