"""What must hold after every batch of calls, with the program idle."""

import glob
import os
import re
import subprocess

from . import audio

RECOVERED_NOTE = 'Recovered: Vocerra stopped during this call.'
FLAG_BLOCKED = 0x2
FLAG_NOTIFY = 0x4
FLAG_NOTIFY_FAILED = 0x10
INBOX_FOLDER = 1

# Tolerances, in seconds of audio.
RECORDED_SHORT = 1.0     # the recorder's buffers on their way when the call ended
RECORDED_LONG = 2.5      # beyond the silence that ends a message
OBSERVED_TAKEN = 1600    # bytes of a recording seen on disk before a kill: more than a header
LIMIT_SLACK = 10.0       # the good-bye after the time limit


class Record:
    def __init__(self, fields):
        (self.folder, self.id, self.flags, self.mailbox, self.length, self.number, self.name, self.time,
         self.wave, self.notes) = fields
        self.folder, self.id, self.flags, self.length = int(self.folder), int(self.id), int(self.flags), int(
            self.length)


class Stored:
    """Everything the program has stored, read back through its own loaders."""

    def __init__(self, files_tool, home):
        out = subprocess.run([files_tool, 'dump', home], capture_output=True, text=True, check=False)
        self.error = out.stderr.strip() if out.returncode != 0 else None
        self.trees, self.lists, self.records = {}, {}, []
        for line in out.stdout.splitlines():
            fields = line.split('\t')
            if fields[0] == 'tree':
                self.trees[fields[1]] = (fields[2], int(fields[3]))
            elif fields[0] == 'list':
                self.lists[int(fields[1])] = (fields[2], int(fields[3]))
            elif fields[0] == 'record' and len(fields) == 11:
                self.records.append(Record(fields[1:]))
        self.by_number = {}
        for record in self.records:
            self.by_number.setdefault(record.number, []).append(record)


