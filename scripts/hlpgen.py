#!/usr/bin/env python3
"""Builds the help of the properties dialog from res/help.txt:

  hlpgen.py SOURCE HLP TEXTS HEADER

HLP     a WinHelp 4.0 file: uncompressed, one 4 KB topic block, no phrases
        and no keyword index, a topic per context number (|CTXOMAP), a hash
        per context name (|CONTEXT) and the titles (|TTLBTREE);
TEXTS   each topic's text, as one resource (IDR_HELP_TEXTS) in the
        program's code page, half the size of a string table's UTF-16, for
        the pop-ups that show it where no WinHelp viewer exists;
HEADER  the topics as C data, for the tests that compare what is shown.

The layout follows the public descriptions of the format (the help
decompiler's notes on the .HLP file, and Wine's reader).
"""
import re
import struct
import sys

TOPIC_BLOCK = 4096
BLOCK_HEADER = 12
NONE = 0xFFFFFFFF

HEADING = re.compile(r"topic[ \t]+([0-9]+)[ \t]+([^\s:]+):(.*)")
# A heading mistyped ("Topic 6 b: B", "topic 7 c : C") would silently join
# the topic before it and leave its own context with nothing to show.
LIKE_HEADING = re.compile(r"[ \t]*topic[ \t]+[0-9]+[ \t]+\S.*:.*", re.IGNORECASE)
CONTEXT_NAME = re.compile(r"[0-9A-Za-z._]+")
CONTROL = re.compile(r"[\x00-\x08\x0a-\x1f\x7f]")


def fail(where, message):
    """Ends the build with one line: the source, the line and what is wrong."""
    sys.exit(f"hlpgen: {where}: {message}")


def parse(path):
    """The title and the topics. A line is a heading only in the full form
    "topic NUMBER NAME: TITLE", so that a text that starts with the word
    "topic" stays text; "title:" counts only before the first topic."""
    title, topics, current, number = None, [], None, 0
    numbers, hashes = {}, {}
    with open(path, "rb") as f:
        lines = f.read().split(b"\n")
    if lines and not lines[-1]:
        lines.pop()
    for number, raw in enumerate(lines, 1):
        where = f"{path}:{number}"
        # The pop-ups show the bytes in whatever code page the system has:
        # only ASCII reads the same in all of them.
        wide = next((b for b in raw if b >= 0x80), None)
        if wide is not None:
            fail(where, f"byte 0x{wide:02X} is not ASCII (the pop-ups show it in the system's own code page)")
        line = raw.rstrip(b"\r").decode("ascii")
        control = CONTROL.search(line)
        if control:
            fail(where, f"control character 0x{ord(control[0]):02X}: only tabs and printable text")
        if line.startswith("#"):
            continue
        heading = HEADING.fullmatch(line)
        if current is None and line.startswith("title:"):
            if title is not None:
                fail(where, f"a second title (the first is on line {title[1]})")
            title = (line[6:].strip(), number)
            if not title[0]:
                fail(where, "the title is empty")
        elif heading:
            if title is None:
                fail(where, 'a topic before the "title:" line')
            n, context, name = int(heading[1]), heading[2], heading[3].strip()
            if not 1 <= n <= 0xFFFF:
                fail(where, f"topic number {heading[1]} is not from 1 to 65535")
            if n in numbers:
                fail(where, f"topic number {n} is already line {numbers[n]}'s")
            if not CONTEXT_NAME.fullmatch(context):
                fail(where, f"context name {context!r} may hold only ASCII 0-9 A-Z a-z . _")
            # WinHelp finds a name by its hash, which ignores case.
            h = context_hash(context)
            if h in hashes:
                other, at = hashes[h]
                if other.lower() == context.lower():
                    fail(where, f"context name {context} is already line {at}'s (case does not count)")
                fail(where, f"context name {context} has the same hash as line {at}'s {other}")
            if not name:
                fail(where, f"topic {n} has no title")
            numbers[n], hashes[h] = number, (context, number)
            current = {"number": n, "context": context, "title": name, "paras": [[]], "where": where}
            topics.append(current)
        elif LIKE_HEADING.fullmatch(line):
            fail(where, 'not a topic heading: write it as "topic NUMBER NAME: TITLE"')
        elif current is not None:
            if line.strip():
                current["paras"][-1].append(line.strip())
            elif current["paras"][-1]:
                current["paras"].append([])
        elif line.strip():
            fail(where, "text before the first topic")
    for t in topics:
        t["paras"] = [" ".join(p) for p in t["paras"] if p]
        if not t["paras"]:
            fail(t["where"], f"topic {t['number']} has no text")
    if not topics:
        fail(f"{path}:{max(number, 1)}", "the source ends without a topic" if title else "no title and no topic")
    return title[0], topics


