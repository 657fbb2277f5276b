"""Walks the running gallery through AT-SPI: the application, its four tables with their names,
counts, a cell, a column header, and the focused cell after a key. Run by gallery_atspi_test.sh
inside a D-Bus session of its own. Every wait polls with a deadline; a missed one fails."""
import os
import subprocess
import sys
import time

import pyatspi

EXE, WORK = sys.argv[1], sys.argv[2]
DEADLINE = 60.0

# Name: (rows, columns, (row, column, text of that cell), (column, text of its header)).
TABLES = {
    "Storage bits": (8, 16, (0, 15, "1"), (15, "0")),
    "Word bits": (8, 8, (1, 6, "#"), (0, "7")),
    "Records": (20, 2, (0, 0, "Record 1"), (1, "Value")),
    "Names and values": (20, 1, (2, 0, "838"), (0, "Value")),
}

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL: " + what)


def poll(what, probe, seconds=DEADLINE):
    """probe() until it gives something true, at most seconds; raises with what when it never does."""
    end = time.monotonic() + seconds
    last_error = None
    while time.monotonic() < end:
        try:
            found = probe()
            if found:
                return found
        except Exception as error:  # the bus answers only once the application is up
            last_error = error
        if gallery.poll() is not None:
            break
        time.sleep(0.1)
    raise SystemExit("FAIL: %s (last error: %s; gallery %s)\n%s" % (
        what, last_error, "exited %s" % gallery.returncode if gallery.poll() is not None else "running",
        open(os.path.join(WORK, "gallery.log")).read()))


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == "zqgallery":
            return app
    return None


def tables_of(node, found):
    """The tables under node, without walking into them: a table's children are its cells."""
    for child in node:
        if child is None:
            continue
        if child.getRole() == pyatspi.ROLE_TABLE:
            found.append(child)
        else:
            tables_of(child, found)
    return found


def focused(accessible):
    return accessible.getState().contains(pyatspi.STATE_FOCUSED)


log = open(os.path.join(WORK, "gallery.log"), "w")
gallery = subprocess.Popen([EXE], stdout=log, stderr=subprocess.STDOUT)
try:
    app = poll("no application zqgallery on the AT-SPI bus", application)
    tables = poll("not four tables in zqgallery",
                  lambda: (lambda found: found if len(found) == 4 else None)(tables_of(app, [])))
    by_name = {table.name: table for table in tables}
    check(sorted(by_name) == sorted(TABLES), "table names %s" % sorted(by_name))
    for name, (rows, columns, (row, column, text), (header_column, header)) in TABLES.items():
        if name not in by_name:
            continue
        table = by_name[name].queryTable()
        check(table.nRows == rows, "%s: %d rows, not %d" % (name, table.nRows, rows))
        check(table.nColumns == columns, "%s: %d columns, not %d" % (name, table.nColumns, columns))
        cell = table.getAccessibleAt(row, column)
        check(cell is not None and cell.name == text,
              "%s: cell (%d, %d) reads %r, not %r" % (name, row, column, cell and cell.name, text))
        check(cell is not None and cell.getRole() == pyatspi.ROLE_TABLE_CELL, "%s: the cell's role" % name)
        head = table.getColumnHeader(header_column)
        check(head is not None and head.name == header,
              "%s: column %d's header reads %r, not %r" % (name, header_column, head and head.name, header))
        check(bool(by_name[name].description), "%s: no description" % name)

    # The label's mnemonic takes the focus to its buddy, the records; Down moves the current cell
    # from the first record to the second, and that cell is the focused one.
    window = poll("no gallery window", lambda: subprocess.run(
        ["xdotool", "search", "--onlyvisible", "--name", "ZQ Gallery"], capture_output=True,
        text=True).stdout.split())[0]
    records = by_name["Records"]
    table = records.queryTable()
    poll("the gallery window never took the focus", lambda: subprocess.run(
        ["xdotool", "windowfocus", "--sync", window], capture_output=True).returncode == 0 and
        subprocess.run(["xdotool", "getwindowfocus"], capture_output=True, text=True).stdout.strip() == window)

    def key_until(key, what, probe):
        # A key sent before the window is ready is lost: sent again until what it should do shows.
        def attempt():
            if probe():
                return True
            subprocess.run(["xdotool", "key", "--window", window, key], check=True)
            end = time.monotonic() + 2
            while time.monotonic() < end:
                if probe():
                    return True
                time.sleep(0.05)
            return False
        poll(what, attempt)

    key_until("alt+r", "Alt+R did not focus the records", lambda: focused(records))
    check(focused(table.getAccessibleAt(0, 0)), "the first record's cell is not the focused one")
    key_until("Down", "Down did not focus the second record's cell", lambda: focused(table.getAccessibleAt(1, 0)))
    check(not focused(table.getAccessibleAt(0, 0)), "the first record's cell is still focused after Down")
    check(table.getAccessibleAt(1, 0).name == "Record 2", "the focused cell reads %r" % table.getAccessibleAt(1, 0).name)
finally:
    gallery.terminate()
    try:
        gallery.wait(10)
    except subprocess.TimeoutExpired:
        gallery.kill()

if failures:
    sys.exit(1)
print("the gallery's four tables read through AT-SPI")
