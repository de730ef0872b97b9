#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads what tests/ardour/editor-in-ardour.sh needs from an Ardour session.

ardour-session-ids.py SESSION_FILE
    one line per track: its name, the route's id and the id of its "Brisquellum" processor
    (Ardour names the plug-in's window "P-<route>-<processor>").
ardour-session-ids.py --value SESSION_DIR TRACK
    the first value the plug-in's saved state holds on that track (the state document inside
    the VST 2.4 or VST3 state Ardour keeps in the session file, or inside the LV2 state file).
"""
import base64
import glob
import os
import re
import sys
import xml.etree.ElementTree as ElementTree


def plugin_processors(session_file):
    root = ElementTree.parse(session_file).getroot()
    for route in root.iter("Route"):
        for processor in route.iter("Processor"):
            if processor.get("name") == "Brisquellum":
                yield route, processor


JUCE_BASE64 = ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+"


def juce_base64_documents(text):
    """State documents in the framework's own "size.data" base64 (the LV2 state string): six bits
    a character from that alphabet, the lowest bits first."""
    for size, data in re.findall(r"(\d+)\.([.A-Za-z0-9+]{8,})", text or ""):
        number = 0
        for index, character in enumerate(data):
            number |= JUCE_BASE64.index(character) << (6 * index)
        size = int(size)
        decoded = (number & ((1 << (8 * size)) - 1)).to_bytes(size, "little")
        found = re.search(rb"<brisquell>.*?</brisquell>", decoded, re.S)
        if found:
            yield found.group(0).decode("utf-8", "replace")


def documents_in(text):
    """State documents in a text: base64 of a chunk (or of a VST3 state), or the chunk's text."""
    yield from juce_base64_documents(text)
    for candidate in re.findall(r"[A-Za-z0-9+/=\s]{40,}", text or ""):
        try:
            data = base64.b64decode("".join(candidate.split()), validate=False)
        except ValueError:
            continue
        found = re.search(rb"<brisquell>.*?</brisquell>", data, re.S)
        if found:
            yield found.group(0).decode("utf-8", "replace")


def saved_value(session_dir, track):
    session_file = glob.glob(os.path.join(session_dir, "*.ardour"))[0]
    for route, processor in plugin_processors(session_file):
        if route.get("name") != track:
            continue
        texts = [element.text for element in processor.iter()]
        texts += [value for element in processor.iter() for value in element.attrib.values()]
        # An LV2 plug-in's state lies in the folder its "lv2" element names, under the session's
        # "plugins" folder for the processor.
        state_dirs = [element.get("state-dir") for element in processor.iter() if element.tag == "lv2" and element.get("state-dir")]
        state_files = [path for name in state_dirs
                       for path in glob.glob(os.path.join(session_dir, "plugins", processor.get("id"), name, "*.ttl"))]
        for state_file in state_files:
            with open(state_file, encoding="utf-8", errors="replace") as f:
                texts.append(f.read())
        for text in texts:
            for document in documents_in(text):
                value = re.search(r'<value value="(-?\d+)"', document)
                if value:
                    return value.group(1)
    raise SystemExit("no state with a value for " + track)


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--value":
        print(saved_value(sys.argv[2], sys.argv[3]))
    elif len(sys.argv) == 2:
        for route, processor in plugin_processors(sys.argv[1]):
            print(route.get("name"), route.get("id"), processor.get("id"))
    else:
        raise SystemExit(__doc__)
