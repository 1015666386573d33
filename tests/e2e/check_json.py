#!/usr/bin/env python3
"""FolvaneCheck --json (format 2) parsed by Python's own JSON parser: one object per line, the
keys of each kind in the order and number that the manual page lists (docs/FolvaneCheck.1,
"Kinds and keys"), every error's code among the manual page's "Error codes", a summary with
"format": 2 last in every run, file names not UTF-8 mapped back through file_bytes_hex, and the
same content as the text lines of the same run.

Usage: check_json.py FOLVANECHECK
FOLVANECHECK may be the Windows build's FolvaneCheck.exe, started by FOLVANE_E2E_CHECK_LAUNCHER
(wine). Its names are Windows names: Unicode, without line feeds, so the golden file's name is
UTF-8 there (no golden_bytes_hex) and the unit's name that the text line quotes begins with a
blank instead of holding a line feed.
"""
import json
import os
import re
import subprocess
import sys
import tempfile

MANUAL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs", "FolvaneCheck.1")
# The codes that the manual page must list, at the least.
REQUIRED_CODES = {"cannot-open", "not-a-regular-file", "not-a-unit-file", "utf-16", "cr-line-ends", "no-section",
                  "list-cannot-open", "list-line", "output-failed"}

failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)


def manual_lists():
    """The manual page's kinds, each with the key lists of its forms, and its error codes."""
    with open(MANUAL, encoding="utf-8") as file:
        lines = file.read().split("\n")
    kinds, codes, subsection = {}, [], None
    for number, line in enumerate(lines):
        if line.startswith(".SS ") or line.startswith(".SH "):
            subsection = line[4:].strip('"')
            continue
        if line != ".TP" or number + 2 >= len(lines):
            continue
        tag = re.match(r"^\.BR? (\S+)", lines[number + 1])
        if not tag:
            continue
        name = tag.group(1).replace("\\-", "-")
        if subsection == "Kinds and keys":
            keys = lines[number + 2].split(", ")
            expect(all(re.fullmatch(r"[a-z_]+", key) for key in keys), f"the keys of {name}: {lines[number + 2]}")
            kinds.setdefault(name, []).append(keys)
        elif subsection == "Error codes":
            codes.append(name)
    return kinds, codes


KINDS, CODES = manual_lists()


def run(program, args, cwd, stdin=b""):
    # wine takes the arguments' bytes, and names the files it opens, in the locale's encoding.
    launcher = os.environ.get("FOLVANE_E2E_CHECK_LAUNCHER")
    env = dict(os.environ, LC_ALL="C.UTF-8" if launcher else "C")
    command = ([launcher] if launcher else []) + [program]
    result = subprocess.run(command + args, cwd=cwd, env=env, input=stdin, capture_output=True)
    # Wine now and then does not start the program at all: status 1 and no output, which
    # FolvaneCheck itself ends with only under --quiet. Such a run is made once more, and said.
    if launcher and "--quiet" not in args and result.returncode == 1 and not result.stdout and not result.stderr:
        print("check_json: wine did not start FolvaneCheck.exe (status 1, no output); once more", file=sys.stderr)
        result = subprocess.run(command + args, cwd=cwd, env=env, input=stdin, capture_output=True)
    return result


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


def name_bytes(value, key):
    """A name's bytes: from its _bytes_hex where it has one (a name that is not UTF-8, whose
    characters then are those bytes), else its characters as UTF-8."""
    if key + "_bytes_hex" not in value:
        return value[key].encode("utf-8")
    data = bytes.fromhex(value[key + "_bytes_hex"])
    try:
        data.decode("utf-8")
        failures.append(f"{key}_bytes_hex of a UTF-8 name: {value}")
    except UnicodeDecodeError:
        pass
    expect(value[key].encode("utf-8", "surrogatepass") == data or any(ord(c) < 0x100 for c in value[key]),
           f"{key} and its bytes: {value}")
    return data


