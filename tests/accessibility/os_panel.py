#!/usr/bin/python3
"""Reads Tolvex's OS panel over AT-SPI, as a screen reader does.

Usage: os_panel.py OS_JSON APP_PID

OS_JSON is tolvex-query's JSON answer for Win32_OperatingSystem. Waits
(bounded) until the running program's OS panel exposes every value with its
caption, as a label named "Caption: value" beside the caption's own label,
each value the one the provider answers (Null shows as "..."; numbers are
formatted by the program, so for them any value will do). Message boxes are
dismissed through their buttons' actions, as a reader's user would.
"""
import json
import os
import sys
import time

import pyatspi

# The OS panel's captions and the property each shows; None where the shown
# text is a formatted number or a composition.
CAPTIONS = [
    ("Name:", "Caption"),
    ("Manufacturer:", "Manufacturer"),
    ("Serial #:", "SerialNumber"),
    ("Version:", "Version"),
    ("Build Number:", "BuildNumber"),
    ("Build Type:", "BuildType"),
    ("Service Pack:", "CSDVersion"),
    ("SP Version:", None),
    ("Boot Device:", "BootDevice"),
    ("Windows Directory:", "WindowsDirectory"),
    ("System Directory:", "SystemDirectory"),
    ("Computer Name:", "CSName"),
    ("Last Boot Time:", "LastBootUpTime"),
    ("# of Lincensed Users:", "NumberOfLicensedUsers"),
    ("# of Users:", "NumberOfUsers"),
]
TITLE = "Windows Operating System"
TIMEOUT = 90


def children(node):
    return [node.getChildAtIndex(i) for i in range(node.childCount)]


def walk(node, depth=0):
    yield node
    if depth < 12:
        for child in children(node):
            if child is not None:
                yield from walk(child, depth + 1)


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in children(desktop):
        if app is not None and app.name == "tolvex":
            return app
    return None


def dismiss_message_boxes(app):
    for window in children(app):
        if window is None or window.getRoleName() not in ("dialog", "alert"):
            continue
        for node in walk(window):
            if node.getRoleName() == "push button":
                print(f"os_panel: dismissing message box {window.name!r}", file=sys.stderr)
                node.queryAction().doAction(0)
                break


def os_panel(app):
    for node in walk(app):
        if node.getRoleName() == "label" and node.name == TITLE:
            return node.parent
    return None


def expected_values(os_json):
    properties = json.load(open(os_json))["Win32_OperatingSystem"][0]["properties"]
    expected = {}
    for caption, name in CAPTIONS:
        value = properties.get(name) if name else 0
        expected[caption] = "..." if value is None else value if isinstance(value, str) else None
    return expected


def missing(panel, expected):
    labels = {}  # caption -> names of the labels beside it
    for node in walk(panel):
        if node.getRoleName() != "label":
            continue
        for caption in expected:
            if node.name == caption:
                labels[caption] = [c.name for c in children(node.parent) if c is not None]
    problems = []
    for caption, value in expected.items():
        if caption not in labels:
            problems.append(f"no caption label {caption!r}")
            continue
        beside = [n for n in labels[caption] if n.startswith(caption + " ")]
        shown = [n[len(caption) + 1:] for n in beside]
        if value is None and not any(shown):
            problems.append(f"{caption!r}: no value beside it (found {labels[caption]})")
        elif value is not None and value not in shown:
            problems.append(f"{caption!r}: {value!r} not beside it (found {beside})")
    return problems


def main():
    os_json, pid = sys.argv[1], int(sys.argv[2])
    expected = expected_values(os_json)
    deadline = time.monotonic() + TIMEOUT
    problems = ["the program did not appear on the accessibility bus"]
    while time.monotonic() < deadline:
        try:
            os.kill(pid, 0)
        except OSError:
            sys.exit("os_panel: Tolvex ended before its OS panel could be read")
        try:
            app = application()
            if app is not None:
                dismiss_message_boxes(app)
                panel = os_panel(app)
                problems = missing(panel, expected) if panel else [f"no label {TITLE!r}"]
                if not problems:
                    for caption in expected:
                        beside = [c.name for c in walk(panel) if c.name.startswith(caption + " ")]
                        print(f"os_panel: {beside[0]}")
                    return
        except Exception as error:  # the tree changes while it is read
            problems = [f"reading the tree: {error}"]
        time.sleep(0.25)
    sys.exit("os_panel: within %d seconds:\n  %s" % (TIMEOUT, "\n  ".join(problems)))


main()
