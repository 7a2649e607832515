# SPDX-License-Identifier: GPL-3.0-or-later
# Reads the archive's messages with Python's own mail parser and checks each
# against what the test that delivered it expects (one JSON line a message).
#   python3 read_archive.py MAILDIR EXPECTATIONS
import email
import email.policy
import json
import os
import sys


def text(hexed):
    return bytes.fromhex(hexed).decode("utf-8")


def main():
    maildir, expectations = sys.argv[1], sys.argv[2]
    faults = []
    checked = 0
    with open(expectations, encoding="utf-8") as lines:
        for line in lines:
            want = json.loads(line)
            name = want["name"]

            def check(what, got, expected):
                if got != expected:
                    faults.append(f"{name}: {what}: got {got!r}, expected {expected!r}")

            with open(os.path.join(maildir, "new", want["file"]), "rb") as f:
                msg = email.message_from_binary_file(f, policy=email.policy.default)
            for part in msg.walk():
                check("defects", [type(d).__name__ for d in part.defects], [])
            sender = msg["From"].addresses
            check("senders", len(sender), 1)
            check("caller", sender[0].display_name, text(want["caller"]))
            check("address domain", sender[0].domain.endswith(".invalid"), True)
            check("date", msg["Date"].datetime.isoformat(), want["date"])
            check("subject", str(msg["Subject"]), text(want["subject"]))
            check("message id", msg["Message-ID"].startswith("<"), True)
            check("kind", msg["X-Ondrix-Kind"], want["kind"])
            body = msg.get_body(preferencelist=("plain",))
            check("charset", body.get_content_charset(), "utf-8")
            check("text", body.get_content(), text(want["text"]))
            files = {p.get_filename(): p.get_content() for p in msg.iter_attachments()}
            expected = {}
            for key, filename in (("melody", "melody.mmd"), ("image", "Image.bmp")):
                if want[key]:
                    expected[filename] = bytes.fromhex(want[key])
            check("attachments", files, expected)
            checked += 1
    for fault in faults:
        print(fault)
    print(f"{checked} messages read, {len(faults)} faults")
    return 1 if faults or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
