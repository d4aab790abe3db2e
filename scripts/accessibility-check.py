#!/usr/bin/python3
# Walks Orvanel's accessibility tree over AT-SPI and prints what a screen reader gets: the menu
# entries with their enabled state, labels, status bar panels, tool buttons and tree rows.
# Fails when one of the checked names is missing. Run by accessibility-check.sh.
import sys
import time

import pyatspi


def find_app(name, tries=40):
    for _ in range(tries):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name and app.name.lower() == name:
                return app
        time.sleep(0.5)
    return None


def walk(node, depth=0, limit=12):
    if node is None or depth > limit:
        return
    yield node, depth
    for i in range(min(node.childCount, 400)):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1, limit)


def main():
    app = find_app("orvanel")
    if app is None:
        print("orvanel not found on the accessibility bus")
        return 1
    seen = {}
    lines = []
    for node, depth in walk(app):
        role = node.getRoleName()
        name = node.name or ""
        states = node.getState()
        enabled = states.contains(pyatspi.STATE_ENABLED) or states.contains(pyatspi.STATE_SENSITIVE)
        seen.setdefault(role, []).append((name, enabled))
        if name or role in ("menu item", "push button", "label", "status bar"):
            lines.append("%s%s %r%s" % ("  " * depth, role, name, "" if enabled else " (disabled)"))
    print("\n".join(lines[:400]))
    names = {(role, name): enabled for role, items in seen.items() for name, enabled in items}
    wanted = [("menu item", "Save Project"), ("menu item", "Open Project"),
              ("menu item", "Options"), ("menu item", "About"), ("panel", "CPU Status"), ("status bar", ""),
              ("push button", "Open Project"), ("push button", "Save Changes")]
    missing = [w for w in wanted if not any(k[0] == w[0] and k[1].startswith(w[1]) for k in names)]
    rows = [n for r, items in seen.items() if r in ("tree item", "table cell") for n, _ in items]
    print("\nroles seen:", ", ".join("%s (%d)" % (r, len(v)) for r, v in sorted(seen.items())))
    print("tree rows read:", len(rows), rows[:3])
    if missing:
        print("MISSING:", missing)
        return 1
    print("accessibility check: every checked name was read")
    return 0


if __name__ == "__main__":
    sys.exit(main())
