"""The soak: N calls from a seeded mix with faults against one
`vocerra --headless`, checked after every batch; stops at the first breach."""

import argparse
import glob
import os
import random
import re
import shutil
import signal
import subprocess
import tempfile
import time
import traceback

from . import audio
from .checks import Checker
from .faults import Disk, PromptDamage, SmtpServer
from .plan import KINDS, FAULTS, MAILBOXES, Planner
from .program import Vocerra, is_call_line
from .sim_caller import SimCaller

RING_PERIOD = 6.0     # scaled seconds between rings
HEADER = 46           # bytes before the first sample of a recording
SETTINGS = {'rings': 2, 'max_minutes': 2, 'silence_seconds': 4, 'silence_level': 8}
FRIEND_GREETING = 2.0  # seconds of the address-book caller's own greeting
MAILBOX_GREETING = 1.2


class CallDone:
    def __init__(self, plan, account, killed, start_line):
        self.plan = plan
        self.account = account
        self.killed = killed
        self.start_line = start_line
        self.observed_bytes = getattr(plan, 'observed_bytes', 0)


class Breach(Exception):
    pass


def find_build(root):
    for preset in ('release', 'debug'):
        folder = os.path.join(root, 'build', preset)
        if os.path.exists(os.path.join(folder, 'src', 'app', 'vocerra')):
            return folder
    return os.path.join(root, 'build', 'debug')