class Checker:
    def __init__(self, files_tool, home, settings, bulk_folder=3):
        self.files_tool = files_tool
        self.home = home
        self.settings = settings
        self.bulk_folder = bulk_folder
        self.recovered_seen = set()

    def check(self, calls, printed):
        """Breaches as (call index or None, text); `printed` is every call
        line the program printed in this run."""
        stored = Stored(self.files_tool, self.home)
        breaches = []
        breaches += self._files(stored)
        for call in calls:
            breaches += [(call.plan.index, text) for text in self._call(call, stored, printed)]
        breaches += self._orphans(stored)
        for record in stored.records:
            if record.notes == RECOVERED_NOTE:
                self.recovered_seen.add((record.number, os.path.basename(record.wave)))
        return stored, breaches

    def _files(self, stored):
        breaches = []
        if stored.error:
            breaches.append((None, 'the stored files cannot be read: %s' % stored.error))
        for kind in ('messages', 'addresses'):
            state = stored.trees.get(kind, ('missing', 0))[0]
            if state != 'read':
                breaches.append((None, 'the %s tree is %s' % (kind, state)))
        for folder, (state, _) in sorted(stored.lists.items()):
            if state != 'read':
                breaches.append((None, 'the call log of folder %d is %s' % (folder, state)))
        for path in glob.glob(os.path.join(self.home, 'Config', '*.damaged')):
            breaches.append((None, 'a stored file was set aside as damaged: %s' % path))
        return breaches

    def _orphans(self, stored):
        named = {os.path.basename(r.wave) for r in stored.records if r.wave}
        breaches = []
        for path in sorted(glob.glob(os.path.join(self.home, 'Voice', 'Msg*.Wav'))):
            if os.path.basename(path) not in named:
                breaches.append((None, 'a message file belongs to no record: %s (%d bytes)' %
                                 (path, audio.file_size(path))))
        for path in sorted(glob.glob(os.path.join(self.home, 'Voice', 'Call*.Jnl'))):
            breaches.append((None, 'a call journal outlived its call with the program idle: %s' % path))
        if os.path.exists(os.path.join(self.home, 'Config', 'Move.Jnl')):
            breaches.append((None, 'a move between folders was left unfinished with the program idle'))
        return breaches

    def _expected(self, call):
        """(least, most) records the call may have."""
        plan = call.plan
        if plan.reaches_retrieval():
            return 0, 0
        if call.killed or plan.fault == 'disk_full':
            # A message that had reached the disk when the program died, or
            # that could not be filed for the full disk, is never lost.
            return (1 if call.observed_bytes >= OBSERVED_TAKEN else 0), 1
        return 1, 1

    def _call(self, call, stored, printed):
        plan, account = call.plan, call.account
        lines = [l for l in printed if re.search(r'\b%s\b' % plan.number, l)]
        records = stored.by_number.get(plan.number, [])
        least, most = self._expected(call)
        out = []
        if not call.killed and plan.fault != 'disk_full' and not account['reached']:
            out.append('the call never reached the machine: %s' % account['output'].strip()[-300:])
        if account.get('stuck'):
            out.append('the caller was still in the call when the soak gave up on it: %s' %
                       account['output'].strip()[-1500:])
        if not least <= len(records) <= most:
            out.append('filed %d times, expected %s' % (len(records), least if least == most else
                                                          '%d to %d' % (least, most)))
        if not call.killed and not plan.reaches_retrieval():
            if len(lines) != 1:
                out.append('printed %d times: %r' % (len(lines), lines))
            elif 'NOT FILED' in lines[0] and plan.fault != 'disk_full':
                out.append('printed as not filed without a full disk: %s' % lines[0])
        limit = self.settings['max_minutes'] * 60 + LIMIT_SLACK
        if account['duration'] is not None and account['duration'] > limit:
            out.append('the call lasted %.1f s, longer than the limit allows' % account['duration'])
        for record in records:
            out += self._record(call, record)
        return out

    def _record(self, call, record):
        plan, account = call.plan, call.account
        out = []
        if record.length > self.settings['max_minutes'] * 60 + LIMIT_SLACK:
            out.append('the record gives a call of %d s' % record.length)
        if plan.kind == 'known' and record.name != 'Soak Friend':
            out.append('a caller in the address book filed as %r' % record.name)
        # A recovered message waits in the Inbox, wherever its caller's
        # calls are filed otherwise.
        folder = INBOX_FOLDER if record.notes == RECOVERED_NOTE else self.bulk_folder
        if plan.kind == 'bulk' and record.folder != folder:
            out.append('a bulk caller filed in folder %d' % record.folder)
        if plan.kind == 'blocked' and not record.flags & FLAG_BLOCKED:
            out.append('a blocked caller filed without the blocked flag')
        if record.notes == RECOVERED_NOTE and not call.killed and plan.fault != 'disk_full':
            out.append('recovered although the program never stopped during the call')
        if plan.fault == 'smtp_down' and record.flags & FLAG_NOTIFY and not record.flags & FLAG_NOTIFY_FAILED:
            out.append('a notice that could not be sent is shown as sent')
        if not record.wave:
            if account['sent'] >= 1.5 and not call.killed and plan.fault is None:
                out.append('the caller left %.1f s but the record has no message' % account['sent'])
            return out
        info = audio.read_wave(record.wave)
        if info.error:
            return out + ['its message %s is not a readable WAVE: %s' % (record.wave, info.error)]
        if plan.kind == 'blocked':
            out.append('a blocked caller has a message')
        sent = account['sent'] or 0.0
        most = sent + self.settings['silence_seconds'] + RECORDED_LONG
        if info.seconds > most:
            out.append('%.2f s recorded of a caller who sent %.2f s' % (info.seconds, sent))
        # A killed call is held to what was on disk instead (below).
        measured = plan.fault != 'disk_full' and not call.killed and account.get('sent_known', True)
        if measured and info.seconds < sent - RECORDED_SHORT:
            out.append('only %.2f s recorded of the %.2f s the caller sent' % (info.seconds, sent))
        if (call.killed or plan.fault == 'disk_full') and info.data_bytes < call.observed_bytes - 2:
            out.append('%d bytes of message filed, %d were on disk before the restart' %
                       (info.data_bytes, call.observed_bytes))
        if plan.mailbox is not None and sent > 0 and record.mailbox != str(plan.mailbox):
            out.append('filed for mailbox %r, the caller chose %d' % (record.mailbox, plan.mailbox))
        return out
