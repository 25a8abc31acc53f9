"""What the callers say, and reading back what Vocerra recorded.

Messages are tones (loud enough for any silence level the soak sets), some
with a pause inside that is shorter than the silence that ends a message.
Recordings are read with a RIFF parser of our own rather than the program's,
so a fault shared by the writer and its reader cannot hide."""

import math
import os
import struct
import subprocess
import wave

RATE = 8000


def write_message(path, seconds, hz=700.0, pause=None):
    """A 16-bit mono WAVE of `seconds`; `pause` = (start, length) of quiet."""
    frames = bytearray()
    count = int(seconds * RATE)
    quiet = range(0)
    if pause:
        quiet = range(int(pause[0] * RATE), int((pause[0] + pause[1]) * RATE))
    for i in range(count):
        value = 0 if i in quiet else int(8000 * math.sin(2 * math.pi * hz * i / RATE))
        frames += struct.pack('<h', value)
    with wave.open(path, 'wb') as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(bytes(frames))
    return path


def write_silence(path, seconds):
    with wave.open(path, 'wb') as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(bytes(2 * int(seconds * RATE)))
    return path


def to_mulaw(wav_path, raw_path, lead_silence=0.0):
    """Raw mu-law bytes (the modem's and the SIP line's coding), optionally
    after some seconds of silence."""
    subprocess.run(['sox', wav_path, '-t', 'ul', '-r', '8000', '-c', '1', raw_path],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if lead_silence > 0:
        with open(raw_path, 'rb') as f:
            body = f.read()
        with open(raw_path, 'wb') as f:
            f.write(b'\xff' * int(lead_silence * RATE) + body)
    return raw_path


def wave_seconds(path):
    with wave.open(path, 'rb') as f:
        return f.getnframes() / float(f.getframerate())


class WaveInfo:
    def __init__(self, error=None, format_tag=0, rate=0, avg_bytes=0, data_bytes=0):
        self.error = error
        self.format_tag = format_tag
        self.rate = rate
        self.avg_bytes = avg_bytes
        self.data_bytes = data_bytes

    @property
    def seconds(self):
        return self.data_bytes / float(self.avg_bytes) if self.avg_bytes else 0.0


def read_wave(path):
    """The format and data length of a WAVE file, or an error saying why it
    is not one a player can read whole."""
    try:
        with open(path, 'rb') as f:
            data = f.read()
    except OSError as e:
        return WaveInfo(error='cannot be read: %s' % e)
    if len(data) < 12 or data[0:4] != b'RIFF' or data[8:12] != b'WAVE':
        return WaveInfo(error='no RIFF WAVE header')
    riff_size = struct.unpack('<I', data[4:8])[0]
    # Bytes after the RIFF chunk (a write a full disk cut short) are no part
    # of it; a chunk that claims more than the file holds is a broken file.
    if riff_size + 8 > len(data):
        return WaveInfo(error='RIFF size %d for a file of %d bytes' % (riff_size, len(data)))
    data = data[:riff_size + 8]
    at, fmt, data_bytes = 12, None, None
    while at + 8 <= len(data):
        chunk, size = data[at:at + 4], struct.unpack('<I', data[at + 4:at + 8])[0]
        body = at + 8
        if body + size > len(data):
            return WaveInfo(error='chunk %r runs past the end of the file' % chunk)
        if chunk == b'fmt ' and size >= 16:
            fmt = struct.unpack('<HHIIHH', data[body:body + 16])
        elif chunk == b'data':
            data_bytes = size
        at = body + size + (size & 1)
    if fmt is None or data_bytes is None:
        return WaveInfo(error='no format or no data chunk')
    tag, channels, rate, avg, align, bits = fmt
    if channels != 1 or rate != RATE or avg == 0 or align == 0:
        return WaveInfo(error='format %r is not a telephone line\'s' % (fmt,))
    return WaveInfo(format_tag=tag, rate=rate, avg_bytes=avg, data_bytes=data_bytes)


def header_rate(path):
    """The average bytes per second a WAVE file's format block names, or 0."""
    try:
        with open(path, 'rb') as f:
            head = f.read(36)
    except OSError:
        return 0
    if len(head) < 36 or head[0:4] != b'RIFF' or head[12:16] != b'fmt ':
        return 0
    return struct.unpack('<I', head[28:32])[0]


def file_size(path):
    try:
        return os.stat(path).st_size
    except OSError:
        return -1
