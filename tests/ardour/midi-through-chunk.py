#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Turns "pass other MIDI through" on in the Brisquellum VST 2.4 plug-ins of an Ardour session,
as the pane menu's choice leaves the state: the state document's session element gets
midithrough="1" (the element is made when the document has none).

midi-through-chunk.py [--record] SESSION_FILE
    --record also makes control change 1 on channel 1 a source of the cursor's x and turns
    "report cursor moves to the host" on (reportcursor="1").
"""
import base64
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree

MAGIC = b"VC2!"


def with_midi_through(chunk, record):
    size = struct.unpack_from("<I", chunk, 4)[0]
    text = chunk[8:8 + size].decode("utf-8")
    attributes = 'midithrough="1" reportcursor="1"' if record else 'midithrough="1"'
    if record:
        text = re.sub(r"<cursorcontrol\b[^>]*/>", "", text)
        text = text.replace("</brisquell>", '<cursorcontrol glide="0" shape="linear" xsource="cc" xchannel="1" xnumber="1"/></brisquell>')
    if re.search(r"<session\b", text):
        text = re.sub(r"<session\b", "<session " + attributes, text, count=1)
    else:
        text = text.replace("</brisquell>", "<session " + attributes + "/></brisquell>")
    data = text.encode("utf-8")
    return MAGIC + struct.pack("<I", len(data)) + data + b"\0\0"


def main(session_file, record):
    tree = ElementTree.parse(session_file)
    changed = 0
    for processor in tree.getroot().iter("Processor"):
        if processor.get("name") != "Brisquellum":
            continue
        for element in processor.iter():
            text = (element.text or "").strip()
            if len(text) < 12:
                continue
            try:
                chunk = base64.b64decode(text, validate=True)
            except ValueError:
                continue
            if chunk.startswith(MAGIC):
                element.text = base64.b64encode(with_midi_through(chunk, record)).decode("ascii")
                changed += 1
    if changed == 0:
        raise SystemExit("no Brisquellum state chunk in " + session_file)
    tree.write(session_file, encoding="UTF-8", xml_declaration=True)
    print("midi-through-chunk: MIDI through on in", changed, "state chunk(s)")


if __name__ == "__main__":
    arguments = sys.argv[1:]
    record = arguments[:1] == ["--record"]
    if record:
        arguments = arguments[1:]
    if len(arguments) != 1:
        raise SystemExit(__doc__)
    main(arguments[0], record)
