"""The program a terminal runs for the typing benchmark: it takes the terminal's input raw and
keeps the line the keys make (BackSpace and Delete erase a character, Ctrl+A empties the line).

  xterm -e python3 tty_probe.py --journal FILE

Appends "<CLOCK_MONOTONIC nanoseconds><TAB><line>" to FILE at start and after every change.
"""

import argparse
import codecs
import os
import sys
import time
import tty

parser = argparse.ArgumentParser()
parser.add_argument("--journal", required=True)
options = parser.parse_args()
journal = open(options.journal, "a", encoding="utf-8")


def note(text):
    journal.write(f"{time.monotonic_ns()}\t{text}\n")
    journal.flush()


tty.setraw(sys.stdin.fileno())
decoder = codecs.getincrementaldecoder("utf-8")("replace")
line = ""
note(line)
while data := os.read(sys.stdin.fileno(), 4096):
    before = line
    for char in decoder.decode(data):
        if char in "\x7f\x08":
            line = line[:-1]
        elif char == "\x01":
            line = ""
        elif char >= " ":
            line += char
    if line != before:
        note(line)
