"""Reads an iCalendar file with the icalendar package and prints what it found as JSON: the
calendar's VERSION and PRODID, and for each event its UID, DTSTAMP, start, summary and location,
and whether the start is a date (an all-day event) rather than a date and time."""
import datetime
import json
import sys

from icalendar import Calendar

with open(sys.argv[1], "rb") as file:
    calendar = Calendar.from_ical(file.read())
events = []
for event in calendar.walk("VEVENT"):
    start = event["DTSTART"].dt
    events.append({
        "uid": str(event["UID"]),
        "stamp": event["DTSTAMP"].dt.isoformat(),
        "start": start.isoformat(),
        "allDay": not isinstance(start, datetime.datetime),
        "summary": str(event["SUMMARY"]),
        "location": str(event.get("LOCATION", "")),
    })
print(json.dumps({"version": str(calendar["VERSION"]), "prodid": str(calendar["PRODID"]),
                  "events": events}))
