"""The seeded mix of calls and faults. One seed gives the same calls, in
the same order, with the same faults, on every run."""

import random

# Callers, by how often they come. Each line takes those it can place.
KINDS = {
    'message': 26,          # an unknown caller leaves a message
    'long': 2,              # a message longer than the call's time limit
    'ring_hangup': 6,       # hangs up while it still rings
    'greeting_hangup': 7,   # hangs up during the greeting
    'beep_hangup': 5,       # hangs up about when the beep comes
    'mid_message': 9,       # hangs up in the middle of the message
    'silent': 5,            # says nothing at all
    'blocked': 8,           # in the address book as blocked (three ways)
    'known': 10,            # in the address book with a greeting of their own
    'bulk': 4,              # in the address book, filed in "Bulk Call"
    'retrieval': 8,         # the owner: logs in, listens, skips, deletes
}

FAULTS = {
    'kill': 34,             # SIGKILL in some state of the call, then a new start
    'smtp_down': 14,
    'smtp_hang': 14,
    'disk_full': 14,
    'prompt_missing': 8,
    'prompt_damaged': 8,
    'greeting_damaged': 8,
}

KILL_STATES = ['ringing', 'greeting', 'beep', 'message', 'after_message']

MESSAGE_SECONDS = [1.5, 3.0, 6.0, 6.0, 12.0, 12.0, 25.0, 45.0]
LONG_SECONDS = 150.0
MAILBOXES = [1, 2, 3]
BLOCK_MODES = {1: 1, 2: 2, 3: 16}  # number digit -> the entry's block flag
PASSWORD = '908172'


class Call:
    def __init__(self, index, kind):
        self.index = index
        self.kind = kind
        self.number = ''
        self.name = ''
        self.message_seconds = 0.0
        self.message_pause = None
        self.digits = ''
        self.rings = None
        self.hang_up_after = None   # scaled seconds after the answer
        self.late_caller_id = False
        self.mailbox = None
        self.block_mode = None
        self.fault = None
        self.fault_detail = None

    def reaches_retrieval(self):
        # A greeting that cannot be played ends the call before the owner's
        # first key: it is an ordinary call then, and filed.
        return self.kind == 'retrieval' and self.fault != 'greeting_damaged'

    def describe(self):
        text = '#%d %s from %s' % (self.index, self.kind, self.number)
        if self.message_seconds:
            text += ', %.1f s message' % self.message_seconds
        if self.mailbox is not None:
            text += ', mailbox %d' % self.mailbox
        if self.hang_up_after is not None:
            text += ', hangs up after %.1f s' % self.hang_up_after
        if self.fault:
            text += ', fault %s%s' % (self.fault, ' (%s)' % self.fault_detail if self.fault_detail else '')
        return text


def _pick(rng, weights):
    names = sorted(weights)
    return rng.choices(names, [weights[n] for n in names])[0]


class Planner:
    """Calls one by one. `greetings` gives how long an unknown caller hears
    a greeting before the beep (scaled seconds): the main greeting with one
    mailbox, the mailbox's after the key that chose it with several."""

    def __init__(self, seed, fault_rate, kinds, faults, greetings):
        self.rng = random.Random(seed)
        self.fault_rate = fault_rate
        self.kinds = {k: w for k, w in KINDS.items() if k in kinds}
        self.faults = {k: w for k, w in FAULTS.items() if k in faults}
        self.greetings = greetings

    def next(self, index, multi_mailbox):
        rng = self.rng
        call = Call(index, _pick(rng, self.kinds))
        greeting = self.greetings[multi_mailbox]
        serial = '%05d' % (index % 100000)
        call.number = '55' + serial
        call.message_seconds = rng.choice(MESSAGE_SECONDS)
        if rng.random() < 0.3 and call.message_seconds >= 6:
            call.message_pause = (call.message_seconds / 3, rng.choice([0.5, 1.0, 1.5]))
        call.late_caller_id = rng.random() < 0.15
        kind = call.kind
        if kind == 'long':
            call.message_seconds = LONG_SECONDS
        elif kind == 'ring_hangup':
            call.rings = 1
        elif kind == 'greeting_hangup':
            call.hang_up_after = rng.uniform(0.3, max(0.4, greeting - 0.5))
        elif kind == 'beep_hangup':
            call.hang_up_after = greeting + rng.uniform(-0.3, 0.6)
        elif kind == 'mid_message':
            call.message_seconds = 25.0
            call.hang_up_after = greeting + 0.5 + rng.uniform(1.0, 15.0)
        elif kind == 'silent':
            call.message_seconds = 0.0
        elif kind == 'blocked':
            mode = rng.choice(sorted(BLOCK_MODES))
            call.block_mode = mode
            call.number = '66%d%s' % (mode, serial[1:])
            call.message_seconds = 0.0
        elif kind == 'known':
            call.number = '77' + serial
        elif kind == 'bulk':
            call.number = '88' + serial
        elif kind == 'retrieval':
            call.number = '99' + serial
            call.message_seconds = 0.0
            mailbox = ',%d' % rng.choice(MAILBOXES) if multi_mailbox else ''
            keys = ','.join(rng.choice(['1', '2', '4']) for _ in range(rng.randint(1, 4)))
            call.digits = '#,1,%s#%s,%s' % (PASSWORD, mailbox, keys)
        if multi_mailbox and kind not in ('retrieval', 'blocked', 'ring_hangup'):
            call.mailbox = rng.choice(MAILBOXES)
            call.digits = str(call.mailbox)
        if self.faults and rng.random() < self.fault_rate:
            call.fault = _pick(rng, self.faults)
            if call.fault == 'kill':
                call.fault_detail = rng.choice(KILL_STATES)
            elif call.fault == 'disk_full':
                call.fault_detail = rng.choice([0, 16 * 1024, 96 * 1024])
        call.kill_fraction = rng.random()
        return call
