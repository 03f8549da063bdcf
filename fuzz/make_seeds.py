#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/ from the protocol's own examples."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def crc8(data):
    crc = 0
    for d in data:
        for _ in range(8):
            if (crc ^ d) & 1:
                crc = ((crc ^ 0x18) >> 1) | 0x80
            else:
                crc >>= 1
            d >>= 1
    return crc


def unit_frame(ftype, frame_id, unit, payload=b""):
    nibbles = bytes([unit & 0xF, (unit >> 4) & 0xF, (unit >> 8) & 0xF, unit >> 12])
    return bytes([ftype, 0, frame_id >> 8, frame_id & 0xFF]) + nibbles + payload


def sealed(frame):
    return frame + bytes([crc8(frame)])


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


IMEI = b"351234567890123"
EVENT = bytes([24, 3, 7, 8, 59, 30]) + b"1234" + b"1130" + b"01" + b"005"
TEMPERATURES = bytes([2, 1, 1, 0, 23, 2, 17, 0, 5]) + bytes(24)
FRAMES = {
    "ack": unit_frame(1, 5, 3, bytes([24, 3, 7, 9, 0, 0])),
    "event": unit_frame(6, 5, 0x1234, EVENT),
    "set_time": unit_frame(10, 5, 3),
    "change_unit_nr": unit_frame(32, 5, 3, IMEI),
    "ping_imei_fw": unit_frame(34, 5, 3, IMEI + bytes([1, 2, 3])),
    "ping": unit_frame(35, 5, 3),
    "gsm_level": unit_frame(37, 5, 3, bytes([7])),
    "temperatures": unit_frame(45, 5, 3, TEMPERATURES),
}

# fuzz_frames: a choice byte (bit 0 desktop, bit 1 UDP, bit 2 checksum added,
# bit 3 encrypted and sealed), then the frame.
for name, frame in FRAMES.items():
    write("fuzz_frames", name + "_sealed", bytes([0]) + sealed(frame))
    write("fuzz_frames", name + "_desktop_udp", bytes([1 | 2 | 4]) + frame)
    write("fuzz_frames", name + "_encrypted", bytes([8]) + frame)
write("fuzz_frames", "too_short", bytes([0]) + bytes([0x23, 0, 0, 5, 3, 0, 0, 0]))
write("fuzz_frames", "bad_crc", bytes([0]) + unit_frame(35, 5, 3) + b"\x00")
write("fuzz_frames", "marker_2", bytes([4]) + bytes([35, 2, 0, 5, 3, 0, 0, 0]))

# fuzz_station_link: steps (0..63 input after ms with a length byte, 64..127 an
# alarm line, 128..191 a trouble line, 192..255 a jump of seconds).
HEARTBEAT = b"1011" + b" " * 11 + b"@" + b" " * 4 + b"\x14"
write("fuzz_station_link", "ack", bytes([64, 0, 1, 0x06]))
write("fuzz_station_link", "heartbeat_in_two_pieces",
      bytes([64, 64, 0, 8]) + HEARTBEAT[:8] + bytes([20, len(HEARTBEAT) - 8]) + HEARTBEAT[8:])
write("fuzz_station_link", "three_naks", bytes([64, 128, 0, 1, 0x15, 0, 1, 0x15, 0, 1, 0x15]))
write("fuzz_station_link", "silence_then_answers",
      bytes([64, 128, 200, 250, 0, 3]) + b"\x06\x06\x06" + bytes([255, 0, 1, 0x06]))

# fuzz_settings_file: a choice byte (bit 0 desktop), then Talvero.ini.
DEFAULT_INI = (b"TcpUdpSrvPort=33665\r\nSerialPort=COM1\r\nCommTrouble1=15\r\nCommTrouble2=60\r\n"
               b"CommTrouble3=240\r\nCommTrStartUpDelay=7\r\nPingInvToMonitSoft=30\r\nEncrMarker=0\r\n"
               b"AutoStartUp=0\r\nSystemTray=0\r\nPlaySounds=0\r\nReceiverNumber=7\r\nLineNumber=7\r\n"
               b"EncryptionKey=9873\r\n")
write("fuzz_settings_file", "default", bytes([0]) + DEFAULT_INI)
write("fuzz_settings_file", "default_desktop", bytes([1]) + DEFAULT_INI)
write("fuzz_settings_file", "seven_values", bytes([0]) + b"888\r\nCOM2\r\n20\r\n90\r\n300\r\n5\r\n45\r\n")
write("fuzz_settings_file", "eleven_lines",
      bytes([1]) + b"\r\n".join(DEFAULT_INI.split(b"\r\n")[:11]) + b"\r\n")
write("fuzz_settings_file", "pts_name", bytes([0]) + DEFAULT_INI.replace(b"COM1", b"pts/3"))

# fuzz_unit_database: a choice byte (bits 0..1: 0 as is, 1 version-2 size,
# 2 version-1 size; bit 2 desktop), then the first records.
record = bytearray(40)
record[0] = 1                                   # in use
record[3] = 1                                   # TCP
record[5:13] = struct.pack("<Q", 351234567890123)
record[13:17] = bytes([1, 0, 0, 127])
record[17:19] = struct.pack("<H", 4001)
record[19:23] = struct.pack("<i", 763_000_000)
record[23:27] = struct.pack("<i", 763_000_100)
record[27:30] = bytes([1, 2, 3])
record[30:34] = b"1234"
record[34] = 7
write("fuzz_unit_database", "version2_two_units", bytes([1]) + bytes(40) + bytes(record) * 2)
write("fuzz_unit_database", "version1_desktop", bytes([2 | 4]) + bytes(record))
write("fuzz_unit_database", "wrong_size", bytes([0]) + bytes(record))

