#!/usr/bin/python3
# What a screen reader meets over the real AT-SPI bus, while the program runs with a 434-byte file
# of "A" holding "Needle" at position 276: the tree (names, captions, descriptions, the nudge bar's
# value), then a nudge, a search hit, a search miss and an Update, each done with real keys and
# checked by the event a reader is told and the value or description it then reads.
#
# Usage: screen_reader_bus.py WINDOW_ID (run by screen_reader_bus.sh inside Xvfb and a private
# D-Bus session). Exit code 0 passed, 1 failed, 77 skipped (the bus could not be reached).
import subprocess
import sys
import time

try:
    import pyatspi
    from gi.repository import GLib
except ImportError as error:
    print(f"SKIP: pyatspi is not usable ({error}); scripts/setup installs python3-pyatspi")
    sys.exit(77)

WAIT_SECONDS = 15
window = sys.argv[1]
context = GLib.MainContext.default()
events = []


def fail(message):
    print(f"FAIL: {message}", file=sys.stderr)
    sys.exit(1)


def pump_until(condition, what):
    deadline = time.monotonic() + WAIT_SECONDS
    while True:
        while context.iteration(False):
            pass
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            fail(f"no {what} within {WAIT_SECONDS} s")
        time.sleep(0.02)


def record(event):
    try:
        events.append((event.type, event.source.getRoleName(), event.source.name))
    except Exception:  # the source went away; nothing to check of it
        pass


def take_event(kind, role, name=None):
    """Waits for an event of `kind` from an object of `role` (and `name`), taken off the list."""

    def found():
        for index, (event_type, event_role, event_name) in enumerate(events):
            if event_type.startswith(kind) and event_role == role and (
                    name is None or event_name == name):
                del events[:index + 1]
                return True
        return False

    pump_until(found, f"{kind} event from the {role} {name or ''}")


def keys(*names):
    subprocess.run(["xdotool", "key", "--clearmodifiers", *names], check=True)


def expect(actual, expected, what):
    if actual != expected:
        fail(f"{what}: {actual!r}, expected {expected!r}")


try:
    for kind in ("object:property-change:accessible-value",
                 "object:property-change:accessible-description",
                 "object:state-changed:showing", "object:state-changed:focused"):
        pyatspi.Registry.registerEventListener(record, kind)
    desktop = pyatspi.Registry.getDesktop(0)
except Exception as error:
    print(f"SKIP: the AT-SPI registry could not be reached ({error})")
    sys.exit(77)


def program():
    for application in desktop:
        if application is not None and application.name == "tessary":
            return application
    return None


app = pump_until(program, "application named tessary on the bus")


def find(name, role):
    found = pyatspi.findDescendant(app, lambda o: o.name == name and o.getRoleName() == role)
    if found is None:
        fail(f"no {role} named {name!r} in the tree")
    return found


def focus(control):
    control.queryComponent().grabFocus()
    pump_until(lambda: control.getState().contains(pyatspi.STATE_FOCUSED),
               f"focus on {control.name}")
    events.clear()


def captions(control):
    names = []
    for relation in control.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            names += [relation.getTarget(i).name for i in range(relation.getNTargets())]
    return names


def notice_text():
    notice = pyatspi.findDescendant(app, lambda o: o.getRoleName() == "notification")
    return None if notice is None else notice.description


# The tree: each value field's caption and place, and the pointer as the nudge bar's value.
places = {
    "Bits value": ("Bits:", "Update Values, bits row"),
    "Decimal value": ("Dec / Hex:", "Update Values, byte row, decimal"),
    "Character value": ("Dec / Hex:", "Update Values, byte row, character"),
    "Hexadecimal value": ("Dec / Hex:", "Update Values, byte row, hexadecimal"),
    "Int16 value": ("Int16:", "Update Values, Int16 row"),
    "Int32 value": ("Int32:", "Update Values, Int32 row"),
    "Int64 value": ("Int64:", "Update Values, Int64 row"),
}
for name, (caption, place) in places.items():
    field = find(name, "text")
    expect(captions(field), [caption], f"the captions of {name}")
    expect(field.description, place, f"the description of {name}")
bar = find("Nudge file pointer", "slider")
value = bar.queryValue()
pump_until(lambda: (value.currentValue, value.minimumValue, value.maximumValue) ==
           (1.0, 1.0, 434.0), "value 1 in 1..434 on the nudge bar after the load")

subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True)

# A nudge: the bar steps and springs back, and a reader reads the pointer.
focus(bar)
keys("Left")
take_event("object:property-change:accessible-value", "slider", "Nudge file pointer")
pump_until(lambda: bar.queryValue().currentValue == 2.0, "pointer 2 as the nudge bar's value")
value.currentValue = 300.0
pump_until(lambda: True, "")
expect(bar.queryValue().currentValue, 2.0, "the nudge bar's value after a reader set it")

# The strip, reached with Shift+Tab (which selects a field's whole text by default): the caret
# before the pointer's cell, nothing selected.
keys("shift+Tab")
strip = find("Byte strip", "text")
pump_until(lambda: strip.getState().contains(pyatspi.STATE_FOCUSED), "focus on the strip")
pump_until(lambda: True, "")
text = strip.queryText()
expect((text.caretOffset, text.getNSelections()), (31, 0), "the strip's caret and selections")

# A search hit, then a miss from there: the outcome is announced and is the search text's
# description.
search = find("Search text", "text")
focus(search)
subprocess.run(["xdotool", "type", "Needle"], check=True)
for outcome, pointer in (("Pointer 276 of 434, byte 4E", 276.0),
                         ("Not found, pointer 1 of 434", 1.0)):
    keys("Return")
    take_event("object:state-changed:showing", "notification")
    expect(notice_text(), outcome, "the announced outcome")
    expect(search.description, outcome, "the search text's description")
    expect(bar.queryValue().currentValue, pointer, "the nudge bar's value")

# Leaving the field takes the outcome from its description.
update = find("Update byte value", "push button")
focus(update)
pump_until(lambda: search.description == "", "the search text's description cleared")

# An Update of the byte at the pointer with 66 typed into the decimal field.
decimal = find("Decimal value", "text")
focus(decimal)
keys("ctrl+a")
subprocess.run(["xdotool", "type", "66"], check=True)
# The keys go through the X server and the focus through the bus: let the keys arrive first.
pump_until(lambda: decimal.queryText().getText(0, -1) == "66", "66 in the decimal field")
focus(update)
expect(decimal.description, places["Decimal value"][1], "the decimal field's place, kept")
keys("space")
take_event("object:state-changed:showing", "notification")
expect(notice_text(), "Pointer 1 of 434, byte 42", "the announced outcome of the Update")
expect(update.description, "Pointer 1 of 434, byte 42", "the Update button's description")

print("PASS: tree, nudge, strip caret, search hit and miss, and Update as a screen reader meets them")
