# SPDX-License-Identifier: GPL-3.0-or-later
# Reads the archive's messages with Python's own mail parser and checks each
# against what the test that delivered it expects (one JSON line a message).
#   python3 read_archive.py MAILDIR EXPECTATIONS
import email
import email.policy
import json
import os
import re
import sys

# Header lines over 78 characters and encoded words over 75.
def over_limits(raw):
    head = raw.split(b"\n\n", 1)[0]
    words = re.findall(rb"=\?[^?\s]*\?[BbQq]\?[^?\s]*\?=", head)
    return [x.decode() for x in head.split(b"\n") if len(x) > 78] + [w.decode() for w in words if len(w) > 75]

faults, checked = [], 0
for line in open(sys.argv[2], encoding="utf-8"):
    want = json.loads(line)
    with open(os.path.join(sys.argv[1], "new", want["file"]), "rb") as f:
        raw = f.read()
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    sender = msg["From"].addresses
    body = msg.get_body(preferencelist=("plain",))
    date = msg["Date"].datetime
    got = {
        "defects": [type(d).__name__ for part in msg.walk() for d in part.defects]
        + [type(d).__name__ for h in msg.values() for d in h.defects],
        "limits": over_limits(raw),
        "caller": [(a.display_name, a.domain.endswith(".invalid")) for a in sender],
        "date": (date.isoformat(), msg["Date"].split(",")[0] == date.strftime("%a")),
        "subject": str(msg["Subject"]),
        "kind": msg["X-Ondrix-Kind"],
        "charset": body.get_content_charset(),
        "text": body.get_content(),
        "files": {p.get_filename(): p.get_content().hex() for p in msg.iter_attachments()},
    }
    expected = {
        "defects": [],
        "limits": [],
        "caller": [(want["caller"], True)],
        "date": (want["date"], True),
        "subject": want["subject"],
        "kind": want["kind"],
        "charset": "utf-8",
        "text": want["text"],
        "files": {n: want[k] for k, n in (("melody", "melody.mmd"), ("image", "Image.bmp")) if want[k]},
    }
    faults += [f"{want['file']}: {k}: got {got[k]!r}, expected {v!r}" for k, v in expected.items() if got[k] != v]
    checked += 1
print("\n".join(faults))
print(f"{checked} messages read, {len(faults)} faults")
sys.exit(1 if faults or checked == 0 else 0)