# fuzz_comm_trouble_data: the file as it is.
write("fuzz_comm_trouble_data", "comm_troubles",
      b"Comm Troubles\r\n5:2:90\r\n26:1:30\r\n26:3:0\r\n65535:1:-3\r\n")
write("fuzz_comm_trouble_data", "older_layout", b"20\r\n90\r\n300\r\n21\r\n0\r\n")


# fuzz_station_journal: the file as it is.
def fnv(line):
    h = 2166136261
    for c in line:
        h = ((h ^ c) * 16777619) & 0xFFFFFFFF
    return h


def added(line):
    return b"A%08X %s\n" % (fnv(line), line.hex().upper().encode())


A = b"5077 181234E13001005"
B = b"5077 181234E35000002"
write("fuzz_station_journal", "two_lines_one_answered", added(A) + added(B) + b"D\n")
write("fuzz_station_journal", "torn_tail", added(A) + added(B)[:9])
write("fuzz_station_journal", "restore_line", added(b"5077 181234R35000000"))

# fuzz_custom_commands: the file as it is.
write("fuzz_custom_commands", "five_lines", b'A=0x01\r\n\r\n=0x02\r\nB=0x0G\r\nC=""\r\n')
write("fuzz_custom_commands", "every_form", b"Relay on=0x0101\nAT=\"AT+X\"\rq='a'\nX=1")


# fuzz_admin_password: the first byte says how many of the rest are the file;
# what follows is the new password.
def scrambled(text):
    key = b"604271935"
    return bytes(c ^ key[i % len(key)] for i, c in enumerate(text))


write("fuzz_admin_password", "default_file_new_password", bytes([4]) + scrambled(b"9873") + b"s3cret")
write("fuzz_admin_password", "changed_file", bytes([9]) + scrambled(b"abcdefg") + b"\r\n" + b"0008")
write("fuzz_admin_password", "no_file_line_end", bytes([0]) + b"2468")


# fuzz_web_requests: flags, method, target, Host, Origin, Cookie, one line each;
# then one channel message. $TOKEN stands for the run's access token.
def web(name, flags, method, target, host, origin, cookie, message=b""):
    write("fuzz_web_requests", name,
          b"\n".join([flags, method, target, host, origin, cookie]) + b"\n" + message)


HOST = b"127.0.0.1:33666"
COOKIE = b"theme=dark; talvero_33666=$TOKEN"
web("page_with_cookie", b"", b"GET", b"/", HOST, b"", COOKIE)
web("sign_in_with_token", b"", b"GET", b"/index.html?token=$TOKEN&x=1", HOST, b"", b"")
web("sign_in_leading_slashes", b"", b"GET", b"//evil.example/?token=$TOKEN", HOST, b"", b"")
web("channel_upgrade", b"UO", b"GET", b"/ws", HOST, b"http://127.0.0.1:33666", COOKIE,
    b'{"type":"rows","id":7,"first":0,"count":30}')
web("foreign_origin", b"UO", b"GET", b"/ws", HOST, b"http://evil.example", COOKIE,
    b'{"type":"command","id":1,"unit":18,"named":"Get Ping"}')
web("host_endpoint", b"", b"GET", b"/log/all.txt?from=%41+b", HOST.lower(), b"", COOKIE,
    b'{"type":"setting","row":0,"value":"33667"}')
web("failing_endpoint", b"", b"GET", b"/fails", HOST, b"", COOKIE, b'[[[[[[[{"type":"x"}]]]]]]]')
web("post_and_climb", b"O", b"POST", b"/sounds/%2e%2e/app.js", HOST, b"http://127.0.0.1:33666",
    COOKIE, b'{"type":"answer","dialog":1,"value":"\\u00e9\xff"}')


# fuzz_monitor_hub: one message a line; the first byte picks the page (odd: page 2).
def hub(name, *lines):
    write("fuzz_monitor_hub", name, b"\n".join(lines) + b"\n")


hub("rows_and_filter", b' {"type":"rows","id":1,"first":0,"count":30}',
    b' {"type":"filter","text":"00"}', b' {"type":"cmdList","id":2,"unit":18}')
hub("command_with_password", b' {"type":"command","id":3,"unit":18,"action":{"named":"Reset"}}',
    b' {"type":"answer","id":4,"dialog":1,"value":"9873"}',
    b' {"type":"command","id":5,"unit":18,"action":{"delete":true}}',
    b' {"type":"answer","id":6,"dialog":2,"yes":true}',
    b' {"type":"command","id":7,"unit":18,"action":{"custom":0},"ctrl":true}')
hub("settings_and_thresholds", b' {"type":"setting","row":6,"value":"45"}',
    b' {"type":"commTr","unit":18,"level":2,"value":90}', b' {"type":"playSounds","on":false}')
hub("second_page", b"!open", b'!{"type":"showTab","tab":"errors"}', b' {"type":"close","id":5}',
    b'!{"type":"closeAnswer","yes":true}', b"!closed", b' {"type":"passwordWindow","id":6}')
hub("password_and_help", b' {"type":"passwordChange","current":"9873","next":"abc"}',
    b' {"type":"help","id":7,"lang":"English"}', b' {"type":"clearCmd","unit":-1}')