class Soak:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed * 7919 + 1)
        self.build = os.path.abspath(args.build)
        self.bins = {
            'vocerra': os.path.join(self.build, 'src', 'app', 'vocerra'),
            'call': os.path.join(self.build, 'tools', 'vocerra-call', 'vocerra-call'),
            'files': os.path.join(self.build, 'tools', 'soak', 'vocerra-soak-files'),
            'modem': os.path.join(self.build, 'tools', 'soak', 'vocerra-modem-sim'),
            'sip-setup': os.path.join(self.build, 'tools', 'sip-setup', 'vocerra-sip-setup'),
        }
        self.work = args.work or tempfile.mkdtemp(prefix='vocerra-soak-')
        self.home = os.path.join(self.work, 'home')
        self.run = os.path.join(self.work, 'run')
        self.sounds = os.path.join(self.work, 'sounds')
        self.scale = args.time_scale
        self.figures = {'calls': 0, 'checked': 0, 'faults': {}, 'kills': {}, 'starts': 0, 'peak_rss_kb': 0,
                        'peak_fds': 0, 'peak_threads': 0}
        self.calls = []
        self.printed = []
        self.multi_mailbox = False

    # --- setting up -------------------------------------------------------

    def env(self):
        env = self.env_base()
        env.update(self.caller.vocerra_env())
        return env

    def greeting_for(self, call):
        """Seconds from the answer to the beep the caller hears: the caller's
        own greeting, or with several mailboxes the key that cuts the main
        greeting short a second in and the mailbox's greeting."""
        if call.mailbox is not None:
            return 1.0 + MAILBOX_GREETING
        if call.kind == 'known':
            return FRIEND_GREETING
        return self.greeting

    def make_sounds(self):
        os.makedirs(self.sounds, exist_ok=True)
        self.messages = {}
        self.silence = audio.write_silence(os.path.join(self.sounds, 'silence.wav'), 1.0)
        greeting = os.path.join(self.home, 'Greeting')
        os.makedirs(greeting, exist_ok=True)
        audio.write_message(os.path.join(greeting, 'SoakFriend.wav'), FRIEND_GREETING, hz=440.0)
        audio.write_message(os.path.join(greeting, 'SoakBlocked.wav'), 1.5, hz=520.0)
        for box in MAILBOXES:
            audio.write_message(os.path.join(greeting, 'GTMbox%02d.Wav' % box), MAILBOX_GREETING,
                                hz=300.0 + 100 * box)

    def message_file(self, call):
        if not call.message_seconds:
            return None
        key = (call.message_seconds, call.message_pause)
        if key not in self.messages:
            name = 'message-%.1f%s.wav' % (call.message_seconds, '-p%.1f-%.1f' % call.message_pause
                                            if call.message_pause else '')
            self.messages[key] = audio.write_message(os.path.join(self.sounds, name), call.message_seconds,
                                                     hz=600.0 + 50 * (len(self.messages) % 6),
                                                     pause=call.message_pause)
        return self.messages[key]

    def setup_files(self, first):
        values = ['line=0', 'rings=%d' % SETTINGS['rings'], 'max-minutes=%d' % SETTINGS['max_minutes'],
                  'silence-seconds=%d' % SETTINGS['silence_seconds'],
                  'silence-level=%d' % SETTINGS['silence_level'], 'retrieval=1',
                  'multi-mailbox=%d' % self.multi_mailbox, 'smtp-port=%d' % self.smtp.port]
        if first:
            greeting = os.path.join(self.home, 'Greeting')
            values += ['entry=77?????|Soak Friend|4|%s' % os.path.join(greeting, 'SoakFriend.wav'),
                       'entry=88?????|Soak Bulk|8|',
                       'entry=661????|Soak Blocked Hang Up|1|',
                       'entry=662????|Soak Blocked Tone|2|',
                       'entry=663????|Soak Blocked Announcement|16|%s' % os.path.join(greeting, 'SoakBlocked.wav')]
        subprocess.run([self.bins['files'], 'setup', self.home] + values, check=True)

    def prepare(self):
        for name, path in self.bins.items():
            if not os.path.exists(path) and (name != 'modem' or self.args.line == 'modem') and (
                    name != 'sip-setup' or self.args.line == 'sip'):
                raise SystemExit('soak: %s is not built (%s)' % (name, path))
        os.makedirs(self.run, mode=0o700, exist_ok=True)
        os.chmod(self.run, 0o700)
        self.disk = Disk(self.home, self.args.disk_mb, self.work)
        self.smtp = SmtpServer()
        self.smtp.set('up')
        self.caller = self.make_caller()
        self.make_sounds()
        self.setup_files(first=True)
        if not self.caller.prepare(self):
            raise SystemExit('soak: the %s cannot be set up' % self.caller.line_name)
        self.prompts = PromptDamage(self.home)
        self.log = os.path.join(self.work, 'vocerra.log')
        self.vocerra = Vocerra(self.bins['vocerra'], self.env(), self.log,
                               None if self.disk.mounted else Disk.ignore_file_size_signal)
        self.checker = Checker(self.bins['files'], self.home, SETTINGS)
        self.greeting = audio.wave_seconds(self.shipped('Greeting', 'GTMain.wav'))
        kinds = set(self.args.kinds.split(',')) if self.args.kinds else set(self.caller.kinds)
        faults = set(self.args.faults.split(',')) if self.args.faults else set(FAULTS)
        if self.args.fault_rate == 0:
            faults = set()
        self.planner = Planner(self.args.seed, self.args.fault_rate, kinds & set(self.caller.kinds), faults,
                               {False: self.greeting, True: 1.0 + MAILBOX_GREETING})

    def shipped(self, folder, name):
        for candidate in (os.path.join(self.build, 'data', folder, name), os.path.join(self.home, folder, name)):
            if os.path.exists(candidate):
                return candidate
        raise SystemExit('soak: no shipped %s/%s in %s' % (folder, name, self.build))

    def make_caller(self):
        if self.args.line == 'sim':
            return SimCaller(self.bins['call'], self.env_base())
        if self.args.line == 'sip':
            from .sip_caller import SipCaller
            return SipCaller(self.bins['sip-setup'], self.env_base(), self.work, self.scale)
        from .modem_caller import ModemCaller
        return ModemCaller(self.bins['modem'], self.work, self.scale)

    def env_base(self):
        env = dict(os.environ)
        env.update({'VOCERRA_HOME': self.home, 'VOCERRA_RUNTIME_DIR': self.run,
                    'VOCERRA_TIME_SCALE': str(self.scale), 'VOCERRA_NO_SOUND_CARDS': '1',
                    'VOCERRA_REGISTRY': os.path.join(self.run, 'registry.reg')})
        return env

    # --- the program --------------------------------------------------------

    def start_vocerra(self, why):
        if not self.vocerra.start():
            raise Breach('the program did not start (%s)' % why)
        self.figures['starts'] += 1
        self.instance_base = None

    def restart_cleanly(self, why):
        code = self.vocerra.stop()
        if code != 0:
            raise Breach('the program did not stop cleanly (%s): exit %r' % (why, code))
        self.start_vocerra(why)

    # --- one call -----------------------------------------------------------

    def voice_files(self):
        return set(glob.glob(os.path.join(self.home, 'Voice', 'Msg*.Wav')))

    def wait_until(self, pred, handle, seconds):
        end = time.monotonic() + seconds
        while time.monotonic() < end and not pred() and not handle.done():
            time.sleep(0.005)

    def new_journal(self, since):
        for path in glob.glob(os.path.join(self.home, 'Voice', 'Call*.Jnl')):
            try:
                if os.stat(path).st_mtime >= since:
                    return True
            except OSError:
                pass
        return False

    def recording_bytes(self, before):
        sizes = [audio.file_size(p) for p in self.voice_files() - before]
        return max(sizes) - HEADER if sizes else -1

    def recording_seconds(self, before):
        """How much the recording in progress holds, by the format its
        header names (written when the recording starts)."""
        most = 0.0
        for path in self.voice_files() - before:
            rate = audio.header_rate(path)
            if rate:
                most = max(most, (audio.file_size(path) - HEADER) / float(rate))
        return most

    def recorded_data(self, before):
        """Sample bytes of the call's closed recording: its data chunk when
        its header was written, else all it holds past a header."""
        most = 0
        for path in self.voice_files() - before:
            info = audio.read_wave(path)
            most = max(most, info.data_bytes if not info.error else audio.file_size(path) - HEADER)
        return most

    def kill_during(self, call, handle, before, started):
        """Waits for the state the fault names, then kills the program."""
        state, fraction = call.fault_detail, call.kill_fraction
        greeting = self.greeting_for(call)
        guard = 300.0
        scaled = lambda s: s / self.scale
        if state == 'ringing':
            time.sleep(scaled(RING_PERIOD * (0.1 + 0.7 * fraction)))
        elif state in ('greeting', 'beep'):
            self.wait_until(lambda: self.new_journal(started), handle, guard)
            delay = greeting * fraction if state == 'greeting' else greeting - 0.3 + 0.9 * fraction
            time.sleep(scaled(max(0.0, delay)))
        else:
            full = call.message_seconds
            want = max(0.1, full * fraction) if state == 'message' else max(0.1, full - 0.2)
            self.wait_until(lambda: self.recording_seconds(before) >= want, handle, guard)
            if state == 'after_message':
                time.sleep(scaled(1.5 * fraction))
        # What was on disk the moment before: the least the next start must find.
        call.observed_bytes = max(0, self.recording_bytes(before))
        self.vocerra.kill()
        self.figures['kills'][state] = self.figures['kills'].get(state, 0) + 1

    def apply_fault(self, call):
        fault = call.fault
        if fault is None:
            return
        self.figures['faults'][fault] = self.figures['faults'].get(fault, 0) + 1
        if fault == 'smtp_down':
            self.smtp.set('down')
        elif fault == 'smtp_hang':
            self.smtp.set('hang')
        elif fault == 'disk_full':
            self.disk.fill(call.fault_detail, self.vocerra.proc.pid)
        elif fault == 'prompt_missing':
            self.prompts.apply('beep', 'missing')
        elif fault == 'prompt_damaged':
            self.prompts.apply('beep', 'damaged')
        elif fault == 'greeting_damaged':
            self.prompts.apply('greeting', 'damaged')

    def undo_fault(self, call):
        fault = call.fault
        if fault in ('smtp_down', 'smtp_hang'):
            self.smtp.set('up')
        elif fault == 'disk_full':
            self.disk.free(self.vocerra.proc.pid if self.vocerra.running() else None)
            # What could not be filed is recovered by the next start.
            self.restart_cleanly('after a full disk')
        elif fault in ('prompt_missing', 'prompt_damaged', 'greeting_damaged'):
            self.prompts.restore()

    def wait_for_line(self, call, start_line):
        """The program's line for the call, or for a retrieval call the line
        that says it was not logged."""
        number = call.number
        if call.reaches_retrieval():
            pred = lambda l: is_call_line(l) and 'not logged' in l
        else:
            pred = lambda l: is_call_line(l) and re.search(r'\b%s\b' % number, l) is not None
        limit = 60.0 + 300.0 / self.scale
        return self.vocerra.output.wait_for(pred, limit, start_line, stream='out') is not None

    def place(self, call):
        message = self.message_file(call)
        before = self.voice_files()
        start_line = len(self.vocerra.output)
        started = time.time()
        self.apply_fault(call)
        self.vocerra.output.add('driver', '--- call %s' % call.describe())
        handle = self.caller.place(call, message)
        killed = False
        if call.fault == 'kill':
            self.kill_during(call, handle, before, started)
            self.caller.after_kill()
            killed = True
        account = handle.wait(self.call_guard(call))
        if killed:
            self.start_vocerra('after a kill')
        elif not self.wait_for_line(call, start_line):
            raise Breach('no line was printed for the call (the program may hang)')
        if call.fault == 'disk_full':
            # What reached the disk must be filed, now or by the next start.
            call.observed_bytes = self.recorded_data(before)
        self.undo_fault(call)
        return CallDone(call, account, killed, start_line)

    def call_guard(self, call):
        # Real seconds: a call can last no longer than the time limit and its
        # good-bye; anything beyond is a hang the checks report.
        return 120.0 + (SETTINGS['max_minutes'] * 60 + 120) / self.scale

    # --- checks ---------------------------------------------------------------

    def sample_process(self):
        counts = self.vocerra.counts()
        if counts is None:
            return []
        f = self.figures
        f['peak_rss_kb'] = max(f['peak_rss_kb'], counts['rss_kb'])
        f['peak_fds'] = max(f['peak_fds'], counts['fds'])
        f['peak_threads'] = max(f['peak_threads'], counts['threads'])
        if self.instance_base is None:
            self.instance_base = counts
            if not hasattr(self, 'run_base'):
                self.run_base = counts
            return []
        breaches = []
        base = self.run_base
        if counts['threads'] > base['threads'] + 1:
            breaches.append('threads grew from %d to %d' % (base['threads'], counts['threads']))
        if counts['fds'] > base['fds'] + 2:
            breaches.append('open descriptors grew from %d to %d' % (base['fds'], counts['fds']))
        if counts['rss_kb'] > self.instance_base['rss_kb'] + self.args.rss_slack_mb * 1024:
            breaches.append('memory grew from %d kB to %d kB' % (self.instance_base['rss_kb'], counts['rss_kb']))
        return breaches

    def check(self):
        self.printed = self.vocerra.call_lines()
        stored, breaches = self.checker.check(self.calls, self.printed)
        self.stored = stored
        breaches = [(i, t) for i, t in breaches] + [(None, t) for t in self.sample_process()]
        if breaches:
            index, text = breaches[0]
            raise Breach(text if index is None else 'call #%d: %s' % (index, text))

    # --- the run --------------------------------------------------------------

    def run_calls(self):
        self.start_vocerra('first start')
        batch = self.args.batch
        for index in range(1, self.args.calls + 1):
            if index % batch == 1 and index > 1 and self.caller.multi_mailbox_ok and \
                    self.rng.random() < self.args.multi_mailbox_share:
                self.switch_mailboxes(not self.multi_mailbox)
            elif index % batch == 1 and index > 1 and self.multi_mailbox:
                self.switch_mailboxes(False)
            call = self.planner.next(index, self.multi_mailbox)
            self.current = call
            done = self.place(call)
            self.calls.append(done)
            self.figures['calls'] = index
            if self.args.verbose:
                print('soak: %s -> %s' % (call.describe(), summary(done.account)), flush=True)
            if index % batch == 0 or index == self.args.calls:
                self.check()
                self.figures['checked'] = index
                print('soak: %d calls, every invariant held' % index, flush=True)

    def switch_mailboxes(self, multi):
        code = self.vocerra.stop()
        if code != 0:
            raise Breach('the program did not stop cleanly: exit %r' % code)
        self.multi_mailbox = multi
        self.setup_files(first=False)
        self.start_vocerra('mailbox mode %s' % ('several' if multi else 'one'))

    def report(self, began, breach=None):
        f = self.figures
        stored = getattr(self, 'stored', None)
        recovered = len(self.checker.recovered_seen)
        lines = [
            'line: %s, seed %d, time scale %s, %d calls planned, batch %d, fault rate %.2f' % (
                self.caller.line_name, self.args.seed, self.scale, self.args.calls, self.args.batch,
                self.args.fault_rate),
            'duration: %.0f s' % (time.monotonic() - began),
            'calls placed: %d, program starts: %d' % (f['calls'], f['starts']),
            'faults: %s' % (', '.join('%s %d' % kv for kv in sorted(f['faults'].items())) or 'none'),
            'kills by call state: %s' % (', '.join('%s %d' % kv for kv in sorted(f['kills'].items())) or 'none'),
            'records: %d, recovered messages: %d, mails received: %d' % (
                len(stored.records) if stored else 0, recovered, self.smtp.received),
            'peak: %d kB resident, %d descriptors, %d threads' % (f['peak_rss_kb'], f['peak_fds'],
                                                                 f['peak_threads']),
            'disk-full fault: %s' % self.disk.kind,
        ]
        if breach == INTERRUPTED:
            lines.insert(0, 'STOPPED from outside after call #%d; every invariant held for the first %d calls' % (
                f['calls'], f['checked']))
        elif breach:
            lines.insert(0, 'BREACH at call #%d: %s' % (self.current.index if hasattr(self, 'current') else 0,
                                                         breach))
            if hasattr(self, 'current'):
                lines.append('the call: %s' % self.current.describe())
            lines.append('the program folder\'s file system: %s (mount -o loop)' % self.disk.image)
            lines.append('program output (last lines; all of it in %s):\n%s' % (self.log, self.vocerra.tail(80)))
        else:
            lines.insert(0, 'every invariant held')
        return '\n'.join(lines)

    def close(self, keep):
        try:
            if hasattr(self, 'vocerra') and self.vocerra.running():
                self.vocerra.stop()
        finally:
            if hasattr(self, 'caller'):
                self.caller.close()
            if hasattr(self, 'smtp'):
                self.smtp.set('down')
            self.disk.close(keep)


