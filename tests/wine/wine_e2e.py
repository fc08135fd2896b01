#!/usr/bin/env python3
"""End-to-end installs of the real kestrune.exe under Wine.

Each scenario packs real files with `kestrune-pack build`, runs the installer
in a copy of one prepared Wine prefix on a private Xvfb display, answers its
message boxes with xdotool and then checks what a user would see and what
the installer left behind: the message boxes (taken from Wine's relay trace
of MessageBoxA), whether the progress dialog opened, the files in the
prefix's Windows directory byte for byte, the [boot] SCRNSAVE.EXE entry of
its system.ini, the ScreenSaveActive setting and the exit code.

    wine_e2e.py --build-dir B template          prepare the prefix template
    wine_e2e.py --build-dir B run NAME...       run scenarios (all if none)
    wine_e2e.py --build-dir B list              list scenario names
    wine_e2e.py --build-dir B screenshot OUT    picture of the progress dialog
    wine_e2e.py --build-dir B install [--pack TOOL] -- ARGS
                                                pack (kestrune-pack build ARGS), install,
                                                print what happened

B is the host build directory (it holds tools/kestrune-pack and the
windows-<arch> cross builds, with their kestrune-pack.exe, which the
windows_tool scenario runs under Wine). Standard library only.
"""
import argparse
import contextlib
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

from package_image import (OFFSET_DONE_TEXT, OFFSET_MAIN_FILE_NAME, OFFSET_MAIN_SIZE,
                           STREAM_FIRST_DATA, ImageError, get_record, payload_offset,
                           put_record, put_text, put_word, reseal, stream_starts, unseal, word)

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


