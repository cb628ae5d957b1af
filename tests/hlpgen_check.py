#!/usr/bin/env python3
"""Runs scripts/hlpgen.py on small sources: each bad one must end the build
with one line that names the source line and the fault, and the good ones
must build quietly with every text kept as written.

  hlpgen_check.py HLPGEN
"""
import ast
import os
import re
import struct
import subprocess
import sys
import tempfile

HEAD = "title: T\n"
# (what is wrong, source, line named, words of the message)
BAD = [
    ("a topic number twice", HEAD + "topic 5 a: A\nx\ntopic 5 b: B\ny\n", 4, "topic number 5 is already line 2's"),
    ("a context name twice, in another case", HEAD + "topic 5 a: A\nx\ntopic 6 A: B\ny\n", 4,
     "context name A is already line 2's"),
    ("a non-ASCII context name", HEAD + "topic 5 caf\xe9: A\nx\n", 2, "byte 0xE9 is not ASCII"),
    ("a non-ASCII text", HEAD + "topic 5 a: A\nDon\x92t\n", 3, "byte 0x92 is not ASCII"),
    ("a heading in another case", HEAD + "topic 5 a: A\nx\nTopic 6 b: B\ny\n", 4, "not a topic heading"),
    ("an indented heading", HEAD + "topic 5 a: A\nx\n  topic 7 c: C\ny\n", 4, "not a topic heading"),
    ("a heading with a space before its colon", HEAD + "topic 5 a: A\nx\ntopic 7 c : C\ny\n", 4,
     "not a topic heading"),
    ("a context number out of range", HEAD + "topic 70000 a: A\nx\n", 2, "not from 1 to 65535"),
    ("a topic with no text", HEAD + "topic 5 a: A\n\ntopic 6 b: B\ny\n", 2, "topic 5 has no text"),
    ("a topic with no title", HEAD + "topic 5 a:\nx\n", 2, "topic 5 has no title"),
    ("text before the first topic", HEAD + "topic of the day\ntopic 5 a: A\nx\n", 2, "text before the first topic"),
    ("no title", "topic 5 a: A\nx\n", 1, 'a topic before the "title:" line'),
    ("no topic", HEAD + "# nothing else\n", 2, "the source ends without a topic"),
    ("a byte Windows-1252 lacks", HEAD + "topic 5 a: A\nx \x81\n", 3, "byte 0x81 is not ASCII"),
    ("a control character", HEAD + "topic 5 a: A\nx\x00y\n", 3, "control character 0x00"),
    ("more than one block of topics", HEAD + "".join(f"topic {n} t{n}: T\n{'x' * 300}\n" for n in range(1, 20)),
     20, "topic 10 ends past the one 4096-byte block"),
]

# Lines that begin like a heading or a title but are text, and the quote and
# backslash that the resource and the header must carry as they are.
GOOD = HEAD + """topic 5 a: A
topic of the day: "quoted" and a \\ backslash
title: still text

topic 7 b: B
topic 5 is above.
"""
GOOD_TEXTS = {5: 'topic of the day: "quoted" and a \\ backslash title: still text', 7: "topic 5 is above."}


def run(hlpgen, folder, source):
    path = os.path.join(folder, "help.txt")
    with open(path, "wb") as f:
        f.write(source.encode("latin-1"))
    outputs = [os.path.join(folder, name) for name in ("W.hlp", "texts.bin", "topics.h")]
    done = subprocess.run([sys.executable, hlpgen, path] + outputs, capture_output=True, text=True)
    return done, path, outputs


def main():
    hlpgen, failures = sys.argv[1], []
    with tempfile.TemporaryDirectory() as folder:
        for what, source, line, words in BAD:
            done, path, _ = run(hlpgen, folder, source)
            said = (done.stdout + done.stderr).splitlines()
            if done.returncode == 0 or len(said) != 1 or not said[0].startswith(f"hlpgen: {path}:{line}: ") \
                    or words not in said[0]:
                failures.append(f"{what}: exit {done.returncode}, wanted line {line} and '{words}', said:\n  "
                                + "\n  ".join(said))

        done, _, (_, texts, header) = run(hlpgen, folder, GOOD)
        if done.returncode != 0 or done.stdout or done.stderr:
            failures.append(f"good source: exit {done.returncode}: {done.stdout}{done.stderr}")
        else:
            with open(texts, "rb") as f:
                blob = f.read()
            stored = {}
            while len(blob) >= 4:
                number, length = struct.unpack_from("<HH", blob)
                stored[number] = blob[4:4 + length].decode("cp1252")
                blob = blob[4 + length:]
            with open(header, encoding="cp1252") as f:
                shown = {int(n): ast.literal_eval(text) for n, text in
                         re.findall(r'\{(\d+), "(?:[^"\\]|\\.)*", ("(?:[^"\\]|\\.)*")\}', f.read())}
            for name, got in (("resource", stored), ("header", shown)):
                if got != GOOD_TEXTS:
                    failures.append(f"good source: the {name} holds {got!r}, not {GOOD_TEXTS!r}")

    for f in failures:
        print(f)
    print(f"hlpgen: {len(BAD) + 1 - len(failures)} of {len(BAD) + 1} sources as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
