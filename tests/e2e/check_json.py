#!/usr/bin/env python3
"""FolvaneCheck --json parsed by Python's own JSON parser: one object per line, the keys of each
kind and nothing else, texts whose bytes 80h-FFh come back as U+0080-U+00FF, and the same
content as the text lines of the same run.

Usage: check_json.py FOLVANECHECK
"""
import json
import os
import subprocess
import sys
import tempfile

BASE = {"file", "line", "kind", "section", "message"}
KEYS = {
    "warning": BASE,
    "note": BASE,
    "error": BASE,
    "plan": BASE,
    "change": BASE | {"unit", "old", "new"},
    "match": BASE | {"unit"},
    "summary": BASE | {"units", "differing", "settings", "unreadable"},
}
WITH_UNIT = BASE | {"unit"}  # a unit's note (a password set to a text), and a unit's file not read or no unit's

failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)


def run(program, args, cwd):
    env = dict(os.environ, LC_ALL="C")
    return subprocess.run([program] + args, cwd=cwd, env=env, capture_output=True)


def parse(output):
    objects = []
    for number, line in enumerate(output.split(b"\n")[:-1], 1):
        expect(line.isascii(), f"line {number} is not ASCII: {line!r}")
        try:
            value = json.loads(line)
        except json.JSONDecodeError as error:
            failures.append(f"line {number} is no JSON ({error}): {line!r}")
            continue
        expect(isinstance(value, dict), f"line {number} is no object: {line!r}")
        objects.append(value)
    expect(output.endswith(b"\n") or not output, "the output does not end with a line feed")
    return objects


def check_keys(value):
    kind = value.get("kind")
    keys = set(value)
    expected = KEYS.get(kind)
    if kind in ("note", "error") and "unit" in value:
        expected = WITH_UNIT
    expect(expected is not None, f"unknown kind: {value}")
    expect(keys == expected, f"keys {sorted(keys)} of a {kind}: {value}")
    expect(isinstance(value["file"], str) and isinstance(value["message"], str), f"texts: {value}")
    expect(value["line"] is None or (isinstance(value["line"], int) and value["line"] > 0), f"line: {value}")
    expect(value["section"] is None or isinstance(value["section"], str), f"section: {value}")
    if kind == "change":
        expect(value["old"] is None or isinstance(value["old"], str), f"old: {value}")
        expect(isinstance(value["new"], str), f"new: {value}")
    if kind == "summary":
        for key in ("units", "differing", "settings", "unreadable"):
            expect(isinstance(value[key], int), f"{key}: {value}")


def byte_text(text):
    """A text of the output as the bytes the text lines carry (characters 00h-FFh)."""
    return text.encode("latin-1")


def text_line(value):
    """The text line that the same run without --json prints for the object, and its stream."""
    kind, file, line, message = value["kind"], value["file"], value["line"], value["message"]
    where = "" if line is None else f":{line}"
    if kind == "error":
        return "err", f"{file}{where}: {kind}: {message}"
    if kind == "note" and "unit" in value:
        # The text line marks the note after the section; the message does not repeat its kind.
        section = value["section"]
        expect(message.startswith(f"{section}: ") and "note" not in message, f"a unit's note: {value}")
        return "out", f"{value['unit']}: {section}: note: {message[len(section) + 2:]} ({file}:{line})"
    if kind == "match":
        expect(line is None and value["section"] is None and message == f"matches {file}", f"a match: {value}")
        return "out", f"{value['unit']}: {message}"
    if "unit" in value:
        return "out", f"{value['unit']}: {message} ({file}:{line})"
    if kind == "summary":
        return "out", message
    if kind == "plan":
        return "out", f"{file}{where}: {message}"
    return ("err" if kind == "error" else "out"), f"{file}{where}: {kind}: {message}"


