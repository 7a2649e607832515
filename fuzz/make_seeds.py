#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

The seeds are committed; run this again after changing them here. The input
formats are described at the top of each *_fuzzer.cpp.
"""
import base64
import pathlib
import struct

ROOT = pathlib.Path(__file__).resolve().parent / "corpus"
SEP = b"\xff"

# Steps of the serial line target: the low three bits of a step's first byte.
READ, SPLIT, QUIET, CARRIER_EVENT, ESCAPE_TIMER, FLOOD, OPERATOR, CARRIER_LEVEL = range(8)
# Buttons of an OPERATOR step.
START, STOP, SEARCH, COMMAND, FUNCTION, KEYS, CALL_KEYS, PORTS = range(8)


def step(kind, arg=0, data=b""):
    return bytes([kind | (arg << 3)]) + data


def serial(setup, steps):
    return bytes([setup]) + SEP.join(steps)


def reads(*texts):
    return [step(READ, 0, t.encode("ascii")) for t in texts]


def terminal_bitmap(width, height, pixels):
    return b"DOT\x00" + bytes([width, 0, height]) + bytes(pixels)


IMAGE = base64.b64encode(terminal_bitmap(8, 2, [0xFF, 0x81])).decode()
UPLOAD = (
    "<ATML><HEAD><CON=2><TTL=x></HEAD><BODY>a&ltb&gt x&amp;y<MEL=T120,C4D4E4>"
    "<IMAGE>" + IMAGE + "</IMAGE><ANI>zz</ANI></BODY></ATML>"
)
DIALOGUE = [
    "TAVIXEXE",
    "BRQTLV&7",
    "<ATML><HEAD><CON=8></HEAD></ATML>",
    UPLOAD,
    "<ATML><HEAD><MIN=1></HEAD></ATML>",
    "<ATML><HEAD><BTYP=NORM></HEAD><BODY>96</BODY></ATML>",
    "<ATML><HEAD><ACK></HEAD></ATML>",
    "<ATML><HEAD><CON=0></HEAD></ATML>",
    "<ATML><HEAD><CON=3></HEAD></ATML>",
    "<ATML><HEAD><MIN=2></HEAD></ATML>",
    "<ATML><HEAD><CON=4></HEAD><BODY>ok</BODY></ATML>",
    "<ATML><HEAD><DISC=0></HEAD></ATML>",
]
RINGING_TERMINAL = [
    "RING\r\n",
    "CALLING-ID=0123456789/-\r\n",
    "CONNECTED-ID=987/CONTENTSPP-X01\r\n",
    "\r\nCONNECT 9600\r\n",
]
RINGING_VOICE = [
    "RING:VOICE\r\n",
    "CALLING-ID=0123456789/12\r\n",
    "CONNECTED-ID=987/HELLO 42\r\n",
    "\r\nCONNECT\r\n",
]
VOICE_HANDSHAKE = reads("*", "#") + [step(ESCAPE_TIMER)] + reads("\r\n+++OK\r\n", "\r\nOK\r\n")
CARRIER_GONE = [step(CARRIER_LEVEL, 0, b"\r\nNO CARRIER\r\n")]

SERIAL = {
    # Started in command mode (setup 0: content offered; 3: none offered).
    "terminal_call": serial(0, reads(*RINGING_TERMINAL, *DIALOGUE) + CARRIER_GONE),
    "terminal_call_nothing_offered": serial(3, reads(*RINGING_TERMINAL, *DIALOGUE[:4]) + CARRIER_GONE),
    "terminal_call_in_small_reads": serial(
        0, [step(SPLIT, 4, "".join(RINGING_TERMINAL + DIALOGUE).encode("ascii"))]
        + [step(CARRIER_EVENT, 0)]),
    "voice_call": serial(3, reads(*RINGING_VOICE) + VOICE_HANDSHAKE),
    "missed_call": serial(0, reads("RING\r\nCALLING-ID=0123456789/12\r\nCONNECTED-ID=987/12\r\n")
                          + [step(QUIET, 31), step(QUIET, 31)]),
    "carrier_call": serial(0, [step(CARRIER_EVENT, 1)] + reads("CONNECTED-ID=1/CONTENTSPP-X01\r\n",
                                                                 "CONNECT\r\n")),
    "own_number_and_flood": serial(0, [step(OPERATOR, FUNCTION), step(OPERATOR, KEYS, b"\x00")]
                                   + reads("at#sn0?\r0312345678\r\nOK\r\nOK\r\n")
                                   + [step(FLOOD, 0, b"OK\rjunk\r")]),
    "auto_search": serial(0, [step(OPERATOR, STOP), step(OPERATOR, PORTS, b"\x00" * 8 + b"\x01"),
                              step(OPERATOR, SEARCH)] + reads("ati3\r\nQV-M7\r\nOK\r\n", "OK\r\n")),
    # The wrong model ends the search; the ring in the same read must not
    # start a call on the closed port.
    "auto_search_wrong_model_then_ring": serial(
        0, [step(OPERATOR, STOP), step(OPERATOR, PORTS, b"\x00" * 8 + b"\x01"),
            step(OPERATOR, SEARCH)]
        + reads("ati3\r\nQV-M6\r\nOK\r\nRING\r\n")),
    # Function menu 2, 0: the PA list query, its answer, then entry 1.
    "pa_registration": serial(0, [step(OPERATOR, FUNCTION), step(OPERATOR, KEYS, b"\x02\x00")]
                              + reads("at#pas?#pa1?#pa2?#pa3?\r\n1\r\n0\r\n0\r\n1\r\nOK\r\n")
                              + [step(OPERATOR, KEYS, b"\x01")]
                              + reads("REGISTRATION FINISHED\r\nOK\r\n")),
    # A call the operator answers and cuts, a dialled call, a redial and the
    # browser.
    "answered_cut_dialled": serial(
        0, reads("RING\r\nCALLING-ID=0123456789/12\r\nCONNECTED-ID=987/12\r\n")
        + [step(OPERATOR, CALL_KEYS, b"\x00")]
        + reads("\r\nCONNECT 9600\r\n")
        + [step(OPERATOR, CALL_KEYS, b"\x01"), step(ESCAPE_TIMER)]
        + reads("\r\n+++OK\r\n", "\r\nOK\r\n")
        + [step(OPERATOR, KEYS, b"\x00\x03\x01"), step(OPERATOR, CALL_KEYS, b"\x00")]
        + reads("\r\nOK\r\n")
        + [step(OPERATOR, CALL_KEYS, b"\x02"), step(OPERATOR, CALL_KEYS, b"\x03")]),
    "command_line": serial(0, [step(OPERATOR, COMMAND, b"ati3")] + reads("ati3\r\nQV-M7\r\nOK\r\n")),
    # Started on-line: a terminal call (setup 1) and a voice call at stage 2
    # (setup 2).
    "online_data": serial(1, reads(*DIALOGUE) + CARRIER_GONE),
    "online_voice": serial(2, VOICE_HANDSHAKE),
}


def settings_file(start, setup, port, model, caption, command, wait, player):
    q = lambda t: '"' + t + '"'
    lines = [q(start), q(setup), str(port), q(model), ",".join([q(caption), q(command), q(wait)]),
             q(player)]
    return "".join(line + "\r\n" for line in lines)


def store_file(records, header=True, fields=5):
    out = " 0 \r\n 100 \r\n 5 \r\n 0 \r\n" if header else " 100 \r\n"
    for r in records:
        out += ",".join('"' + f + '"' for f in r[:fields]) + "\r\n"
    return out


RECORDS = [
    ["0123456789", "Hi & bye", "12/06 07:45", "<MEL=T120,C4D4E4>", IMAGE],
    ["0123456789*12", "HELLO 42", "03/04 09:05", "", ""],
    ["", "", "", "", ""],
]
DEFAULTS = ["at#sy1=40", "atu3v1q0\\v2#ps2=1", 3, "QV-M7", "", "", "0", ""]


def store_seed(settings, store):
    return settings.encode("ascii") + SEP + store.encode("ascii")


STORE = {
    "defaults_and_three_records": store_seed(settings_file(*DEFAULTS), store_file(RECORDS)),
    "user_function_and_old_layout": store_seed(
        settings_file("at#sy1=40", "atu3v1q0\\v2#ps2=1", 7, "QV-M7", "F0", "at#sn0?", "3",
                      "player %1"),
        store_file(RECORDS, header=False, fields=3)),
    "cut_short": store_seed(settings_file(*DEFAULTS)[:30], store_file(RECORDS)[:60]),
}


def bitmap_file(width, height, rows, colour0=(255, 255, 255), colour1=(0, 0, 0)):
    row_size = ((width - 1) // 32 + 1) * 4
    size = 62 + row_size * height
    head = b"BM" + struct.pack("<IIIIiiHH", size, 0, 62, 40, width, height, 1, 1) + bytes(24)
    palette = bytes(colour0) + b"\x00" + bytes(colour1) + b"\x00"
    body = b"".join(r.ljust(row_size, b"\x00") for r in reversed(rows))
    return head + palette + body


STRIPES = [bytes([0xAA, 0x55]) if y % 2 else bytes([0x0F, 0xF0]) for y in range(16)]
IMAGES = {
    "bitmap_16x16": b"\x00" + bitmap_file(16, 16, STRIPES),
    "bitmap_33_wide_inverted": b"\x00" + bitmap_file(33, 2, [b"\xff" * 5, b"\x80\x00\x00\x00\x80"],
                                                   colour0=(0, 0, 0), colour1=(255, 255, 255)),
    "image_text_with_breaks": b"\x01" + (IMAGE[:6] + "\r\n" + IMAGE[6:]).encode("ascii"),
    "image_text_short_data": b"\x01" + base64.b64encode(terminal_bitmap(16, 4, [0xFF, 0x00, 0x81]))
    + b"\r\n",
    "image_text_garbage": b"\x01!!@@",
}

for target, seeds in (("serial_line", SERIAL), ("store_files", STORE), ("image_codecs", IMAGES)):
    directory = ROOT / target
    directory.mkdir(parents=True, exist_ok=True)
    for old in directory.iterdir():
        old.unlink()
    for name, content in seeds.items():
        (directory / name).write_bytes(content)
