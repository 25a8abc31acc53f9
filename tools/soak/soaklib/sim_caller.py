"""Callers on the simulated line: `vocerra-call`, one process per call, and
what it says happened."""

import re
import subprocess
import threading

from .plan import KINDS
from .program import settle


def parse_account(text):
    """vocerra-call's account of a call, as numbers."""
    def seconds(pattern):
        m = re.search(pattern, text)
        return float(m.group(1)) if m else None

    account = {
        'output': text,
        'rings': int(re.search(r'rang (\d+) time', text).group(1)) if re.search(r'rang (\d+) time', text) else 0,
        'answered': re.search(r'^answered$', text, re.M) is not None,
        'sent': 0.0,
        'whole': False,
        'ended_by': None,
        'duration': None,
    }
    left = seconds(r'message left: ([0-9.]+) s')
    cut = seconds(r'message cut off after ([0-9.]+) s')
    if left is not None:
        account['sent'], account['whole'] = left, True
    elif cut is not None:
        account['sent'] = cut
    for pattern, who in ((r'^Vocerra hung up after ([0-9.]+) s', 'vocerra'),
                         (r'^hung up after ([0-9.]+) s', 'caller'),
                         (r'^the line went away after ([0-9.]+) s', 'gone')):
        m = re.search(pattern, text, re.M)
        if m:
            account['ended_by'], account['duration'] = who, float(m.group(1))
    if account['ended_by'] is None and not account['answered']:
        account['ended_by'] = 'unanswered'
    account['reached'] = account['rings'] > 0 or account['answered']
    return account


class Handle:
    def __init__(self, proc):
        self.proc = proc
        self.text = ''
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        self.text = self.proc.stdout.read()

    def done(self):
        return self.proc.poll() is not None

    def wait(self, timeout):
        account = settle(self.proc, timeout, {})
        self._reader.join()
        account.update(parse_account(self.text))
        return account


class SimCaller:
    line_name = 'simulated line'
    kinds = tuple(KINDS)  # every caller of the mix
    multi_mailbox_ok = True

    def __init__(self, call_tool, env):
        self.call_tool = call_tool
        self.env = env

    def vocerra_env(self):
        return {'VOCERRA_MODEM_PORTS': ''}

    def prepare(self, _vocerra):
        return True

    def place(self, call, message_path):
        args = [self.call_tool, '--from', call.number, '--name', call.name or 'Soak Caller']
        if message_path:
            args += ['--play', message_path]
        if call.digits:
            args += ['--digits', call.digits]
        if call.rings is not None:
            args += ['--rings', str(call.rings)]
        if call.hang_up_after is not None:
            args += ['--hang-up-after', '%.2f' % call.hang_up_after]
        if call.late_caller_id:
            args.append('--late-caller-id')
        proc = subprocess.Popen(args, env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True)
        return Handle(proc)

    def after_kill(self):
        pass

    def close(self):
        pass
