"""The Wine harness of the end-to-end tests: which Wine runs the programs,
a private X display, the prepared prefix every run copies, running a program
to its end while message boxes are answered with xdotool, and reading what
it did from Wine's relay trace and the prefix (system.ini, the registry).

Standard library only. The scenarios are in scenarios.py, the command line
in wine_e2e.py.
"""
import os
import random
import re
import select
import shutil
import signal
import subprocess
import sys
import threading
import time

MB_OK, MB_YESNO = 0, 4
IDOK, IDYES, IDNO = 1, 6, 7

# The installer's exit codes.
EXIT_INSTALLED, EXIT_FAILED, EXIT_DECLINED = 0, 1, 2
EXIT_MEANING = {EXIT_INSTALLED: "installed", EXIT_FAILED: "failed or damaged",
                EXIT_DECLINED: "declined"}
# A scenario this machine cannot set up ends the run with this code, which
# CTest reports as skipped.
EXIT_SKIPPED = 77

RUN_TIMEOUT = 90          # one installer run, seconds
BOOT_TIMEOUT = 300        # creating the prefix template
TEMPLATE_MARK = "kestrune-template-ready"


class Failure(Exception):
    pass


class Skipped(Exception):
    """The scenario cannot be set up on this machine; it says why."""


# --------------------------------------------------------------------------
# Wine, Xvfb and the prefix template


# The Windows versions Wine can be set to imitate for the runs (the prefix's
# HKCU\Software\Wine "Version"), besides its own default.
WINDOWS_VERSIONS = ("win95", "win98", "winxp")


class Platform:
    """Which Wine runs the stub here, and the build outputs that go with it.
    With a windows_version (one of WINDOWS_VERSIONS), the runs work under a
    build_dir/wine-e2e-VERSION of their own, in prefixes set to it."""

    def __init__(self, build_dir, windows_version=None):
        if windows_version not in (None,) + WINDOWS_VERSIONS:
            raise Failure("unknown Windows version %r, expected one of %s" % (windows_version, WINDOWS_VERSIONS))
        self.windows_version = windows_version
        self.build_dir = os.path.abspath(build_dir)
        self.pack = os.path.join(self.build_dir, "tools", "kestrune-pack")
        self.arch = os.environ.get("KESTRUNE_WINE_ARCH") or self._pick_arch()
        self.windows_dir = os.path.join(self.build_dir, "windows-" + self.arch)
        self.stub = os.path.join(self.windows_dir, "stub", "kestrune.exe")
        self.windows_pack = os.path.join(self.windows_dir, "tools", "kestrune-pack.exe")
        # The payload saver is always the 32-bit product build when there is one.
        demo32 = os.path.join(self.build_dir, "windows-i686", "demo", "kestrune-demo.scr")
        self.demo = demo32 if os.path.exists(demo32) else os.path.join(
            self.windows_dir, "demo", "kestrune-demo.scr")
        if self.arch == "i686":
            self.loader, self.winearch = "/usr/lib/wine/wine", "win32"
        else:
            self.loader, self.winearch = "/usr/lib/wine/wine64", "win64"
        self.wineserver = "/usr/lib/wine/wineserver"
        self.work = os.path.join(self.build_dir, "wine-e2e" + ("-" + windows_version if windows_version else ""))
        self.template = os.path.join(self.work, "template-" + self.arch)

    def _pick_arch(self):
        # 32-bit Wine needs a kernel that runs 32-bit code; some virtual
        # machines do not. The 64-bit build of the same sources stands in.
        try:
            ok = subprocess.run(["/usr/lib/wine/wine", "--version"], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, timeout=20).returncode == 0
        except (OSError, subprocess.TimeoutExpired):
            ok = False
        return "i686" if ok else "x86_64"

    def check_tools(self):
        missing = [p for p in (self.pack, self.stub, self.demo, self.loader, self.wineserver)
                   if not os.path.exists(p)]
        missing += [t for t in ("Xvfb", "xdotool") if shutil.which(t) is None]
        if missing:
            raise Failure("missing: " + ", ".join(missing))

    def env(self, prefix, display, debug="-all"):
        env = dict(os.environ)
        env.update(WINEPREFIX=prefix, WINEARCH=self.winearch, WINEDEBUG=debug,
                   WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d",
                   DISPLAY=display, WINESERVER=self.wineserver)
        return env

    def wait_server(self, prefix, display):
        """Waits until the prefix's wineserver has exited: it writes the
        registry back to disk when it goes."""
        try:
            subprocess.run([self.wineserver, "-w"], env=self.env(prefix, display), timeout=60)
        except subprocess.TimeoutExpired:
            subprocess.run([self.wineserver, "-k"], env=self.env(prefix, display), timeout=30)