class Platform:
    """Which Wine runs the stub here, and the build outputs that go with it."""

    def __init__(self, build_dir):
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
        self.work = os.path.join(self.build_dir, "wine-e2e")
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
            out.write(TEMPLATE_REG.replace("\n", "\r\n"))
        user_reg = os.path.join(platform.template, "user.reg")
        for attempt in range(2):
            subprocess.run([platform.loader, "regedit", "/S", reg], env=env, timeout=120,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
            platform.wait_server(platform.template, x.display)
            if '"Managed"="N"' in read_file(user_reg).decode(errors="replace"):
                break
        else:
            raise Failure("the template's registry settings were not stored")
    with open(mark, "w") as out:
        out.write("%s %.1fs\n" % (platform.arch, time.time() - started))
    print("prefix template (%s) ready in %.1f s" % (platform.arch, time.time() - started))


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


PBM_SETRANGE, PBM_SETPOS = 0x401, 0x402


def progress_messages(text):
    """The progress bar messages sent with SendMessageA, as (message, wParam,
    lParam), in order."""
    found = []
    for match in re.finditer(r"Call user32\.SendMessageA\([0-9a-fA-F]+,([0-9a-fA-F]+),"
                             r"([0-9a-fA-F]+),([0-9a-fA-F]+)\)", text):
        message, wparam, lparam = (int(v, 16) for v in match.groups())
        if message in (PBM_SETRANGE, PBM_SETPOS):
            found.append((message, wparam, lparam))
    return found


def parse_relay(text):
    """MessageBoxA calls as (text, caption, style, answer) and the number of
    DialogBoxParamA calls."""
    boxes = []
    dialogs = 0
    for line in text.splitlines():
        if "Call user32.MessageBoxA(" in line:
            args = parse_arguments(line[line.index("MessageBoxA(") + len("MessageBoxA("):])
            boxes.append([args[1], args[2], int(args[3], 16), None])
        elif "Ret  user32.MessageBoxA()" in line and boxes:
            boxes[-1][3] = int(re.search(r"retval=([0-9a-fA-F]+)", line).group(1), 16)
        elif "Call user32.DialogBoxParamA(" in line:
            dialogs += 1
    return [tuple(b) for b in boxes], dialogs


def parse_arguments(text):
    """Arguments of one relay line: numbers as hex text, string pointers as
    the string Wine printed after them."""
    args = []
    i = 0
    while i < len(text) and text[i] != ")":
        match = re.match(r"([0-9a-fA-F]+)", text[i:])
        value = match.group(1)
        i += len(value)
        if text.startswith(' "', i):
            i += 2
            chars = []
            while text[i] != '"':
                if text[i] == "\\":
                    escape = text[i + 1]
                    if escape == "x":
                        chars.append(chr(int(text[i + 2:i + 4], 16)))
                        i += 4
                        continue
                    chars.append({"n": "\n", "r": "\r", "t": "\t"}.get(escape, escape))
                    i += 2
                    continue
                chars.append(text[i])
                i += 1
            i += 1
            if text.startswith("...", i):  # Wine cuts long strings short
                i += 3
            args.append("".join(chars))
        else:
            args.append(value)
        if text.startswith(",", i):
            i += 1
    return args


# --------------------------------------------------------------------------
# Files


def read_file(path):
    with open(path, "rb") as f:
        return f.read()


def tail(path, lines=40):
    return "\n".join(read_file(path).decode("latin-1").splitlines()[-lines:])


# --------------------------------------------------------------------------
# Scenarios


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


class Scenario:
    def __init__(self, name, about, pack, *, code, answers=(), mutate=None, messages=(),
                 installed=None, absent=(), registered=None, dialog=False, command=None,
                 prefix_state=None, packer=None):
        self.name = name
        self.about = about
        self.pack = pack            # extra kestrune-pack arguments, or None: the bare stub
        self.code = code            # expected exit code, one of EXIT_MEANING
        self.answers = answers      # keys for the message boxes, in order
        self.mutate = mutate        # (image, kestrune-pack path) -> image, after packing
        self.messages = messages    # expected (text, style, answer)
        self.installed = installed  # Windows file name -> key of inputs (or None)
        self.absent = absent        # file names that must not exist
        self.registered = registered  # expected SCRNSAVE.EXE (str, regex, or None)
        self.dialog = dialog        # the progress dialog opens
        self.command = command      # Wine command line that starts the installer, or
                                    # a path under the work folder to start it from
        self.prefix_state = prefix_state  # prefix -> context manager held around the run
        self.packer = packer        # (platform, files, pack, installer, prefix) that
                                    # packs instead of pack()


def flip_byte_in_stream(index, delta=1000):
    """One bit of data byte delta of the payload's index-th stream flipped,
    the seal made to match."""
    def mutate(image, pack):
        start = stream_starts(pack, image, payload_offset(image))[index]
        image = bytearray(image)
        image[start + STREAM_FIRST_DATA + delta] ^= 0x20
        return reseal(image)
    return mutate


def cut(count, sealed_again):
    def mutate(image, pack):
        image = image[:-count]
        return reseal(image) if sealed_again else image
    return mutate


def change_done_text(image, pack):
    """One letter of the done text changed, the seal left as it was: only the
    record's CRC can notice (header_check does not cover the texts)."""
    at, record = get_record(image)
    record[OFFSET_DONE_TEXT] ^= 0x20
    return put_record(image, at, record)


def change_main_size(image, pack):
    at, record = get_record(image)
    put_word(record, OFFSET_MAIN_SIZE, word(record, OFFSET_MAIN_SIZE) + 1)
    return reseal(put_record(image, at, record))


def rename_main_unsealed(name):
    """The main file's name in the record replaced by name and the seal
    removed, as a packer without the file-name rule could write it."""
    def mutate(image, pack):
        at, record = get_record(image)
        put_text(record, OFFSET_MAIN_FILE_NAME, name)
        return unseal(put_record(image, at, record))
    return mutate


def system_ini_path(prefix):
    return os.path.join(prefix, "drive_c", "windows", "system.ini")


def chattr(flag, path):
    return subprocess.run(["chattr", flag, path], stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT)


def release_system_ini(prefix):
    """Makes system.ini writable again, in case a run that was killed left
    it immutable; without that its prefix could not be removed."""
    if os.path.exists(system_ini_path(prefix)) and shutil.which("chattr"):
        chattr("-i", system_ini_path(prefix))


@contextlib.contextmanager
def system_ini_immutable(prefix):
    """system.ini made immutable for the run, so no process can write it;
    always made writable again afterwards."""
    path = system_ini_path(prefix)
    if not os.path.exists(path):
        open(path, "wb").close()
    if shutil.which("chattr") is None:
        raise Skipped("chattr is not installed (e2fsprogs)")
    result = chattr("+i", path)
    if result.returncode != 0:
        raise Skipped("system.ini cannot be made immutable here (chattr +i needs a filesystem "
                      "that has the flag, and root): " +
                      result.stdout.decode(errors="replace").strip())
    try:
        yield
    finally:
        chattr("-i", path)


def sign(image, pack):
    """Signs the installer as a publisher would after building it: a
    throw-away self-signed certificate (openssl) and osslsigncode, which
    appends the Authenticode signature after the payload."""
    import tempfile
    with tempfile.TemporaryDirectory() as work:
        key, cert = os.path.join(work, "key.pem"), os.path.join(work, "cert.pem")
        unsigned, signed = os.path.join(work, "setup.exe"), os.path.join(work, "signed.exe")
        with open(unsigned, "wb") as f:
            f.write(image)
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=Kestrune test publisher", "-keyout", key, "-out", cert],
                       check=True, capture_output=True)
        subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "Kestrune Demo",
                        "-in", unsigned, "-out", signed], check=True, capture_output=True)
        signed_image = read_file(signed)
    # The signature lies after the sealed payload, outside the seal; the
    # payload itself is untouched (only the PE header's checksum and
    # certificate entry change).
    payload = payload_offset(image)
    if len(signed_image) <= len(image) or signed_image[payload:len(image)] != image[payload:]:
        raise Failure("osslsigncode did not just append a signature")
    return signed_image