def context_hash(name):
    h = 0
    for c in name:
        x = 0
        if "A" <= c <= "Z":
            x = ord(c) - ord("A") + 17
        elif "a" <= c <= "z":
            x = ord(c) - ord("a") + 17
        elif "1" <= c <= "9":
            x = ord(c) - ord("0")
        elif c == "0":
            x = 10
        elif c == ".":
            x = 12
        elif c == "_":
            x = 13
        h = (h * 43 + x) & 0xFFFFFFFF
    return h - (1 << 32) if h & 0x80000000 else h


def compressed_long(v):   # 2-byte form: (word - 0x8000) / 2
    assert -0x4000 <= v < 0x4000
    return struct.pack("<H", v * 2 + 0x8000)


def compressed_ushort(v):  # 1 byte below 128, else 2 bytes with the low bit set
    return bytes([v * 2]) if v < 128 else struct.pack("<H", v * 2 + 1)


def topic_link(kind, data1, data2, prev_pos, next_pos):
    size = 21 + len(data1) + len(data2)
    return struct.pack("<IIIIIB", size, len(data2), prev_pos, next_pos, 21 + len(data1), kind) + data1 + data2


def build_topic(topics, fonts_body, fonts_head):
    """The |TOPIC file and each topic's TOPICOFFSET (what the maps point at)."""
    # Records: (kind, data1, data2 or a callable of the positions). Positions
    # are TOPICPOS values: the offset in the block's data plus the header.
    records, offsets, char_count = [], {}, 0
    for i, t in enumerate(topics):
        offsets[t["number"]] = char_count  # block 0: 0x8000 * 0 + characters before it
        header_index = len(records)
        records.append({"kind": 0x02, "topic": i, "data2": t["title"].encode("cp1252") + b"\0"})
        paras = [(fonts_head, t["title"])] + [(fonts_body, p) for p in t["paras"]]
        for font, text in paras:
            raw = text.encode("cp1252")
            data2 = b"\0" + raw + b"\0"
            length = len(raw) + 1  # the text and its paragraph mark
            fmt = b"\x00\x80\x00\x00" + struct.pack("<H", 0) + b"\x80" + struct.pack("<H", font) + b"\x82\xff"
            data1 = compressed_long(len(data2)) + compressed_ushort(length) + fmt
            records.append({"kind": 0x20, "data1": data1, "data2": data2, "length": length})
            char_count += length
        records[header_index]["end"] = len(records)
    # Lay the links out to learn their positions, then fill in the links.
    pos, at = [], BLOCK_HEADER
    for r in records:
        if r["kind"] == 0x02:
            r["data1"] = b"\0" * 28
            t = topics[r["topic"]]
        pos.append(at)
        at += 21 + len(r["data1"]) + len(r["data2"])
        if at > TOPIC_BLOCK:
            fail(t["where"], f"topic {t['number']} ends past the one {TOPIC_BLOCK}-byte block of topics")
    headers = [k for k, r in enumerate(records) if r["kind"] == 0x02]
    out = b""
    for k, r in enumerate(records):
        if r["kind"] == 0x02:
            t = r["topic"]
            h = headers.index(k)
            prev_t = offsets[topics[t - 1]["number"]] if t > 0 else NONE
            next_t = offsets[topics[t + 1]["number"]] if t + 1 < len(topics) else NONE
            next_header = pos[headers[h + 1]] if h + 1 < len(headers) else NONE
            size = sum(21 + len(x["data1"]) + len(x["data2"]) for x in records[k:r["end"]])
            r["data1"] = struct.pack("<IIIIIII", size, prev_t, next_t, t, NONE, pos[k + 1], next_header)
        prev_pos = pos[k - 1] if k > 0 else NONE
        next_pos = pos[k + 1] if k + 1 < len(records) else NONE
        out += topic_link(r["kind"], r["data1"], r["data2"], prev_pos, next_pos)
    last_header = pos[headers[-1]]
    block = struct.pack("<III", pos[-1], BLOCK_HEADER, last_header) + out
    return block.ljust(TOPIC_BLOCK, b"\0"), offsets