class Xvfb:
    """A private X display; the number comes from Xvfb itself, so parallel
    runs never race for one."""

    def __enter__(self):
        for attempt in range(3):
            try:
                return self._start()
            except Failure:
                if attempt == 2:
                    raise
                time.sleep(1)

    def _start(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp", "-br"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.time() + 30
        while not number.endswith(b"\n") and time.time() < deadline:
            ready, _, _ = select.select([read_end], [], [], 1)
            if ready:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
        os.close(read_end)
        if not number.strip():
            self.process.kill()
            raise Failure("Xvfb did not start")
        self.display = ":" + number.decode().strip()
        return self

    def __exit__(self, *exc):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()


TEMPLATE_REG = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Debug]
"RelayInclude"="user32.MessageBoxA;user32.DialogBoxParamA;user32.SendMessageA"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Control Panel\Desktop]
"ScreenSaveActive"="0"
"""


def template_reg(platform):
    """The registry settings of the template, with the Windows version when
    the platform has one."""
    if not platform.windows_version:
        return TEMPLATE_REG
    return TEMPLATE_REG + '\n[HKEY_CURRENT_USER\\Software\\Wine]\n"Version"="%s"\n' % platform.windows_version


def make_template(platform, force=False):
    """Creates the initialised prefix every scenario copies, once."""
    mark = os.path.join(platform.template, TEMPLATE_MARK)
    if os.path.exists(mark) and not force:
        return
    shutil.rmtree(platform.template, ignore_errors=True)
    os.makedirs(platform.work, exist_ok=True)
    started = time.time()
    with Xvfb() as x:
        env = platform.env(platform.template, x.display)
        for attempt in range(2):
            result = subprocess.run([platform.loader, "wineboot", "-i"], env=env,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.STDOUT, timeout=BOOT_TIMEOUT)
            platform.wait_server(platform.template, x.display)
            if os.path.isdir(os.path.join(platform.template, "drive_c", "windows")):
                break
            sys.stderr.write(result.stdout.decode(errors="replace")[-3000:])
            if attempt == 1:
                raise Failure("wineboot did not create the prefix")
        reg = os.path.join(platform.work, "template.reg")
        with open(reg, "w") as out:
            out.write(template_reg(platform).replace("\n", "\r\n"))
        user_reg = os.path.join(platform.template, "user.reg")
        for attempt in range(2):
            subprocess.run([platform.loader, "regedit", "/S", reg], env=env, timeout=120,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            platform.wait_server(platform.template, x.display)
            stored = read_file(user_reg).decode(errors="replace")
            if '"Managed"="N"' in stored and (not platform.windows_version or
                                              '"Version"="%s"' % platform.windows_version in stored):
                break
        else:
            raise Failure("the template's registry settings were not stored")
    with open(mark, "w") as out:
        out.write("%s %s %.1fs\n" % (platform.arch, platform.windows_version or "default", time.time() - started))
    print("prefix template (%s, %s) ready in %.1f s" %
          (platform.arch, platform.windows_version or "Wine's default version", time.time() - started))


def copy_prefix(platform, destination):
    shutil.rmtree(destination, ignore_errors=True)
    subprocess.run(["cp", "-a", platform.template, destination], check=True)


# --------------------------------------------------------------------------
# Running an installer


class Responder(threading.Thread):
    """Answers each window titled caption (a message box captioned "Kestrune"
    by default) with the next key of answers (Return once they run out),
    pressing again if the window is still up a few seconds later. With a
    delay, a window is left alone for that many seconds after it appears."""

    def __init__(self, display, answers, caption="^Kestrune$", delay=0.0, on_window=None):
        super().__init__(daemon=True)
        self.env = dict(os.environ, DISPLAY=display)
        self.display = display
        self.answers = list(answers)
        self.caption = caption
        self.delay = delay
        self.on_window = on_window
        self.seen = {}
        self.stop = threading.Event()
        self.pressed = []
        self.log = []

    def xdotool(self, *args):
        try:
            return subprocess.run(["xdotool"] + list(args), env=self.env, timeout=10,
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL
                                  ).stdout.decode().split()
        except subprocess.TimeoutExpired:
            return []

    def run(self):
        answered = {}  # window -> (key, time pressed)
        while not self.stop.is_set():
            for window in self.xdotool("search", "--onlyvisible", "--name", self.caption):
                now = time.time()
                first = self.seen.setdefault(window, now)
                if now - first < self.delay:
                    continue
                if self.on_window and len(self.seen) == 1 and window not in answered:
                    self.on_window(self.display)
                if window in answered:
                    key, when = answered[window]
                    if now - when < 3:
                        continue
                    self.log.append("box %s still up, pressing %s again" % (window, key))
                else:
                    key = self.answers.pop(0) if self.answers else "Return"
                    self.pressed.append(key)
                time.sleep(0.3)  # let the box take the focus it is given
                self.xdotool("windowfocus", window)
                self.xdotool("key", "--clearmodifiers", key)
                answered[window] = (key, time.time())
            self.stop.wait(0.2)


def run_installer(platform, prefix, installer, answers, log_path, on_dialog=None,
                  args=(), responder_options=None):
    """Runs the installer (or another program, with args) to its end.
    Returns (exit code, relay text)."""
    with Xvfb() as x:
        env = platform.env(prefix, x.display, debug="-all,+relay")
        responder = Responder(x.display, answers, **(responder_options or {}))
        responder.start()
        with open(log_path, "wb") as log:
            command = installer if isinstance(installer, list) else [installer]
            process = subprocess.Popen([platform.loader] + command + list(args), env=env,
                                       stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                                       cwd=os.path.dirname(log_path),
                                       start_new_session=True)
            deadline = time.time() + RUN_TIMEOUT
            dialog_seen = False
            while process.poll() is None and time.time() < deadline:
                if on_dialog and not dialog_seen and b"DialogBoxParamA" in read_file(log_path):
                    dialog_seen = True
                    on_dialog(x.display)
                time.sleep(0.1)
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
                responder.stop.set()
                subprocess.run([platform.wineserver, "-k"], env=env, timeout=30)
                raise Failure("installer still running after %d s; keys pressed %s; "
                              "relay log %s:\n%s" % (RUN_TIMEOUT, responder.pressed, log_path,
                                                     tail(log_path)))
        responder.stop.set()
        responder.join(15)
        platform.wait_server(prefix, x.display)
    for line in responder.log:
        print("  note: " + line)
    return process.returncode, read_file(log_path).decode("latin-1")


# --------------------------------------------------------------------------
# Files


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def tail(path, lines=40):
    return "\n".join(read_file(path).decode("latin-1").splitlines()[-lines:])


def text_file(path, size, seed):
    """Readable, compressible text of the given size."""
    rng = random.Random(seed)
    words = ("kestrel moon screen saver night sky drift star glide hover window "
             "install quiet light").split()
    out = []
    length = 0
    while length < size:
        line = " ".join(rng.choice(words) for _ in range(rng.randint(4, 12))) + "\r\n"
        out.append(line)
        length += len(line)
    data = "".join(out).encode()[:size]
    with open(path, "wb") as f:
        f.write(data)
    return path


def noise_file(path, size, seed):
    rng = random.Random(seed)
    with open(path, "wb") as f:
        f.write(bytes(rng.getrandbits(8) for _ in range(size)))
    return path


def system_ini_path(prefix):
    return os.path.join(prefix, "drive_c", "windows", "system.ini")


def windows_path(path):
    """The path as a Windows program under Wine sees it (drive Z: is /)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def system_ini_entry(prefix):
    path = system_ini_path(prefix)
    if not os.path.exists(path):
        return None
    section = None
    for line in read_file(path).decode("latin-1").splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1].lower()
        elif section == "boot" and "=" in line:
            key, value = line.split("=", 1)
            if key.strip().upper() == "SCRNSAVE.EXE":
                return value.strip()
    return None


def screen_saver_active(prefix):
    text = read_file(os.path.join(prefix, "user.reg")).decode("latin-1")
    block = re.search(r'^\[Control Panel\\\\Desktop\][^\n]*\n(.*?)(?=^\[|\Z)', text, re.M | re.S)
    if block:
        value = re.search(r'^"ScreenSaveActive"="([^"]*)"', block.group(1), re.M)
        if value:
            return value.group(1)
    return None


