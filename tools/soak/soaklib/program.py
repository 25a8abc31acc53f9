"""`vocerra --headless` under the soak: started, stopped cleanly, killed and
started again; its output kept line by line; what /proc says about it.

The output is parsed loosely: which lines go to standard output and which
to standard error, and how much is said besides the one line per call, is
not something the soak relies on."""

import os
import re
import signal
import subprocess
import threading
import time

CALL_LINE = re.compile(r'^\d{4}/\d{2}/\d{2}, \d{2}:\d{2}:\d{2}  ')
READY = re.compile(r'Vocerra answering on line (\d+)')
STATUS_WORDS = ('Caller Name:', 'ringing...', 'dropping call', 'Playing ', 'recording call', 'Saying bye')


def ended_in_time(proc, timeout):
    """Waits for a process; one still running after `timeout` is killed
    (a caller stuck for good must not hold up the soak) and False is told."""
    try:
        proc.wait(timeout)
        return True
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        return False


def settle(proc, timeout, account):
    """Notes in the caller's account how its process ended: its exit code,
    or that it was stuck and killed."""
    if ended_in_time(proc, timeout):
        account['exit'] = proc.returncode
    else:
        account['stuck'] = True
    return account


def is_call_line(line):
    return CALL_LINE.match(line) is not None and not any(w in line for w in STATUS_WORDS)


class Output:
    """Every line either stream printed, with the stream's name, and the
    soak's own notes between them; all of it also goes to the log file."""

    def __init__(self, log_path):
        self.lines = []
        self.lock = threading.Condition()
        self.log_path = log_path

    def add(self, stream, line):
        line = line.rstrip('\n')
        with self.lock:
            self.lines.append((stream, line))
            with open(self.log_path, 'a') as log:
                log.write('%s %s\n' % (stream, line))
            self.lock.notify_all()

    def wait_for(self, pred, timeout, start=0, stream=None):
        """The index of the first line from `start` on (of the stream, when
        one is named) that satisfies pred, or None when the time ran out."""
        end = time.monotonic() + timeout
        with self.lock:
            while True:
                for i in range(start, len(self.lines)):
                    if (stream is None or self.lines[i][0] == stream) and pred(self.lines[i][1]):
                        return i
                left = end - time.monotonic()
                if left <= 0:
                    return None
                self.lock.wait(min(left, 0.5))

    def snapshot(self, start=0):
        with self.lock:
            return list(self.lines[start:])

    def __len__(self):
        with self.lock:
            return len(self.lines)


class Vocerra:
    def __init__(self, binary, env, log_path, extra_limits=None):
        self.binary = binary
        self.env = env
        self.log_path = log_path
        self.extra_limits = extra_limits
        self.proc = None
        self.output = Output(log_path)
        self.starts = 0
        self.instance_start = 0  # index of this instance's first line

    def _read(self, stream, name):
        for line in iter(stream.readline, ''):
            self.output.add(name, line)
        stream.close()

    def start(self, timeout=120):
        """Starts it and waits for the line that says it answers; False
        (with the output kept) when it ends or never says so."""
        self.instance_start = len(self.output)
        self.output.add('driver', '--- start %d' % (self.starts + 1))
        self.proc = subprocess.Popen([self.binary, '--headless'], env=self.env, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                     preexec_fn=self.extra_limits)
        self.starts += 1
        for stream, name in ((self.proc.stdout, 'out'), (self.proc.stderr, 'err')):
            threading.Thread(target=self._read, args=(stream, name), daemon=True).start()
        found = self.output.wait_for(lambda l: READY.search(l) or self.proc.poll() is not None, timeout,
                                     self.instance_start)
        return found is not None and self.proc.poll() is None

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def kill(self):
        if not self.running():
            return
        self.proc.send_signal(signal.SIGKILL)
        self.proc.wait()
        self.output.add('driver', '--- killed')

    def stop(self, timeout=120):
        """SIGTERM, as a user's Ctrl-C: the call in progress ends and is
        filed first. The exit code, or None when it did not end in time."""
        if not self.running():
            return self.proc.returncode if self.proc else None
        self.proc.send_signal(signal.SIGTERM)
        try:
            code = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.proc.send_signal(signal.SIGKILL)
            self.proc.wait()
            return None
        self.output.add('driver', '--- stopped (%d)' % code)
        return code

    def call_lines(self, start=0):
        """The one-line accounts of calls printed since index `start`: on
        standard output, where the program says nothing else but that it
        answers (what it says while a call goes on may be on either stream)."""
        return [l for stream, l in self.output.snapshot(start) if stream == 'out' and is_call_line(l)]

    def counts(self):
        """Threads, open descriptors and resident memory (kB) of the running
        process, or None."""
        if not self.running():
            return None
        pid = self.proc.pid
        try:
            threads = len(os.listdir('/proc/%d/task' % pid))
            fds = len(os.listdir('/proc/%d/fd' % pid))
            rss = 0
            with open('/proc/%d/status' % pid) as status:
                for line in status:
                    if line.startswith('VmRSS:'):
                        rss = int(line.split()[1])
            return {'threads': threads, 'fds': fds, 'rss_kb': rss}
        except OSError:
            return None

    def tail(self, count=60):
        return '\n'.join('%s: %s' % line for line in self.output.snapshot()[-count:])
