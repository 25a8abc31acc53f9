"""A mail server on 127.0.0.1 for the notification tests.

Usage: smtp_server.py FOLDER

Makes a test certificate authority and two server certificates with openssl
in FOLDER/certs (one for 127.0.0.1, one for another host name), then listens
on free ports and prints one line:

    READY plain=N tls=N starttls=N wronghost=N nologin=N silent=N closing=N

plain      no TLS, AUTH offered without it
tls        TLS from the first byte
starttls   STARTTLS required before MAIL and AUTH
wronghost  TLS with a certificate for "other.example"
nologin    no TLS and no AUTH
silent     accepts connections and never says a word
closing    accepts connections and closes them at once

The user "vocerra" with the password "secret" may log in; login is never
required. Recipients whose local part starts with "refused" are refused;
"hangup" makes the server drop the connection, "stall" makes it stop
answering. Every accepted message is parsed with the email package and
written to FOLDER/mail/NNNN/: mail_from, rcpt_tos (one a line), login, tls,
connection (the number of the connection it came on), headers ("Name: value"
a line, in order, decoded), body (the text/plain part, LF line ends),
attachment0 (bytes), attachment0.name, attachment0.type, raw. The server ends when its standard input closes.
"""

import asyncio
import email
import email.policy
import logging
import os
import ssl
import subprocess
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

USER = b"vocerra"
PASSWORD = b"secret"


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_certificates(folder):
    os.makedirs(folder, exist_ok=True)
    key_args = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    ca_key, ca_pem = f"{folder}/ca.key", f"{folder}/ca.pem"
    openssl("req", "-x509", *key_args, "-keyout", ca_key, "-out", ca_pem, "-days", "2",
            "-subj", "/CN=Vocerra Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    for name, san in (("server", "IP:127.0.0.1,DNS:localhost"), ("other", "DNS:other.example")):
        key, csr, pem, ext = (f"{folder}/{name}.{s}" for s in ("key", "csr", "pem", "ext"))
        openssl("req", "-new", *key_args, "-keyout", key, "-out", csr, "-subj", f"/CN={name}")
        with open(ext, "w") as f:
            f.write(f"subjectAltName={san}\nextendedKeyUsage=serverAuth\n")
        openssl("x509", "-req", "-in", csr, "-CA", ca_pem, "-CAkey", ca_key, "-CAcreateserial",
                "-out", pem, "-days", "2", "-extfile", ext)


def server_context(folder, name):
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(f"{folder}/{name}.pem", f"{folder}/{name}.key")
    return context


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and auth_data.login == USER and auth_data.password == PASSWORD
    return AuthResult(success=ok, handled=False, auth_data=auth_data.login if ok else None)


class Handler:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0
        self.connections = 0

    def connection_number(self, session):
        if not hasattr(session, "vocerra_number"):
            self.connections += 1
            session.vocerra_number = self.connections
        return session.vocerra_number

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        local = address.split("@")[0]
        if local.startswith("refused"):
            return "550 5.1.1 No such mailbox here"
        if local.startswith("stall"):
            await asyncio.sleep(3600)
        if local.startswith("hangup"):
            server.transport.close()
            return "421 4.3.0 Going away"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        folder = f"{self.folder}/{self.count:04d}"
        temp = folder + ".part"
        os.makedirs(temp)
        message = email.message_from_bytes(envelope.original_content, policy=email.policy.default)
        files = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": "\n".join(envelope.rcpt_tos),
            "login": (session.auth_data or b"").decode(),
            "connection": str(self.connection_number(session)),
            "tls": "yes" if (server._tls_protocol or server.transport.get_extra_info("ssl_object")) else "no",
            "headers": "".join(f"{k}: {v}\n" for k, v in message.items()),
        }
        body = message.get_body(preferencelist=("plain",))
        files["body"] = body.get_content().replace("\r\n", "\n") if body is not None else ""
        for name, text in files.items():
            with open(f"{temp}/{name}", "w", encoding="utf-8") as f:
                f.write(text)
        with open(f"{temp}/raw", "wb") as f:
            f.write(envelope.original_content)
        for i, part in enumerate(message.iter_attachments()):
            with open(f"{temp}/attachment{i}", "wb") as f:
                f.write(part.get_content())
            with open(f"{temp}/attachment{i}.name", "w") as f:
                f.write(part.get_filename() or "")
            with open(f"{temp}/attachment{i}.type", "w") as f:
                f.write(part.get_content_type())
        os.rename(temp, folder)
        return "250 Message accepted"


class Silent(asyncio.Protocol):
    def connection_made(self, transport):
        self.transport = transport


class Closing(asyncio.Protocol):
    def connection_made(self, transport):
        transport.close()


async def listen(factory, context=None):
    server = await asyncio.get_running_loop().create_server(factory, "127.0.0.1", 0, ssl=context)
    return server, server.sockets[0].getsockname()[1]


async def main(folder):
    # Refused handshakes are what some tests are about: no tracebacks.
    asyncio.get_running_loop().set_exception_handler(lambda loop, context: None)
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    certs = f"{folder}/certs"
    make_certificates(certs)
    os.makedirs(f"{folder}/mail", exist_ok=True)
    handler = Handler(f"{folder}/mail")
    common = dict(authenticator=authenticator, auth_required=False, decode_data=False, timeout=60)
    own, other = server_context(certs, "server"), server_context(certs, "other")
    listeners = {
        "plain": (lambda: SMTP(handler, auth_require_tls=False, **common), None),
        # aiosmtpd cannot tell that this listener is TLS from the first byte.
        "tls": (lambda: SMTP(handler, auth_require_tls=False, **common), own),
        "starttls": (lambda: SMTP(handler, tls_context=own, require_starttls=True, **common), None),
        "wronghost": (lambda: SMTP(handler, auth_require_tls=False, **common), other),
        # Offers no login: AUTH only after STARTTLS, which it does not offer.
        "nologin": (lambda: SMTP(handler, **common), None),
        "silent": (Silent, None),
        "closing": (Closing, None),
    }
    ports, servers = {}, []
    for name, (factory, context) in listeners.items():
        server, ports[name] = await listen(factory, context)
        servers.append(server)
    print("READY " + " ".join(f"{k}={v}" for k, v in ports.items()), flush=True)
    # The test holds our standard input; when it goes, so do we.
    await asyncio.get_running_loop().run_in_executor(None, sys.stdin.read)


if __name__ == "__main__":
    asyncio.run(main(sys.argv[1]))