def windows_path(path):
    """The path as a Windows program under Wine sees it (drive Z: is /)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def pack_on_windows(platform, files, extra_args, output, prefix):
    """Packs with kestrune-pack.exe under Wine, from Windows paths with
    spaces and long names, over an existing file, and checks that the Linux
    tool writes the same bytes from the same files: with the stub given, and
    with the stub both tools carry."""
    if not os.path.exists(platform.windows_pack):
        raise Failure("missing: " + platform.windows_pack)
    folder = os.path.join(os.path.dirname(output), "My Screen Savers")
    os.makedirs(folder)
    main = os.path.join(folder, "Kestrune Night Sky.scr")
    second = os.path.join(folder, "Read Me First.txt")
    shutil.copyfile(files["main"], main)
    shutil.copyfile(files["second"], second)
    env = platform.env(prefix, "")
    for kind, stub in (("stub given", platform.stub), ("built-in stub", None)):
        made = {}
        for tool, path in (("Windows", windows_path), ("Linux", os.path.abspath)):
            out = os.path.join(folder, "Setup %s %s.exe" % (kind, tool))
            if tool == "Windows":
                with open(out, "wb") as f:  # an old file that the new one replaces
                    f.write(b"an older installer")
            args = ["build"] + (["--stub", path(stub)] if stub else [])
            args += ["--main", path(main), "--second", path(second)] + extra_args + ["-o", path(out)]
            command = ([platform.loader, platform.windows_pack] if tool == "Windows"
                       else [platform.pack]) + args
            result = subprocess.run(command, env=env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
            if result.returncode != 0 or not os.path.exists(out):
                raise Failure("%s tool: exit %d\n%s" % (tool, result.returncode,
                                                         result.stdout.decode(errors="replace")))
            made[tool] = read_file(out)
        if made["Windows"] != made["Linux"]:
            raise Failure("kestrune-pack.exe and kestrune-pack differ (%s): %d and %d bytes"
                          % (kind, len(made["Windows"]), len(made["Linux"])))
        print("  kestrune-pack.exe (%s): the same %d bytes as kestrune-pack" %
              (kind, len(made["Windows"])))
        leftovers = [n for n in os.listdir(folder) if ".partial-" in n or ".previous-" in n]
        if leftovers:
            raise Failure("kestrune-pack.exe left %s" % leftovers)
        if stub:
            with open(output, "wb") as f:
                f.write(made["Windows"])
    platform.wait_server(prefix, "")


DONE = "Kestrune Demo is now your screen saver."
FAILED = "The screen saver could not be installed."
BAD = "This installer is damaged."
DEMO_PATH = "C:\\windows\\KDEMO.SCR"

SCENARIOS = [
    Scenario("compressed_dialog", "compressed, progress dialog, five streams",
             ["--extra", "{extra}", "--extra-name", "STARS.DAT", "--main-parts", "3",
              "--dialog", "Installing Kestrune Demo...", "--done", DONE],
             code=EXIT_INSTALLED, messages=[(DONE, MB_OK, IDOK)],
             installed={"KDEMO.SCR": "main", "README.TXT": "second", "STARS.DAT": "extra"},
             registered=DEMO_PATH, dialog=True),
    Scenario("best", "built with --best: the stronger parse's streams install byte for byte",
             ["--best", "--extra", "{extra}", "--extra-name", "STARS.DAT", "--main-parts", "2",
              "--dialog", "Installing Kestrune Demo...", "--done", DONE],
             code=EXIT_INSTALLED, messages=[(DONE, MB_OK, IDOK)],
             installed={"KDEMO.SCR": "main", "README.TXT": "second", "STARS.DAT": "extra"},
             registered=DEMO_PATH, dialog=True),
    Scenario("stored", "stored files with an extra file",
             ["--stored", "--extra", "{extra}", "--extra-name", "STARS.DAT", "--done", DONE,
              "--dialog", "never shown when stored"],
             code=EXIT_INSTALLED, messages=[(DONE, MB_OK, IDOK)],
             installed={"KDEMO.SCR": "main", "README.TXT": "second", "STARS.DAT": "extra"},
             registered=DEMO_PATH),
    Scenario("silent", "silent: only the question is asked, no dialog, no done message",
             ["--silent", "--confirm", "Install Kestrune Demo?", "--done", DONE,
              "--dialog", "not shown in silent mode"],
             code=EXIT_INSTALLED, answers=["y"],
             messages=[("Install Kestrune Demo?", MB_YESNO, IDYES)],
             installed={"KDEMO.SCR": "main", "README.TXT": "second"},
             registered=DEMO_PATH),
    Scenario("confirm_yes", "question answered Yes, then the done message",
             ["--confirm", "Install Kestrune Demo?", "--done", DONE],
             code=EXIT_INSTALLED, answers=["y", "Return"],
             messages=[("Install Kestrune Demo?", MB_YESNO, IDYES), (DONE, MB_OK, IDOK)],
             installed={"KDEMO.SCR": "main", "README.TXT": "second"},
             registered=DEMO_PATH),
    Scenario("confirm_no", "question answered No: nothing installed, nothing more shown",
             ["--confirm", "Install Kestrune Demo?", "--done", DONE, "--dialog", "Installing"],
             code=EXIT_DECLINED, answers=["n"],
             messages=[("Install Kestrune Demo?", MB_YESNO, IDNO)],
             absent=["KDEMO.SCR", "README.TXT"]),
    Scenario("damaged_stream", "a damaged block in the main file's second stream",
             ["--main-parts", "2", "--dialog", "Installing Kestrune Demo...", "--done", DONE],
             code=EXIT_FAILED, mutate=flip_byte_in_stream(1, delta=40),
             messages=[(FAILED, MB_OK, IDOK)], absent=["README.TXT"], dialog=True),
    Scenario("cut_installer", "the last 3000 bytes missing: the seal refuses it",
             ["--done", DONE],
             code=EXIT_FAILED, mutate=cut(3000, sealed_again=False),
             messages=[(BAD, MB_OK, IDOK)], absent=["KDEMO.SCR", "README.TXT"]),
    Scenario("cut_unsealed", "cut and sealed again: the decoder runs out of input",
             ["--done", DONE],
             code=EXIT_FAILED, mutate=cut(3000, sealed_again=True),
             messages=[(FAILED, MB_OK, IDOK)], absent=["README.TXT"]),
    Scenario("header_mismatch", "a record word changed: header check fails",
             ["--done", DONE, "--bad-header", "Kestrune: broken header."],
             code=EXIT_FAILED, mutate=change_main_size,
             messages=[("Kestrune: broken header.", MB_OK, IDOK)],
             absent=["KDEMO.SCR", "README.TXT"]),
    Scenario("damaged_record", "a text of the sealed record changed: the seal refuses it",
             ["--done", DONE],
             code=EXIT_FAILED, mutate=change_done_text,
             messages=[(BAD, MB_OK, IDOK)], absent=["KDEMO.SCR", "README.TXT"]),
    Scenario("device_name", "main name NUL.SCR in an unsealed record: refused, nothing written",
             ["--done", DONE],
             code=EXIT_FAILED, mutate=rename_main_unsealed("NUL.SCR"),
             messages=[(FAILED, MB_OK, IDOK)]),
    Scenario("system_ini_locked", "system.ini cannot be written: files written, install fails",
             ["--done", DONE],
             code=EXIT_FAILED, prefix_state=system_ini_immutable,
             messages=[(FAILED, MB_OK, IDOK)],
             installed={"KDEMO.SCR": "main", "README.TXT": "second"}),
    Scenario("signed", "signed with osslsigncode after sealing: still installs",
             ["--main-parts", "2", "--done", DONE],
             code=EXIT_INSTALLED, mutate=sign, messages=[(DONE, MB_OK, IDOK)],
             installed={"KDEMO.SCR": "main", "README.TXT": "second"},
             registered=DEMO_PATH),
    Scenario("short_name", "a long main name is registered by its 8.3 alternate",
             ["--main-name", "Kestrune Night Sky.scr", "--done", DONE],
             code=EXIT_INSTALLED, messages=[(DONE, MB_OK, IDOK)],
             installed={"Kestrune Night Sky.scr": "main", "README.TXT": "second"},
             registered=re.compile(r"^C:\\windows\\[A-Z0-9_~]{1,8}\.SCR$", re.I)),
    Scenario("path_with_spaces", "started from a quoted path with spaces",
             ["--done", DONE],
             code=EXIT_INSTALLED, command="My Downloads/Kestrune Demo Setup.exe",
             messages=[(DONE, MB_OK, IDOK)],
             installed={"KDEMO.SCR": "main", "README.TXT": "second"},
             registered=DEMO_PATH),
    Scenario("started_without_extension", "started as 'setup': found again as setup.exe",
             ["--done", DONE],
             code=EXIT_INSTALLED, command=["cmd", "/c", "setup"],
             messages=[(DONE, MB_OK, IDOK)],
             installed={"KDEMO.SCR": "main", "README.TXT": "second"},
             registered=DEMO_PATH),
    Scenario("windows_tool", "packed by kestrune-pack.exe from Windows paths, default texts",
             ["--dialog", "Installing Kestrune Night Sky..."], packer=pack_on_windows,
             code=EXIT_INSTALLED, messages=[("Kestrune Night Sky is now your screen saver.", MB_OK, IDOK)],
             installed={"Kestrune Night Sky.scr": "main", "Read Me First.txt": "second"},
             registered=re.compile(r"^C:\\windows\\[A-Z0-9_~]{1,8}\.SCR$", re.I), dialog=True),
    Scenario("unfilled_stub", "the bare stub: header check fails, nothing installed",
             None,
             code=EXIT_FAILED, messages=[("This installer holds no screen saver.", MB_OK, IDOK)],
             absent=["KDEMO.SCR", "README.TXT"]),
]


def inputs(platform, directory):
    os.makedirs(directory, exist_ok=True)
    return {
        "main": platform.demo,
        "second": text_file(os.path.join(directory, "README.TXT"), 6000, 1),
        "extra": noise_file(os.path.join(directory, "stars.dat"), 40000, 2),
    }


def pack(platform, files, extra_args, output):
    args = [platform.pack, "build", "--stub", platform.stub, "--main", files["main"],
            "--main-name", "KDEMO.SCR", "--second", files["second"], "--second-name",
            "README.TXT"]
    args += [a.format(**files) for a in extra_args] + ["-o", output]
    result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        raise Failure("kestrune-pack failed:\n" + result.stdout.decode(errors="replace"))


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


def run_scenario(platform, scenario):
    started = time.time()
    work = os.path.join(platform.work, scenario.name)
    prefix = os.path.join(work, "prefix")
    release_system_ini(prefix)
    shutil.rmtree(work, ignore_errors=True)
    files = inputs(platform, os.path.join(work, "input"))
    installer = os.path.join(work, "setup.exe")
    copy_prefix(platform, prefix)
    if scenario.pack is None:
        shutil.copyfile(platform.stub, installer)
    elif scenario.packer:
        scenario.packer(platform, files, scenario.pack, installer, prefix)
    else:
        pack(platform, files, scenario.pack, installer)
    if scenario.mutate:
        image = scenario.mutate(read_file(installer), platform.pack)
        with open(installer, "wb") as f:
            f.write(image)
    windows = os.path.join(prefix, "drive_c", "windows")
    before = set(os.listdir(windows))

    command = scenario.command or installer
    if scenario.command and not isinstance(scenario.command, list):
        # A path of its own: the installer is moved there and started by it.
        command = os.path.join(work, scenario.command)
        os.makedirs(os.path.dirname(command), exist_ok=True)
        os.replace(installer, command)
    try:
        with (scenario.prefix_state or contextlib.nullcontext)(prefix):
            code, relay = run_installer(platform, prefix, command,
                                        scenario.answers, os.path.join(work, "relay.log"))
    except Skipped:
        shutil.rmtree(prefix, ignore_errors=True)
        raise
    boxes, dialogs = parse_relay(relay)

    problems = []
    if code != scenario.code:
        problems.append("exit code %d (%s), expected %d (%s)" %
                        (code, EXIT_MEANING.get(code, "unknown"), scenario.code,
                         EXIT_MEANING[scenario.code]))
    shown = [(text, caption, style, answer) for text, caption, style, answer in boxes]
    expected = [(text, "Kestrune", style, answer) for text, style, answer in scenario.messages]
    if shown != expected:
        problems.append("message boxes %r, expected %r" % (shown, expected))
    if (dialogs > 0) != scenario.dialog:
        problems.append("progress dialog opened %d times, expected %s" %
                        (dialogs, "one" if scenario.dialog else "none"))
    if scenario.dialog and scenario.installed:
        # The bar's range is the configured sizes in KiB, and after the last
        # file it stands at its end.
        total = sum(len(read_file(files[key])) for key in set(scenario.installed.values()))
        bar = progress_messages(relay)
        ranges = [lparam >> 16 for message, _, lparam in bar if message == PBM_SETRANGE]
        positions = [wparam for message, wparam, _ in bar if message == PBM_SETPOS]
        if ranges != [total // 1024 & 0xFFFF] or not positions or positions[-1] != ranges[0]:
            problems.append("progress bar range %s, positions ending %s; expected 0..%d "
                            "ending at %d" % (ranges, positions[-3:], total // 1024,
                                              total // 1024))
    for name, key in (scenario.installed or {}).items():
        path = os.path.join(windows, name)
        if not os.path.exists(path):
            problems.append("%s was not installed" % name)
        elif read_file(path) != read_file(files[key]):
            problems.append("%s differs from its source %s" % (name, files[key]))
    for name in scenario.absent:
        if os.path.exists(os.path.join(windows, name)):
            problems.append("%s was installed, expected nothing" % name)
    if scenario.installed is None:
        new = set(os.listdir(windows)) - before
        written = sorted(n for n in new if not n.lower().endswith((".log", ".tmp")))
        if written and not scenario.absent:
            problems.append("unexpected files %s" % written)
    entry = system_ini_entry(prefix)
    wanted = scenario.registered
    if wanted is None and entry is not None:
        problems.append("system.ini SCRNSAVE.EXE=%s, expected no entry" % entry)
    elif isinstance(wanted, str) and entry != wanted:
        problems.append("system.ini SCRNSAVE.EXE=%s, expected %s" % (entry, wanted))
    elif hasattr(wanted, "match") and not (entry and wanted.match(entry)):
        problems.append("system.ini SCRNSAVE.EXE=%s, expected %s" % (entry, wanted.pattern))
    active = screen_saver_active(prefix)
    if active != ("1" if wanted is not None else "0"):
        problems.append("ScreenSaveActive=%s, expected %s" %
                        (active, "1" if wanted is not None else "0"))

    seconds = time.time() - started
    if problems:
        print("FAIL %s (%s) in %.1f s" % (scenario.name, scenario.about, seconds))
        for p in problems:
            print("  - " + p)
        print("  relay log: %s\n%s" % (os.path.join(work, "relay.log"),
                                       tail(os.path.join(work, "relay.log"), 15)))
        return False
    print("ok   %s (%s) in %.1f s: exit code %d, %d message(s)%s, SCRNSAVE.EXE=%s" %
          (scenario.name, scenario.about, seconds, code, len(boxes),
           ", dialog" if dialogs else "", entry))
    # Keep the prefix only when something failed; they are large.
    shutil.rmtree(prefix, ignore_errors=True)
    return True


def run_with_retry(platform, scenario):
    """Runs a scenario; a run that hangs (a key lost on the virtual display,
    say) is reported and tried once more. Wrong results are not retried."""
    try:
        return run_scenario(platform, scenario)
    except Failure as failure:
        print("hung %s: %s\n  trying once more" % (scenario.name, failure))
        return run_scenario(platform, scenario)


def run_demo_saver(platform, picture=None):
    """The demo screen saver itself: /c shows its note, /p with no window
    exits at once, /s runs full screen until a key is pressed."""
    started = time.time()
    work = os.path.join(platform.work, "demo_saver")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    saver = os.path.join(platform.windows_dir, "demo", "kestrune-demo.scr")
    prefix = os.path.join(work, "prefix")
    copy_prefix(platform, prefix)
    problems = []
    log = os.path.join(work, "relay.log")
    caption = "^Kestrune demo$"

    code, relay = run_installer(platform, prefix, saver, [], log, args=["/c"],
                                responder_options=dict(caption=caption))
    boxes, _ = parse_relay(relay)
    if code != 0 or len(boxes) != 1 or boxes[0][1] != "Kestrune demo":
        problems.append("/c: exit %d, message boxes %r" % (code, boxes))

    code, relay = run_installer(platform, prefix, saver, [], log, args=["/p", "0"])
    if code != 0 or parse_relay(relay)[0]:
        problems.append("/p 0: exit %d, message boxes %r" % (code, parse_relay(relay)[0]))

    def snapshot(display):
        if picture:
            subprocess.run(["import", "-display", display, "-window", "root", picture],
                           timeout=30, stderr=subprocess.DEVNULL)
    shown = time.time()
    code, relay = run_installer(platform, prefix, saver, ["Escape"], log, args=["/s"],
                                responder_options=dict(caption=caption, delay=3.0,
                                                       on_window=snapshot))
    if code != 0 or time.time() - shown < 3.0:
        problems.append("/s: exit %d after %.1f s, expected 0 after a key press" %
                        (code, time.time() - shown))
    if problems:
        print("FAIL demo_saver in %.1f s" % (time.time() - started))
        for p in problems:
            print("  - " + p)
        return False
    print("ok   demo_saver (/c note, /p without a window, /s until a key) in %.1f s" %
          (time.time() - started))
    shutil.rmtree(prefix, ignore_errors=True)
    return True


# --------------------------------------------------------------------------
# Screenshot and a plain install for the demo


def screenshot(platform, output):
    """Installs a package large enough for the progress dialog to stay up
    and takes a picture of the display while it shows."""
    work = os.path.join(platform.work, "screenshot")
    shutil.rmtree(work, ignore_errors=True)
    files = inputs(platform, os.path.join(work, "input"))
    big = noise_file(os.path.join(work, "input", "big.dat"), 8 * 1024 * 1024, 3)
    files["main"] = big
    installer = os.path.join(work, "setup.exe")
    pack(platform, files, ["--dialog", "Installing Kestrune Demo..."], installer)
    prefix = os.path.join(work, "prefix")
    copy_prefix(platform, prefix)
    shots = []

    def capture(display):
        # Pictures every quarter second while the installer runs; the
        # dialog is on screen for a few of them.
        def loop():
            while len(shots) < 40:
                path = os.path.join(work, "screen-%02d.png" % len(shots))
                if subprocess.run(["import", "-display", display, "-window", "root", path],
                                  timeout=30, stderr=subprocess.DEVNULL).returncode != 0:
                    return
                shots.append(path)
                time.sleep(0.25)
        threading.Thread(target=loop, daemon=True).start()

    run_installer(platform, prefix, installer, [], os.path.join(work, "relay.log"),
                  on_dialog=capture)
    time.sleep(0.5)
    # The fullest picture is the one that shows the painted dialog.
    best = max(shots, key=os.path.getsize, default=None)
    if best is None:
        raise Failure("no screenshot was taken")
    box = subprocess.run(["convert", best, "-format", "%@", "info:"], stdout=subprocess.PIPE,
                         timeout=30).stdout.decode()
    w, h, x, y = (int(v) for v in re.match(r"(\d+)x(\d+)\+(\d+)\+(\d+)", box).groups())
    print("dialog: %dx%d pixels at (%d, %d) on the 1024x768 desktop, %s" %
          (w, h, x, y, "centred" if (x, y) == ((1024 - w) // 2, (768 - h) // 2)
           else "NOT centred"))
    # Cut away the empty black desktop around the dialog, keep a margin.
    subprocess.run(["convert", best, "-trim", "-bordercolor", "black", "-border", "12",
                    "+repage", output], check=True, timeout=30)
    shutil.rmtree(prefix, ignore_errors=True)
    print("screenshot: %s" % output)


def install(platform, pack_args, answers):
    """Packs with the stub this machine can run (the tool's own where 32-bit
    code runs), installs the package in a fresh prefix and reports what
    happened, as a user would see it."""
    work = os.path.join(platform.work, "demo")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    installer = os.path.join(work, "setup.exe")
    stub = [] if platform.arch == "i686" else ["--stub", platform.stub]
    result = subprocess.run([platform.pack, "build"] + stub + pack_args + ["-o", installer],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        raise Failure("kestrune-pack failed:\n" + result.stdout.decode(errors="replace"))
    prefix = os.path.join(work, "prefix")
    copy_prefix(platform, prefix)
    windows = os.path.join(prefix, "drive_c", "windows")
    before = set(os.listdir(windows))
    code, relay = run_installer(platform, prefix, installer, answers,
                                os.path.join(work, "relay.log"))
    boxes, dialogs = parse_relay(relay)
    print("Installed %s under Wine (%s stub) into %s" %
          (os.path.basename(installer), platform.arch, prefix))
    print("  exit code:        %d (%s)" % (code, EXIT_MEANING.get(code, "unknown")))
    print("  progress dialog:  %s" % ("shown" if dialogs else "not shown"))
    for text, caption, style, answer in boxes:
        kind = "question" if style == MB_YESNO else "message"
        reply = {IDYES: "Yes", IDNO: "No", IDOK: "OK"}.get(answer, str(answer))
        print('  %-17s "%s" (caption "%s", answered %s)' % (kind + ":", text, caption, reply))
    if not boxes:
        print("  messages:         none")
    print("  files written to C:\\windows:")
    for name in sorted(set(os.listdir(windows)) - before):
        path = os.path.join(windows, name)
        if os.path.isfile(path):
            print("    %-24s %8d bytes" % (name, os.path.getsize(path)))
    print("  system.ini:       [boot] SCRNSAVE.EXE=%s" % system_ini_entry(prefix))
    print("  ScreenSaveActive: %s" % screen_saver_active(prefix))
    return 0 if code == 0 else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build-dir", required=True)
    sub = parser.add_subparsers(dest="command", required=True)
    sub.add_parser("template")
    run = sub.add_parser("run")
    run.add_argument("names", nargs="*")
    sub.add_parser("list")
    shot = sub.add_parser("screenshot")
    shot.add_argument("output")
    inst = sub.add_parser("install", description="install ARGS: kestrune-pack build "
                          "arguments without --stub and -o")
    inst.add_argument("--answer", action="append", default=[],
                      help="key for the next message box (default Return)")
    inst.add_argument("--pack", help="the kestrune-pack to pack with (default: the build's)")
    inst.add_argument("pack_args", nargs=argparse.REMAINDER)
    args = parser.parse_args()

    platform = Platform(args.build_dir)
    if getattr(args, "pack", None):
        platform.pack = args.pack
    if args.command == "list":
        for s in SCENARIOS:
            print(s.name)
        print("demo_saver")
        return 0
    try:
        platform.check_tools()
        if platform.arch != "i686":
            print("note: this machine cannot run 32-bit code; running the %s build of the "
                  "stub under 64-bit Wine" % platform.arch)
        make_template(platform, force=args.command == "template")
        if args.command == "template":
            return 0
        if args.command == "screenshot":
            screenshot(platform, args.output)
            return 0
        if args.command == "install":
            pack_args = args.pack_args[1:] if args.pack_args[:1] == ["--"] else args.pack_args
            return install(platform, pack_args, args.answer)
        names = args.names or [s.name for s in SCENARIOS] + ["demo_saver"]
        unknown = set(names) - {s.name for s in SCENARIOS} - {"demo_saver"}
        if unknown:
            raise Failure("unknown scenarios: %s" % sorted(unknown))
        results, skipped = [], 0
        for scenario in (s for s in SCENARIOS if s.name in names):
            try:
                results.append(run_with_retry(platform, scenario))
            except Skipped as why:
                print("SKIP %s: %s" % (scenario.name, why))
                skipped += 1
        if "demo_saver" in names:
            results.append(run_demo_saver(platform, os.environ.get("KESTRUNE_SAVER_PICTURE")))
        passed = sum(results)
        print("%d passed, %d failed, %d skipped" % (passed, len(results) - passed, skipped))
        if not all(results):
            return 1
        return EXIT_SKIPPED if skipped else 0
    except (Failure, ImageError) as failure:
        print("error: %s" % failure)
        return 1


if __name__ == "__main__":
    sys.exit(main())
