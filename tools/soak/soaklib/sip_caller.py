"""Callers on the SIP line: sipp on 127.0.0.1, one scenario per call,
written for the call: it rings (or gives up while ringing), speaks from a
mu-law file that starts with the greeting's length of silence, presses keys
by SIP INFO, and hangs up when the plan says unless Vocerra hangs up first.
SIP audio runs in real time, so this line soaks at time scale 1."""

import os
import socket
import subprocess
import time

from . import audio
from .plan import KINDS
from .program import settle

LEAD = 0.5          # seconds of silence beyond the greeting and the beep
KEY_GAP = 3.5       # seconds between groups of keys (a prompt in between)


def free_port():
    for _ in range(200):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.bind(('127.0.0.1', 0))
        port = s.getsockname()[1]
        s.close()
        if port % 2 == 0 and port < 65000:
            return port
    raise RuntimeError('no free port')


INVITE_BRANCH = 'z9hG4bK[pid]inv[call_number]'
SDP = """v=0
o=caller 53655765 2353687637 IN IP[local_ip_type] [local_ip]
s=-
c=IN IP[media_ip_type] [media_ip]
t=0 0
m=audio [rtpstream_audio_port] RTP/AVP 0
a=rtpmap:0 PCMU/8000
a=ptime:20
"""


def request(call, method, cseq, branch='[branch]', answered=True, headers='', body='', retrans=True):
    """One request the caller sends, as a sipp <send>."""
    lines = ['%s sip:vocerra@[remote_ip]:[remote_port] SIP/2.0' % method,
             'Via: SIP/2.0/[transport] [local_ip]:[local_port];branch=%s' % branch,
             'From: "%s" <sip:%s@[local_ip]>;tag=[pid]SIPpTag00[call_number]' % (call.name or 'Soak Caller',
                                                                                 call.number),
             'To: <sip:vocerra@[remote_ip]:[remote_port]>%s' % ('[peer_tag_param]' if answered else ''),
             'Call-ID: [call_id]',
             'CSeq: %d %s' % (cseq, method.split()[0] if method != 'ACK' else 'ACK'),
             'Max-Forwards: 70']
    lines += [h for h in headers.split('\n') if h]
    lines.append('Content-Length: %s' % ('[len]' if body else '0'))
    text = '\n'.join(lines) + '\n\n' + body
    return '  <send%s><![CDATA[\n%s]]></send>\n' % (' retrans="500"' if retrans else '', text)


def invite(call):
    return request(call, 'INVITE', 1, branch=INVITE_BRANCH, answered=False,
                   headers='Contact: <sip:%s@[local_ip]:[local_port]>\nContent-Type: application/sdp' % call.number,
                   body=SDP)


def cancel(call, ring_ms):
    # Same branch as the INVITE it cancels; the ACK of the 487 too.
    return ('  <pause milliseconds="%d"/>\n' % ring_ms +
            request(call, 'CANCEL', 1, branch=INVITE_BRANCH, answered=False, retrans=False) +
            '  <recv response="200"/>\n  <recv response="487"/>\n' +
            request(call, 'ACK', 1, branch=INVITE_BRANCH, retrans=False))


def key(call, cseq, digit, pause_ms):
    return ('  <pause milliseconds="%d"/>\n' % pause_ms +
            request(call, 'INFO', cseq, headers='Content-Type: application/dtmf-relay',
                    body='Signal=%s\nDuration=160\n' % digit) +
            '  <recv response="200"/>\n')


def tail(call, hold_ms):
    """Waits for Vocerra's BYE, or hangs up itself when the time is up."""
    ok = ('  <send><![CDATA[\nSIP/2.0 200 OK\n[last_Via:]\n[last_From:]\n[last_To:]\n[last_Call-ID:]\n'
          '[last_CSeq:]\nContent-Length: 0\n\n]]></send>\n')
    return ('  <recv request="BYE" timeout="%d" ontimeout="hangup"/>\n' % hold_ms + ok +
            '  <nop next="end"/>\n  <label id="hangup"/>\n' + request(call, 'BYE', 99) +
            '  <recv response="200"/>\n  <label id="end"/>\n')


SCENARIO = """<?xml version="1.0" encoding="ISO-8859-1" ?>
<!DOCTYPE scenario SYSTEM "sipp.dtd">
<scenario name="soak caller">
%s</scenario>
"""
RINGING = '  <recv response="100" optional="true"/>\n  <recv response="180"/>\n'