def summary(account):
    return 'rang %d, %s, sent %.1f s, ended by %s' % (account['rings'], 'answered' if account['answered'] else
                                                      'not answered', account['sent'] or 0.0, account['ended_by'])


def parse(argv, root):
    p = argparse.ArgumentParser(prog='tools/soak/soak', description=__doc__)
    p.add_argument('--calls', type=int, default=100)
    p.add_argument('--seed', type=int, default=None)
    p.add_argument('--line', choices=['sim', 'sip', 'modem'], default='sim')
    p.add_argument('--batch', type=int, default=10, help='calls between two checks')
    p.add_argument('--fault-rate', type=float, default=0.3, help='share of calls that meet a fault')
    p.add_argument('--faults', help='comma-separated fault kinds (default: all): %s' % ','.join(sorted(FAULTS)))
    p.add_argument('--kinds', help='comma-separated caller kinds (default: all the line can place): %s' %
                   ','.join(sorted(KINDS)))
    p.add_argument('--multi-mailbox-share', type=float, default=0.3,
                   help='share of batches run with several mailboxes')
    p.add_argument('--time-scale', type=float, default=None,
                   help='VOCERRA_TIME_SCALE (default 8; 1 on the SIP line, whose audio is real time)')
    p.add_argument('--build', default=find_build(root), help='the build folder (default: release, else debug)')
    p.add_argument('--work', help='where the program folder and logs go (default: a new folder in /tmp)')
    p.add_argument('--disk-mb', type=int, default=1024, help='size of the program folder\'s file system')
    p.add_argument('--rss-slack-mb', type=int, default=16)
    p.add_argument('--keep', action='store_true', help='keep the work folder after a clean run')
    p.add_argument('--report', help='also write the report to this file')
    p.add_argument('--verbose', action='store_true', help='a line per call')
    args = p.parse_args(argv)
    if args.seed is None:
        args.seed = random.SystemRandom().randrange(1, 1 << 31)
    if args.time_scale is None:
        args.time_scale = 1.0 if args.line == 'sip' else 8.0
    return args