def check_keys(value):
    kind = value.get("kind")
    keys = [key for key in value if not key.endswith("_bytes_hex")]
    forms = KINDS.get(kind)
    expect(forms is not None, f"a kind that the manual page does not list: {value}")
    expect(forms is None or keys in forms, f"keys {keys} of a {kind}, none of the manual page's {forms}: {value}")
    extra = [key for key in value if key.endswith("_bytes_hex")]
    expect(list(value)[len(keys):] == extra and all(key[:-len("_bytes_hex")] in value for key in extra),
           f"bytes of names last: {value}")
    expect(value["file"] is None if kind == "summary" else isinstance(value["file"], str), f"file: {value}")
    expect(isinstance(value["message"], str), f"message: {value}")
    expect(value["line"] is None or (isinstance(value["line"], int) and value["line"] > 0), f"line: {value}")
    expect(value["section"] is None or isinstance(value["section"], str), f"section: {value}")
    if "unit" in value:
        expect(value["unit"] == value["file"], f"unit is file: {value}")
    if kind == "error":
        expect(value["code"] in CODES, f"a code that the manual page does not list: {value}")
    if kind == "change":
        expect(value["old"] is None or isinstance(value["old"], str), f"old: {value}")
        expect(isinstance(value["new"], str), f"new: {value}")
    if kind == "unit":
        expect(value["status"] in ("match", "differs", "unreadable"), f"status: {value}")
        expect((value["settings"] > 0) == (value["status"] == "differs"), f"settings: {value}")
    if kind == "summary":
        expect(value["format"] == 2, f"format: {value}")
        for key in value:
            if key not in ("file", "line", "kind", "section", "message", "golden") and not key.endswith("_hex"):
                expect(isinstance(value[key], int), f"{key}: {value}")


def check_run(objects):
    for value in objects:
        check_keys(value)
    expect(objects and objects[-1]["kind"] == "summary", f"the run does not end with its summary: {objects}")
    expect([o["kind"] for o in objects].count("summary") == 1, f"one summary: {objects}")


def shown(data):
    """A file's name as the text lines show it: as it is, or quoted with C escapes."""
    escapes = {0x22: '\\"', 0x5C: "\\\\", 0x09: "\\t", 0x0A: "\\n", 0x0D: "\\r"}
    text = data.decode("utf-8", "surrogateescape")
    plain = data and data[:1] != b" " and data[-1:] != b" " and not any(
        ord(c) < 0x20 or 0x7F <= ord(c) < 0xA0 or c in '"\\' or 0xDC80 <= ord(c) <= 0xDCFF for c in text)
    if plain:
        return data
    out = b'"'
    for c in text:
        code = ord(c)
        if 0xDC80 <= code <= 0xDCFF:
            out += b"\\x%02X" % (code - 0xDC00)
        elif code in escapes:
            out += escapes[code].encode()
        elif code < 0x20 or 0x7F <= code < 0xA0:
            out += b"".join(b"\\x%02X" % b for b in c.encode("utf-8"))
        else:
            out += c.encode("utf-8")
    return out + b'"'


def data_text(text):
    """A data file's text in the output: characters 00h-FFh as the bytes they stand for."""
    return text.encode("latin-1")


def text_line(value):
    """The text line that the same run without --json prints for the record, and its stream."""
    kind, line, message = value["kind"], value["line"], value["message"]
    file = shown(name_bytes(value, "file")) if value["file"] is not None else None
    golden = shown(name_bytes(value, "golden")) if "golden" in value else None
    where = b"" if line is None else b":%d" % line
    if kind == "error":
        return "err", file + where + b": error: " + data_text(message)
    if kind == "unit":
        return ("out", file + b": matches " + golden) if value["status"] == "match" else (None, None)
    if kind == "summary":
        if golden is None:
            return None, None
        # The message names GOLDEN by its characters; the text line shows it as names are shown.
        name = value["golden"]
        expect(name in message, f"the summary names GOLDEN: {value}")
        before, after = message.split(name, 1)
        return "out", before.encode() + golden + after.encode()
    if kind in ("change", "note") and golden is not None:
        section = value["section"]
        text = message
        if kind == "note":
            # The text line marks the note after the section; the message does not repeat its kind.
            expect(message.startswith(f"{section}: ") and "note" not in message, f"a unit's note: {value}")
            text = f"{section}: note: {message[len(section) + 2:]}"
        expect(line is None, f"a comparison's line is GOLDEN's, golden_line: {value}")
        return "out", file + b": " + data_text(text) + b" (" + golden + b":%d)" % value["golden_line"]
    if kind == "plan":
        return "out", file + where + b": " + data_text(message)
    return "out", file + where + b": " + kind.encode() + b": " + data_text(message)


def compare_with_text(program, args, cwd, objects, stdin=b""):
    text = run(program, args, cwd, stdin)
    lines = [text_line(o) for o in objects]
    out = b"".join(line + b"\n" for stream, line in lines if stream == "out")
    err = b"".join(line + b"\n" for stream, line in lines if stream == "err")
    expect(text.stdout == out, f"text lines of {args}:\n{text.stdout!r}\nfrom JSON:\n{out!r}")
    expect(text.stderr == err, f"standard error of {args}:\n{text.stderr!r}\nfrom JSON:\n{err!r}")


def write(folder, name, data):
    with open(os.path.join(os.fsencode(folder), name), "wb") as file:
        file.write(data)


