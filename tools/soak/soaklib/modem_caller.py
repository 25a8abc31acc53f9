"""Callers on a voice modem: the modem simulator program plays the
telephone company, and a thread per call rings, sends caller ID, speaks
(the simulator sends the voice once the modem records), presses keys and
hangs up by dropping the loop current."""

import os
import subprocess
import sys
import threading
import time
import traceback

from . import audio
from .plan import KINDS

RING_PERIOD = 6.0
HEADER = 0


class Simulator:
    def __init__(self, binary, folder):
        os.makedirs(folder, exist_ok=True)
        self.proc = subprocess.Popen([binary, folder], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True,
                                     bufsize=1)
        first = self.proc.stdout.readline().split()
        self.port = first[1] if len(first) == 2 and first[0] == 'port' else None
        self.lock = threading.Lock()

    def ask(self, command):
        with self.lock:
            self.proc.stdin.write(command + '\n')
            self.proc.stdin.flush()
            return self.proc.stdout.readline().strip()

    def status(self):
        fields = self.ask('status').split()[1:]
        return {k: int(v) for k, v in (f.split('=') for f in fields)}

    def close(self):
        try:
            self.proc.stdin.write('quit\n')
            self.proc.stdin.close()
            self.proc.wait(10)
        except (OSError, subprocess.TimeoutExpired):
            self.proc.kill()


class ModemCall:
    def __init__(self, sim, call, raw, scale):
        self.sim = sim
        self.call = call
        self.raw = raw
        self.total = os.path.getsize(raw) if raw else 0
        self.scale = scale
        self.account = {'output': '', 'rings': 0, 'answered': False, 'sent': 0.0, 'whole': False,
                        'ended_by': None, 'duration': None, 'reached': False}
        self.killed = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def sleep(self, scaled):
        time.sleep(scaled / self.scale)

    def note(self, text):
        self.account['output'] += text + '\n'

    def off_hook(self):
        return self.sim.status()['offhook'] == 1

    def ring(self):
        call, sim = self.call, self.sim
        limit = call.rings if call.rings is not None else 8
        # Counted, not looked at: a call Vocerra answers and ends at once
        # (its greeting gone) is answered all the same.
        answers = sim.status()['answers']
        # A caller who gives up after the first ring has had its number
        # sent with it: a late one would never come, and the call would be
        # filed under no number at all.
        id_ring = min(1 if call.late_caller_id else 0, limit - 1)
        for ring in range(limit):
            sim.ask('ring')
            self.account['rings'] += 1
            if ring == id_ring:
                sim.ask('cid %s %s' % (call.number, call.name or 'SOAK CALLER'))
            end = time.monotonic() + RING_PERIOD / self.scale
            while time.monotonic() < end:
                if sim.status()['answers'] != answers or self.killed.is_set():
                    return not self.killed.is_set()
                time.sleep(0.02)
        # The caller gives up: no more rings, and the line notices.
        self.note('rang %d times, no answer' % self.account['rings'])
        return False

    def prompt_ended(self, played_at_press, guard):
        """As vocerra-call waits: a prompt played since the last keys and has
        been quiet for a second, or nothing played for five."""
        end = time.monotonic() + guard
        last, since, pressed = -1, time.monotonic(), time.monotonic()
        while time.monotonic() < end and not self.killed.is_set():
            played = self.sim.status()['played']
            now = time.monotonic()
            if played != last:
                last, since = played, now
            quiet = (now - since) * self.scale
            if quiet >= 1.0 and (played > played_at_press or (now - pressed) * self.scale >= 5.0):
                return
            time.sleep(0.02)

    def press(self, digits):
        groups = [g for g in digits.replace('#', '#,').split(',') if g]
        played = 0
        for i, group in enumerate(groups):
            if i == 0 and not digits.startswith(','):
                self.sleep(1.0)
            else:
                self.prompt_ended(played, 120.0)
            played = self.sim.status()['played']
            self.sim.ask('dtmf %s' % group)
            self.note('pressed %s' % group)

    def sent_seconds(self):
        if not self.total:
            return 0.0
        return (self.total - self.sim.status()['left']) / float(audio.RATE)

    def run(self):
        call, sim = self.call, self.sim
        sim.ask('mute')
        if self.raw:
            sim.ask('audio %s' % self.raw)
        answered = self.ring()
        self.account['reached'] = self.account['rings'] > 0
        if not answered:
            sim.ask('mute')
            self.account['ended_by'] = 'unanswered'
            return
        self.account['answered'] = True
        answered_at = time.monotonic()
        if call.digits:
            self.press(call.digits)
        ended_by = 'vocerra'
        end = time.monotonic() + 900.0
        while time.monotonic() < end and not self.killed.is_set():
            status = sim.status()
            if status['offhook'] == 0:
                break
            elapsed = (time.monotonic() - answered_at) * self.scale
            if call.hang_up_after is not None and elapsed >= call.hang_up_after:
                ended_by = 'caller'
                break
            if self.raw and call.hang_up_after is None and status['left'] == 0 and status['sent'] == 1:
                self.sleep(0.5)
                ended_by = 'caller'
                break
            time.sleep(0.02)
        if self.killed.is_set():
            ended_by = 'gone'
        else:
            self.account['sent'] = self.sent_seconds()
        if ended_by == 'caller':
            sim.ask('mute')
            sim.ask('report l')
            # The line is put on hook by Vocerra once it notices.
            hung = time.monotonic() + 900.0
            while time.monotonic() < hung and self.off_hook() and not self.killed.is_set():
                time.sleep(0.02)
        self.account['whole'] = self.total > 0 and self.account['sent'] * audio.RATE >= self.total
        self.account['ended_by'] = ended_by
        self.account['duration'] = (time.monotonic() - answered_at) * self.scale
        self.note('%s after %.1f s' % ('hung up' if ended_by == 'caller' else ended_by, self.account['duration']))

    def done(self):
        return not self.thread.is_alive()

    def wait(self, timeout):
        self.thread.join(timeout)
        if self.thread.is_alive():
            self.account['stuck'] = True
            frame = sys._current_frames().get(self.thread.ident)
            self.note('the caller is stuck at:\n' + ''.join(traceback.format_stack(frame)))
        return self.account


class ModemCaller:
    line_name = 'modem line'
    kinds = tuple(KINDS)  # every caller of the mix
    multi_mailbox_ok = True

    def __init__(self, binary, work, scale):
        self.binary = binary
        self.work = work
        self.scale = scale
        self.sim = None
        self.current = None
        self.raw_cache = {}

    def prepare(self, soak):
        self.sim = Simulator(self.binary, os.path.join(self.work, 'modem'))
        os.makedirs(os.path.join(self.work, 'locks'), exist_ok=True)
        return self.sim.port is not None

    def vocerra_env(self):
        return {'VOCERRA_MODEM_PORTS': self.sim.port if self.sim else '',
                'VOCERRA_MODEM_LOCK_DIR': os.path.join(self.work, 'locks')}

    def place(self, call, message_path):
        raw = None
        if message_path:
            raw = self.raw_cache.get(message_path)
            if raw is None:
                raw = audio.to_mulaw(message_path, message_path + '.ulaw')
                self.raw_cache[message_path] = raw
        self.current = ModemCall(self.sim, call, raw, self.scale)
        return self.current

    def after_kill(self):
        # What the caller had sent when the program died, then the modem
        # hangs up as a real one does when its port's owner goes away.
        if self.current is not None:
            self.current.account['sent'] = self.current.sent_seconds()
            self.current.killed.set()
        self.sim.ask('dropdtr')

    def close(self):
        if self.sim:
            self.sim.close()