INTERRUPTED = 'interrupted'


def interrupted(signum, frame):
    raise KeyboardInterrupt


def main(argv, root):
    args = parse(argv, root)
    # Stopped from outside (kill, a test runner's timeout, a background
    # job's Ctrl-C), it still unmounts its file system and reports.
    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, interrupted)
    print('soak: seed %d, %d calls on the %s line' % (args.seed, args.calls, args.line), flush=True)
    soak = Soak(args)
    began = time.monotonic()
    breach = None
    try:
        soak.prepare()
        print('soak: work folder %s' % soak.work, flush=True)
        soak.run_calls()
    except Breach as e:
        breach = str(e)
    except KeyboardInterrupt:
        breach = INTERRUPTED
    except Exception:  # the driver's own fault: reported like a breach, and cleaned up
        breach = 'the soak itself failed:\n' + traceback.format_exc()
    finally:
        report = soak.report(began, breach) if hasattr(soak, 'checker') else (breach or 'not started')
        if hasattr(soak, 'disk'):
            soak.close(keep=breach is not None or args.keep)
    print(report, flush=True)
    if args.report:
        with open(args.report, 'w') as f:
            f.write(report + '\n')
    if breach is None and not args.keep and not args.work:
        shutil.rmtree(soak.work, ignore_errors=True)
    return 1 if breach else 0
