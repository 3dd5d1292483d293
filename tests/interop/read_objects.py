#!/usr/bin/python3
"""Reads vCard and iCalendar files with vobject, a parser of its own, and prints what they
hold as JSON: {"cards": [...], "events": [...]}. Used by the tests as a second, independent
reader of what Quorin exports and pushes.

usage: read_objects.py FILE...   (.vcf or .ics, any number)
"""
import base64
import json
import sys

import vobject


def texts(component, name):
    return [str(c.value) for c in component.contents.get(name.lower(), [])]


def params(line, name):
    return line.params.get(name.upper(), [])


def x_props(component):
    return {c.name: str(c.value) for lines in component.contents.values()
            for c in lines if c.name.startswith("X-QUORIN-")}


def card(c):
    out = {"x": x_props(c)}
    for name in ("uid", "fn", "org", "title", "email", "bday", "anniversary", "rev", "version"):
        if name in c.contents:
            value = c.contents[name][0].value
            out[name] = ";".join(value) if isinstance(value, list) else str(value)
    if "n" in c.contents:
        n = c.n.value
        out["n"] = [n.family, n.given, n.additional, n.prefix, n.suffix]
    out["adr"] = [{"types": params(a, "TYPE"), "street": a.value.street}
                  for a in c.contents.get("adr", [])]
    out["tel"] = [{"types": [t.lower() for t in params(t, "TYPE")], "value": t.value}
                  for t in c.contents.get("tel", [])]
    out["categories"] = [v for line in c.contents.get("categories", []) for v in line.value]
    return out


def when(line):
    value = line.value
    if hasattr(value, "hour"):
        return value.strftime("%Y-%m-%dT%H:%M:%S") + ("Z" if value.tzinfo else "")
    return value.strftime("%Y-%m-%d")


def event(e):
    out = {"x": x_props(e)}
    for name in ("uid", "summary", "description", "location"):
        if name in e.contents:
            out[name] = str(e.contents[name][0].value)
    for name in ("dtstart", "dtend"):
        if name in e.contents:
            out[name] = when(e.contents[name][0])
    out["rrule"] = texts(e, "rrule")
    out["rdate"] = sorted(d.strftime("%Y-%m-%d") for line in e.contents.get("rdate", [])
                          for d in line.value)
    out["attendees"] = [{"cn": (params(a, "CN") or [""])[0], "value": a.value}
                        for a in e.contents.get("attendee", [])]
    out["categories"] = [v for line in e.contents.get("categories", []) for v in line.value]
    out["attach"] = []
    for a in e.contents.get("attach", []):
        data = a.value if isinstance(a.value, bytes) else base64.b64decode(a.value)
        out["attach"].append({"fmttype": (params(a, "FMTTYPE") or [""])[0], "bytes": len(data),
                              "head": data[:2].hex()})
    out["alarms"] = [{"action": str(v.action.value), "trigger": str(v.trigger.value)}
                     for v in e.contents.get("valarm", [])]
    return out


def main():
    result = {"cards": [], "events": []}
    for path in sys.argv[1:]:
        with open(path, encoding="utf-8", newline="") as f:
            data = f.read()
        for component in vobject.readComponents(data):
            if component.name == "VCARD":
                result["cards"].append(card(component))
            else:
                result["events"].extend(event(e) for e in component.contents.get("vevent", []))
    json.dump(result, sys.stdout, ensure_ascii=False, indent=1)


main()