class SipCall:
    def __init__(self, proc, planned, started, log):
        self.proc = proc
        self.planned = planned
        self.started = started
        self.log = log

    def done(self):
        return self.proc.poll() is not None

    def wait(self, timeout):
        account = settle(self.proc, timeout, dict(self.planned))
        account['output'] = 'sipp exit %s, log %s' % (self.proc.returncode, self.log)
        account['duration'] = None
        return account


class SipCaller:
    line_name = 'SIP line'
    kinds = tuple(KINDS)  # every caller of the mix
    multi_mailbox_ok = True

    def __init__(self, setup_tool, env, work, scale):
        self.setup_tool = setup_tool
        self.env = env
        self.work = work
        self.scale = scale
        self.port = free_port()
        self.folder = os.path.join(work, 'sip')
        os.makedirs(self.folder, exist_ok=True)
        self.raw_cache = {}

    def prepare(self, soak):
        self.greeting_for = soak.greeting_for
        done = subprocess.run([self.setup_tool, '--server', '', '--listen', '127.0.0.1', '--port', str(self.port)],
                              env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return done.returncode == 0

    def vocerra_env(self):
        return {'VOCERRA_MODEM_PORTS': ''}

    def raw_for(self, message_path, lead):
        key = (message_path, lead)
        if key not in self.raw_cache:
            raw = '%s.lead%.1f.ulaw' % (message_path, lead)
            self.raw_cache[key] = audio.to_mulaw(message_path, raw, lead_silence=lead)
        return self.raw_cache[key]

    def scenario(self, call, message_path, greeting):
        text = invite(call) + RINGING
        planned = {'rings': 1, 'answered': True, 'reached': True, 'sent': 0.0, 'whole': False,
                   'ended_by': None, 'sent_known': False}
        if call.rings is not None:
            planned['answered'] = False
            return SCENARIO % (text + cancel(call, int(1000 * (1.0 + 2.0 * call.kill_fraction)))), planned
        text += '  <recv response="200" rtd="true"/>\n' + request(call, 'ACK', 1, retrans=False)
        lead = greeting + 0.5 + LEAD
        if message_path:
            text += '  <nop><action><exec rtp_stream="%s,1,0"/></action></nop>\n' % self.raw_for(message_path, lead)
        elapsed, cseq = 0.0, 2
        groups = [g for g in call.digits.replace('#', '#,').split(',') if g]
        for i, group in enumerate(groups):
            for j, digit in enumerate(group):
                pause = (1.0 if i == 0 else KEY_GAP) if j == 0 else 0.25
                elapsed += pause
                text += key(call, cseq, digit, int(pause * 1000))
                cseq += 1
        if call.hang_up_after is not None:
            hold = max(0.2, call.hang_up_after - elapsed)
            planned['sent'] = max(0.0, min(call.message_seconds, call.hang_up_after - lead))
        elif message_path:
            hold = max(0.2, lead + call.message_seconds + 0.5 - elapsed)
            planned['sent'] = call.message_seconds
            planned['sent_known'] = call.kind != 'long'
        else:
            hold = 600.0
        return SCENARIO % (text + tail(call, int(hold * 1000))), planned

    def place(self, call, message_path):
        text, planned = self.scenario(call, message_path, self.greeting_for(call))
        path = os.path.join(self.folder, 'call%d.xml' % call.index)
        with open(path, 'w') as f:
            f.write(text)
        log = os.path.join(self.folder, 'call%d.log' % call.index)
        args = ['sipp', '127.0.0.1:%d' % self.port, '-sf', path, '-i', '127.0.0.1', '-p', str(free_port()),
                '-mi', '127.0.0.1', '-mp', str(free_port()), '-m', '1', '-nostdin', '-timeout', '900s',
                '-timeout_error', '-trace_err', '-error_file', log + '.errors']
        with open(log, 'w') as out:
            proc = subprocess.Popen(args, cwd=self.folder, stdin=subprocess.DEVNULL, stdout=out,
                                    stderr=subprocess.STDOUT)
        self.current = SipCall(proc, planned, time.monotonic(), log)
        return self.current

    def after_kill(self):
        # Nobody answers this caller any more.
        if getattr(self, 'current', None) is not None and not self.current.done():
            self.current.proc.terminate()

    def close(self):
        pass
