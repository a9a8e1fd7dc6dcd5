#!/usr/bin/python3
# Reads one window of a running program over AT-SPI, the way a screen reader
# reads it, and prints it as JSON: per element its role, name, description,
# states, text (where it has a text), the names of the elements that label it
# and its children. The items of a list or table are not read one by one (a
# scan table has 1275 cells): a list gives its item count and the names of
# its selected items instead.
#   atspi_tree.py PID TITLE [SECONDS]
# Waits up to SECONDS (default 20) for the program to show the window.
import json
import sys
import time

import pyatspi

LISTS = {"list", "list box", "table", "tree", "tree table"}
MAX_ITEMS_READ = 400


def names_of_targets(acc, relation_type):
    names = []
    for relation in acc.getRelationSet():
        if relation.getRelationType() == relation_type:
            names += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return names


def selected_items(acc):
    # Through the table, as screen readers do for big lists; each item found
    # must also say it is selected.
    try:
        table = acc.queryTable()
    except NotImplementedError:
        table = None
    cells = []
    if table is not None:
        cells = [table.getAccessibleAt(row, 0) for row in table.getSelectedRows()]
    elif acc.childCount <= MAX_ITEMS_READ:
        cells = [acc.getChildAtIndex(i) for i in range(acc.childCount)]
    return [c.name for c in cells if c is not None and c.getState().contains(pyatspi.STATE_SELECTED)]


def read(acc):
    node = {
        "role": acc.getRoleName(),
        "name": acc.name,
        "description": acc.description,
        "states": [pyatspi.stateToString(s) for s in acc.getState().getStates()],
        "labelledBy": names_of_targets(acc, pyatspi.RELATION_LABELLED_BY),
    }
    try:
        node["text"] = acc.queryText().getText(0, -1)
    except NotImplementedError:
        pass
    if node["role"] in LISTS:
        node["items"] = acc.childCount
        node["selected"] = selected_items(acc)
        node["children"] = []
    else:
        node["children"] = [read(acc.getChildAtIndex(i)) for i in range(acc.childCount)]
    return node


def find_window(pid, title):
    desktop = pyatspi.Registry.getDesktop(0)
    desktop.clearCache()
    for app in desktop:
        if app is None or app.get_process_id() != pid:
            continue
        app.clearCache()
        for window in app:
            if window is not None and window.name == title:
                return window
    return None


def main():
    pid, title = int(sys.argv[1]), sys.argv[2]
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 20.0
    end = time.monotonic() + seconds
    window = find_window(pid, title)
    while window is None and time.monotonic() < end:
        time.sleep(0.1)
        window = find_window(pid, title)
    if window is None:
        sys.exit("no window \"%s\" of process %d on the accessibility bus" % (title, pid))
    json.dump(read(window), sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