def compare_with_text(program, args, cwd, objects):
    text = run(program, args, cwd)
    out = b"".join(byte_text(line) + b"\n" for stream, line in map(text_line, objects) if stream == "out")
    err = b"".join(byte_text(line) + b"\n" for stream, line in map(text_line, objects) if stream == "err")
    expect(text.stdout == out, f"text lines of {args}:\n{text.stdout!r}\nfrom JSON:\n{out!r}")
    expect(text.stderr == err, f"standard error of {args}:\n{text.stderr!r}\nfrom JSON:\n{err!r}")


def write(folder, name, data):
    with open(os.path.join(folder, os.fsdecode(name)), "wb") as file:
        file.write(data)


def main():
    program = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as folder:
        golden = b"g\xe9n\xe9ral.txt"  # a name in no encoding of the C locale
        write(folder, golden,
              b"Setup Password\n\tNight Shift\nPower-On Password\nAsset Tracking Number\n\tROOM \"7\"\n"
              b"Numlok\n\t*On\nPrinter Mode\n\t*ECP\nECP Mode Use DMA\n\t*DMA3\nWake On RTC\n\t*Monday\n\t6:05pm\n")
        write(folder, b"unit-1.txt",
              b"Setup Password\n\t\nAsset Tracking Number\n\tCaf\xe9 ~\nPrinter Mode\n\t*EPP\n"
              b"ECP Mode Use DMA\n\tDMA1\n\tDMA3\nWake On RTC\n\t*Monday\n\t6:05\n")
        write(folder, b"unit-2.txt",
              b"Asset Tracking Number\n\tROOM \"7\"\nPrinter Mode\n\t*ECP\nECP Mode Use DMA\n\tDMA1\n\t*DMA3\n"
              b"Power-On Password\n")
        # A unit that differs in nothing the golden file sets; its password set to a text is a note.
        write(folder, b"unit-3.txt",
              b"Setup Password\n\t\nPower-On Password\nAsset Tracking Number\n\tROOM \"7\"\nPrinter Mode\n\t*ECP\n"
              b"ECP Mode Use DMA\n\tDMA1\n\t*DMA3\nWake On RTC\n\t*Monday\n\t6:05\n")
        write(folder, b"other.txt", b"Boot Order\n\tLAN\n")  # none of the sections R always writes
        fleet = ["--plan", "--against", os.fsdecode(golden), "unit-1.txt", "unit-2.txt", "missing.txt", "unit-3.txt",
                 "other.txt"]
        result = run(program, ["--json"] + fleet, folder)
        expect(result.returncode == 2, f"status {result.returncode}")
        expect(result.stderr == b"", f"standard error: {result.stderr!r}")
        objects = parse(result.stdout)
        for value in objects:
            check_keys(value)
        kinds = [value["kind"] for value in objects]
        for kind in KEYS:
            expect(kind in kinds, f"no {kind} among {kinds}")
        changes = {(o["unit"], o["section"]): o for o in objects if o["kind"] == "change"}
        tag = changes.get(("unit-1.txt", "Asset Tracking Number"), {})
        expect(tag.get("old") == "Caf\u00e9 ~" and tag.get("new") == 'ROOM "7"', f"the tag's change: {tag}")
        expect(tag.get("file") == "g\u00e9n\u00e9ral.txt" and tag.get("line") == 5, f"where: {tag}")
        dma = changes.get(("unit-1.txt", "ECP Mode Use DMA"), {})
        expect(dma.get("old") is None and dma.get("new") == "DMA3", f"an unknown value is null: {dma}")
        summary = objects[-1]
        counts = tuple(summary.get(key) for key in ("units", "differing", "settings", "unreadable"))
        expect(summary["kind"] == "summary" and counts == (3, 2, 6, 2), f"summary: {summary}")
        expect(summary["message"] == "2 of 3 units differ from g\u00e9n\u00e9ral.txt (6 settings); 2 could not be read",
               f"{summary}")
        # The password set to a text: a note where the unit's file shows one set, else a change.
        notes = [o for o in objects if o["kind"] == "note" and "unit" in o]
        expect([o["unit"] for o in notes] == ["unit-1.txt", "unit-3.txt"], f"the notes: {notes}")
        # Every unit is named: by its changes, its match, or its error.
        matches = [o for o in objects if o["kind"] == "match"]
        expect([(o["unit"], o["file"]) for o in matches] == [("unit-3.txt", "g\u00e9n\u00e9ral.txt")],
               f"the matches: {matches}")
        password = changes.get(("unit-2.txt", "Setup Password"), {})
        expect(password.get("old") is None and password.get("new") == "set", f"a password over none: {password}")
        errors = [o for o in objects if o["kind"] == "error"]
        expect([o.get("unit") for o in errors] == ["missing.txt", "other.txt"], f"a unit's error names its unit: {errors}")
        expect(errors and errors[-1]["message"] == "not a unit file (none of the sections that R always writes); not compared",
               f"not a unit file: {errors}")
        compare_with_text(program, fleet, folder, objects)

        # Without --against: each file's diagnostics and plan.
        plain = ["--plan", "unit-2.txt", os.fsdecode(golden)]
        result = run(program, ["--json"] + plain, folder)
        objects = parse(result.stdout)
        for value in objects:
            check_keys(value)
        expect({o["kind"] for o in objects} == {"note", "warning", "plan"}, f"kinds: {objects}")
        compare_with_text(program, plain, folder, objects)

        # Units from a list, one line of which names no file: an error of the list, at its line.
        write(folder, b"units.txt", b"unit-3.txt\r\nunit\x00.txt\n")
        listed = ["--against", os.fsdecode(golden), "--units-from", "units.txt"]
        result = run(program, ["--json"] + listed, folder)
        objects = parse(result.stdout)
        for value in objects:
            check_keys(value)
        expect([(o["kind"], o["file"], o["line"]) for o in objects if o["kind"] in ("match", "error")]
               == [("match", "g\u00e9n\u00e9ral.txt", None), ("error", "units.txt", 2)], f"a list: {objects}")
        expect(result.returncode == 2, f"status {result.returncode}")
        compare_with_text(program, listed, folder, objects)

        # Files that W refuses: a unit's converted file, one error with its unit; a golden file
        # that W refuses, one error and no unit compared; a file checked alone, its error after
        # its warnings.
        write(folder, b"utf16.txt", b"\xff\xfeN\x00u\x00m\x00\n\x00")
        write(folder, b"cr.txt", b"Numlock\r\t*On\r")
        write(folder, b"none.txt", b"Numlok\n\t*On\n")
        for args, expected in (
            (["--against", os.fsdecode(golden), "utf16.txt", "cr.txt", "unit-3.txt"],
             [("error", "utf16.txt", "UTF-16 text (R writes 8-bit text with LF or CR LF line ends); not compared"),
              ("error", "cr.txt", "lines end in CR alone (R writes 8-bit text with LF or CR LF line ends); not compared")]),
            (["--against", "cr.txt", "unit-3.txt"], [("error", None, "W refuses it (lines end in CR alone); no unit compared")]),
            (["none.txt"], [("warning", None, None),
                            ("error", None, "no setting section; W refuses it: give it a section, a header line as R writes it")]),
        ):
            result = run(program, ["--json"] + args, folder)
            objects = parse(result.stdout)
            for value in objects:
                check_keys(value)
            kinds = ("error", "warning") if args == ["none.txt"] else ("error",)
            found = [(o["kind"], o.get("unit"), o["message"] if o["kind"] == "error" else None)
                     for o in objects if o["kind"] in kinds]
            expect(found == expected, f"{args}: {objects}")
            expect(result.returncode == 2, f"{args}: status {result.returncode}")
            compare_with_text(program, args, folder, objects)
    if failures:
        print("\n".join(failures))
        return 1
    print("check_json: every line is a JSON object with the keys of its kind")
    return 0


if __name__ == "__main__":
    sys.exit(main())