def btree(structure, entries, page_size, flags=0x0002):
    """A B+ tree of one leaf page; entries are bytes, already in key order."""
    body = b"".join(entries)
    if 8 + len(body) > page_size:
        sys.exit("hlpgen: a B+ tree outgrew its one page")
    page = struct.pack("<HhhH", page_size - 8 - len(body), len(entries), -1, 0xFFFF) + body
    header = struct.pack("<HHH16sHHHHHHI", 0x293B, flags, page_size, structure.encode(), 0, 0, 0, 0xFFFF, 1, 1,
                         len(entries))
    return header + page.ljust(page_size, b"\0")


def internal_file(data):
    return struct.pack("<IIB", len(data) + 9, len(data), 0) + data


def write_hlp(path, title, topics):
    fonts_body, fonts_head = 0, 1
    topic, offsets = build_topic(topics, fonts_body, fonts_head)

    system = struct.pack("<HHHIH", 0x036C, 33, 1, 0, 0)  # WinHelp 4.0, no compression
    system += struct.pack("<HH", 1, len(title) + 1) + title.encode("cp1252") + b"\0"

    faces = [b"Arial"]
    face_len = 20
    face_offset = 8
    dscr_offset = face_offset + face_len * len(faces)
    font = struct.pack("<HHHH", len(faces), 2, face_offset, dscr_offset)
    font += b"".join(f.ljust(face_len, b"\0") for f in faces)
    # attributes, half points, family (swiss), face, colour, background
    font += struct.pack("<BBBH3s3s", 0, 18, 3, 0, b"\0\0\0", b"\xff\xff\xff")
    font += struct.pack("<BBBH3s3s", 1, 20, 3, 0, b"\0\0\0", b"\xff\xff\xff")

    ctxomap = struct.pack("<H", len(topics))
    ctxomap += b"".join(struct.pack("<II", t["number"], offsets[t["number"]]) for t in topics)

    hashes = sorted((context_hash(t["context"]), offsets[t["number"]]) for t in topics)
    context = btree("L4", [struct.pack("<iI", h, o) for h, o in hashes], 2048)
    titles = btree("Lz", [struct.pack("<I", offsets[t["number"]]) + t["title"].encode("cp1252") + b"\0"
                          for t in sorted(topics, key=lambda t: offsets[t["number"]])], 2048)

    files = {"|CONTEXT": context, "|CTXOMAP": ctxomap, "|FONT": font, "|SYSTEM": system, "|TOPIC": topic,
             "|TTLBTREE": titles}
    body, places = b"", {}
    at = 16
    for name in sorted(files):
        places[name] = at
        blob = internal_file(files[name])
        body += blob
        at += len(blob)
    directory = btree("z4", [name.encode() + b"\0" + struct.pack("<I", places[name]) for name in sorted(files)],
                      1024, flags=0x0402)
    directory_at = at
    body += internal_file(directory)
    total = 16 + len(body)
    with open(path, "wb") as f:
        f.write(struct.pack("<IIiI", 0x00035F3F, directory_at, -1, total) + body)


def topic_text(t):
    return "\r\n\r\n".join(t["paras"])


def c_string(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"').replace("\r", "\\r").replace("\n", "\\n") + '"'


def write_texts(path, topics):
    """Each topic's context number and text length, two little-endian
    words, then the text in Windows-1252, the program's code page."""
    with open(path, "wb") as f:
        for t in topics:
            text = topic_text(t).encode("cp1252")
            f.write(struct.pack("<HH", t["number"], len(text)) + text)


def write_header(path, topics):
    with open(path, "w", encoding="cp1252", newline="\n") as f:
        f.write("// Generated by scripts/hlpgen.py from res/help.txt.\n")
        f.write("struct HelpTopic {\n    int number;\n    const char *title;\n    const char *text;\n};\n")
        f.write("static const HelpTopic kHelpTopics[] = {\n")
        for t in topics:
            f.write(f"    {{{t['number']}, {c_string(t['title'])}, {c_string(topic_text(t))}}},\n")
        f.write("};\n")


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    title, topics = parse(sys.argv[1])
    write_hlp(sys.argv[2], title, topics)
    write_texts(sys.argv[3], topics)
    write_header(sys.argv[4], topics)


if __name__ == "__main__":
    main()
