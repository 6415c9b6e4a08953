#!/usr/bin/python3
"""Walks the diary's accessibility tree on the session's AT-SPI bus, as a
screen reader (Orca) reads it, prints each node's role, name and
description, and fails when a control on the screen has no name or a
control of the main window has no description."""
import sys
import time

import pyatspi

CONTROLS = {'text', 'push button', 'check box', 'radio button', 'scroll bar', 'label',
            'menu item', 'frame', 'list', 'table', 'tree', 'spin button', 'combo box',
            'entry', 'paragraph', 'document text'}


def walk(node, depth, out):
    try:
        entry = (depth, node.getRoleName(), node.name or '', node.description or '',
                 node.getState().contains(pyatspi.STATE_SHOWING))
    except Exception:  # a node gone while it was read
        return
    out.append(entry)
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(child, depth + 1, out)


def main():
    apps = []
    for _ in range(60):
        desktop = pyatspi.Registry.getDesktop(0)
        apps = [desktop.getChildAtIndex(i) for i in range(desktop.childCount)]
        apps = [a for a in apps if a is not None and 'sorane' in (a.name or '').lower()]
        if apps:
            break
        time.sleep(0.5)
    if not apps:
        print('atspi-walk: the diary is not on the accessibility bus')
        return 2
    out = []
    walk(apps[0], 0, out)
    faults = 0
    for depth, role, name, description, showing in out:
        note = ''
        if role in CONTROLS and showing:
            if not name:
                note = '  <-- no name'
            elif role not in ('menu item', 'scroll bar') and depth <= 4 and not description:
                note = '  <-- no description'
        faults += bool(note)
        print('  ' * depth + f'{role}: {name!r} / {description!r}{note}')
    print(f'atspi-walk: {len(out)} nodes, {faults} faults')
    return 1 if faults else 0


sys.exit(main())
