"""The faults a call may meet: the mail server down or hanging, the disk
full, a prompt or the greeting missing or damaged. (Killing the program is
the call runner's, as it is timed by the call.)"""

import os
import shutil
import signal
import socket
import subprocess
import threading
import time


class SmtpServer:
    """A mail server on one port of 127.0.0.1 that can be up (aiosmtpd,
    counting what arrives), down (nothing listens) or hanging (connections
    are taken and never answered)."""

    def __init__(self):
        probe = socket.socket()
        probe.bind(('127.0.0.1', 0))
        self.port = probe.getsockname()[1]
        probe.close()
        self.mode = 'down'
        self.received = 0
        self._controller = None
        self._hang = None
        self._held = []

    def set(self, mode):
        if mode == self.mode:
            return
        self._stop()
        if mode == 'up':
            self._start_up()
        elif mode == 'hang':
            self._start_hang()
        self.mode = mode

    def _start_up(self):
        from aiosmtpd.controller import Controller

        server = self

        class Count:
            async def handle_DATA(self, _server, _session, _envelope):
                server.received += 1
                return '250 OK'

        for _ in range(50):
            try:
                self._controller = Controller(Count(), hostname='127.0.0.1', port=self.port)
                self._controller.start()
                return
            except (OSError, RuntimeError):
                self._controller = None
                time.sleep(0.1)
        raise RuntimeError('the mail server cannot listen on port %d' % self.port)

    def _start_hang(self):
        listener = socket.socket()
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(('127.0.0.1', self.port))
        listener.listen(8)
        listener.settimeout(0.2)
        stop = threading.Event()

        def hold():
            while not stop.is_set():
                try:
                    conn, _ = listener.accept()
                    self._held.append(conn)  # never a greeting
                except socket.timeout:
                    continue
                except OSError:
                    break
            listener.close()

        thread = threading.Thread(target=hold, daemon=True)
        thread.start()
        self._hang = (stop, thread)

    def _stop(self):
        if self._controller is not None:
            self._controller.stop()
            self._controller = None
        if self._hang is not None:
            self._hang[0].set()
            self._hang[1].join()
            self._hang = None
        for conn in self._held:
            conn.close()
        self._held = []


class Disk:
    """The program folder's file system. Where the machine lets us mount one,
    it is a small ext4 image of its own, filled to the brim for a disk-full
    fault; elsewhere a file-size limit on the running program stands in."""

    def __init__(self, folder, megabytes, work):
        self.folder = folder
        self.image = os.path.join(work, 'disk.img')
        self.mounted = False
        self.ballast = os.path.join(folder, 'ballast')
        os.makedirs(folder, exist_ok=True)
        if os.geteuid() == 0 and shutil.which('mkfs.ext4'):
            try:
                with open(self.image, 'wb') as f:
                    f.truncate(megabytes * 1024 * 1024)
                subprocess.run(['mkfs.ext4', '-q', '-F', '-m', '0', self.image], check=True,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                subprocess.run(['mount', '-o', 'loop', self.image, folder], check=True,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                self.mounted = True
            except (OSError, subprocess.CalledProcessError):
                self.mounted = False
        self.kind = 'small file system' if self.mounted else 'file-size limit'

    def fill(self, leave_bytes, pid):
        """Leaves about `leave_bytes` free (or, without our own file system,
        lets the program write no file beyond that size)."""
        if self.mounted:
            # Blocks freed by a delete come back only once the journal commits.
            os.sync()
            st = os.statvfs(self.folder)
            size = st.f_bavail * st.f_frsize - leave_bytes
            with open(self.ballast, 'wb') as f:
                # The file's own blocks of metadata take some of the room.
                while size > 0:
                    try:
                        os.posix_fallocate(f.fileno(), 0, size)
                        break
                    except OSError:
                        size -= 64 * 1024
            if leave_bytes == 0:
                self._top_off()
        else:
            subprocess.run(['prlimit', '--pid', str(pid), '--fsize=%d:%d' % (leave_bytes, leave_bytes)],
                           check=False)

    def _top_off(self):
        try:
            with open(self.ballast + '2', 'wb', buffering=0) as f:
                while True:
                    f.write(bytes(4096))
        except OSError:
            pass

    def free(self, pid):
        if self.mounted:
            for path in (self.ballast, self.ballast + '2'):
                try:
                    os.unlink(path)
                except FileNotFoundError:
                    pass
            os.sync()
        elif pid:
            subprocess.run(['prlimit', '--pid', str(pid), '--fsize=unlimited:unlimited'], check=False)

    def used_bytes(self):
        st = os.statvfs(self.folder)
        return (st.f_blocks - st.f_bfree) * st.f_frsize

    def close(self, keep=False):
        """Unmounts it; the image stays when kept (`mount -o loop` it to look)."""
        if self.mounted:
            subprocess.run(['umount', self.folder], check=False)
            self.mounted = False
        if not keep:
            try:
                os.unlink(self.image)
            except FileNotFoundError:
                pass

    @staticmethod
    def ignore_file_size_signal():
        # Over the limit a write then fails, as on a full disk, instead of
        # ending the process.
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)


class PromptDamage:
    """A prompt (the beep) or the main greeting in the program folder gone
    or overwritten with something that is no WAVE file, for one call."""

    TARGETS = {'beep': ('Prompt', 'Prp0000.Wav'), 'greeting': ('Greeting', 'GTMain.wav')}

    def __init__(self, home):
        self.home = home
        self.saved = {}

    def path(self, target):
        folder, name = self.TARGETS[target]
        return os.path.join(self.home, folder, name)

    def apply(self, target, how):
        path = self.path(target)
        if os.path.exists(path) and path not in self.saved:
            with open(path, 'rb') as f:
                self.saved[path] = f.read()
        if how == 'missing':
            try:
                os.unlink(path)
            except FileNotFoundError:
                pass
        else:
            with open(path, 'wb') as f:
                f.write(b'RIFF\x10\x00\x00\x00WAVEfmt \xff\xff\xff\x7fnot a wave file')

    def restore(self):
        for path, data in self.saved.items():
            with open(path + '.soak', 'wb') as f:
                f.write(data)
            os.replace(path + '.soak', path)
        self.saved = {}