def json_run(program, args, folder, stdin=b""):
    result = run(program, ["--json"] + args, folder, stdin)
    objects = parse(result.stdout)
    check_run(objects)
    compare_with_text(program, args, folder, objects, stdin)
    return result, objects


def main():
    program = os.path.abspath(sys.argv[1])
    expect(set(KINDS) == {"warning", "note", "plan", "error", "change", "unit", "summary"}, f"kinds: {KINDS}")
    expect(REQUIRED_CODES <= set(CODES) and len(CODES) == len(set(CODES)), f"codes: {CODES}")
    seen = set()
    windows = program.lower().endswith(".exe")
    # A name that is not UTF-8, and one that the text lines quote.
    golden = "g\u00e9n\u00e9ral.txt".encode() if windows else b"g\xe9n\xe9ral.txt"
    unit_2 = b" unit 2.txt" if windows else b"unit 2\n.txt"
    with tempfile.TemporaryDirectory() as folder:
        write(folder, golden,
              b"Setup Password\n\tNight Shift\nPower-On Password\nAsset Tracking Number\n\tROOM \"7\"\n"
              b"Numlok\n\t*On\nPrinter Mode\n\t*ECP\nECP Mode Use DMA\n\t*DMA3\nWake On RTC\n\t*Monday\n\t6:05pm\n")
        write(folder, b"unit-1.txt",
              b"Setup Password\n\t\nAsset Tracking Number\n\tCaf\xe9 ~\nPrinter Mode\n\t*EPP\n"
              b"ECP Mode Use DMA\n\tDMA1\n\tDMA3\nWake On RTC\n\t*Monday\n\t6:05\n")
        write(folder, unit_2,
              b"Asset Tracking Number\n\tROOM \"7\"\nPrinter Mode\n\t*ECP\nECP Mode Use DMA\n\tDMA1\n\t*DMA3\n"
              b"Power-On Password\n")
        # A unit that differs in nothing the golden file sets; its password set to a text is a note.
        write(folder, "unit-3-\u00e9.txt".encode(),
              b"Setup Password\n\t\nPower-On Password\nAsset Tracking Number\n\tROOM \"7\"\nPrinter Mode\n\t*ECP\n"
              b"ECP Mode Use DMA\n\tDMA1\n\t*DMA3\nWake On RTC\n\t*Monday\n\t6:05\n")
        write(folder, b"other.txt", b"Boot Order\n\tLAN\n")  # none of the sections R always writes
        units = [b"unit-1.txt", unit_2, b"missing.txt", "unit-3-\u00e9.txt".encode(), b"other.txt"]
        fleet = ["--plan", "--against", os.fsdecode(golden), "--null", "--units-from", "-"]
        result, objects = json_run(program, fleet, folder, b"\0".join(units))
        expect(result.returncode == 2, f"status {result.returncode}")
        expect(result.stderr == b"", f"standard error: {result.stderr!r}")
        seen |= {(o["kind"], tuple(k for k in o if not k.endswith("_hex"))) for o in objects}
        changes = {(o["unit"], o["section"]): o for o in objects if o["kind"] == "change"}
        tag = changes.get(("unit-1.txt", "Asset Tracking Number"), {})
        expect(tag.get("old") == "Caf\u00e9 ~" and tag.get("new") == 'ROOM "7"', f"the tag's change: {tag}")
        golden_hex = None if windows else golden.hex().upper()
        expect(tag.get("golden") == "g\u00e9n\u00e9ral.txt" and tag.get("golden_bytes_hex") == golden_hex
               and tag.get("golden_line") == 5 and tag.get("file") == "unit-1.txt", f"where: {tag}")
        dma = changes.get(("unit-1.txt", "ECP Mode Use DMA"), {})
        expect(dma.get("old") is None and dma.get("new") == "DMA3", f"an unknown value is null: {dma}")
        summary = objects[-1]
        counts = tuple(summary.get(key) for key in ("units", "differing", "settings", "unreadable"))
        expect(counts == (3, 2, 6, 2), f"summary: {summary}")
        # Every unit has its record, after its changes, with the number of them.
        records = [(o["unit"], o["status"], o["settings"]) for o in objects if o["kind"] == "unit"]
        expect(records == [("unit-1.txt", "differs", 4), (os.fsdecode(unit_2), "differs", 2),
                           ("missing.txt", "unreadable", 0), ("unit-3-\u00e9.txt", "match", 0),
                           ("other.txt", "unreadable", 0)], f"the units: {records}")
        for number, value in enumerate(objects):
            if value["kind"] in ("change", "note") and "unit" in value:
                after = [o for o in objects[number:] if o["kind"] == "unit"]
                expect(after and after[0]["unit"] == value["unit"], f"a unit's record after its lines: {value}")
        errors = [(o["unit"], o["code"]) for o in objects if o["kind"] == "error"]
        expect(errors == [("missing.txt", "cannot-open"), ("other.txt", "not-a-unit-file")], f"errors: {errors}")

        # Without --against: each file's diagnostics and plan, and the summary of the files.
        plain = ["--plan", os.fsdecode(unit_2), os.fsdecode(golden), "missing.txt"]
        result, objects = json_run(program, plain, folder)
        seen |= {(o["kind"], tuple(k for k in o if not k.endswith("_hex"))) for o in objects}
        expect({o["kind"] for o in objects} == {"note", "warning", "plan", "error", "summary"}, f"kinds: {objects}")
        counts = tuple(objects[-1].get(key) for key in ("files", "with_warnings", "with_errors"))
        expect(counts == (3, 1, 1), f"a plain check's summary: {objects[-1]}")

        # Units from a list, one line of which names no file: an error of the list, at its line.
        write(folder, b"units.txt", "unit-3-\u00e9.txt\r\nunit\0.txt\n".encode())
        listed = ["--against", os.fsdecode(golden), "--units-from", "units.txt"]
        result, objects = json_run(program, listed, folder)
        seen |= {(o["kind"], tuple(k for k in o if not k.endswith("_hex"))) for o in objects}
        expect([(o["kind"], o["file"], o["line"], o.get("code")) for o in objects if o["kind"] in ("unit", "error")]
               == [("unit", "unit-3-\u00e9.txt", None, None), ("error", "units.txt", 2, "list-line")],
               f"a list: {objects}")
        expect(result.returncode == 2, f"status {result.returncode}")

        # A list that cannot be opened: nothing checked, and still the summary.
        result, objects = json_run(program, ["--units-from", "missing.txt", "unit-1.txt"], folder)
        expect([o.get("code") for o in objects] == ["list-cannot-open", None], f"no list: {objects}")

        # Files that W refuses: a unit's converted file, one error with its unit; a golden file
        # that W refuses, one error and no unit compared; a file checked alone, its error after
        # its warnings.
        write(folder, b"utf16.txt", b"\xff\xfeN\x00u\x00m\x00\n\x00")
        write(folder, b"cr.txt", b"Numlock\r\t*On\r")
        write(folder, b"none.txt", b"Numlok\n\t*On\n")
        for args, expected in (
            (["--against", os.fsdecode(golden), "utf16.txt", "cr.txt", "unit-3-\u00e9.txt"],
             [("error", "utf16.txt", "utf-16",
               "UTF-16 text (R writes 8-bit text with LF or CR LF line ends); not compared"),
              ("error", "cr.txt", "cr-line-ends",
               "lines end in CR alone (R writes 8-bit text with LF or CR LF line ends); not compared")]),
            (["--against", "cr.txt", "unit-3-\u00e9.txt"],
             [("error", "cr.txt", "cr-line-ends", "W refuses it (lines end in CR alone); no unit compared")]),
            (["none.txt"], [("warning", "none.txt", None, None),
                            ("error", "none.txt", "no-section",
                             "no setting section; W refuses it: give it a section, a header line as R writes it")]),
        ):
            if args[:2] == ["--against", "cr.txt"]:
                # The text has no summary when no unit was compared; JSON ends every run with one.
                result = run(program, ["--json"] + args, folder)
                objects = parse(result.stdout)
                check_run(objects)
                expect(objects[-1]["units"] == 0, f"no unit compared: {objects}")
                compare_with_text(program, args, folder, objects[:-1])
            else:
                result, objects = json_run(program, args, folder)
            seen |= {(o["kind"], tuple(k for k in o if not k.endswith("_hex"))) for o in objects}
            kinds = ("error", "warning") if args == ["none.txt"] else ("error",)
            found = [(o["kind"], o["file"], o.get("code"), o["message"] if o["kind"] == "error" else None)
                     for o in objects if o["kind"] in kinds]
            expect(found == expected, f"{args}: {found}")
            expect(result.returncode == 2, f"{args}: status {result.returncode}")
    # Every form of every kind that the manual page lists has been seen.
    for kind, forms in KINDS.items():
        for keys in forms:
            expect((kind, tuple(keys)) in seen, f"no {kind} with {keys} in the runs")
    if failures:
        print("\n".join(failures))
        return 1
    print("check_json: every line is a JSON object with the keys that the manual page gives its kind")
    return 0


if __name__ == "__main__":
    sys.exit(main())
