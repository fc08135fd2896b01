#!/usr/bin/env python3
"""Kestrune Packer (kestrune-packw.exe) under Wine, driven with xdotool.

Each scenario starts the window on a project in a copy of the prepared
prefix of wine_e2e.py, on a private Xvfb display, presses keys as a user
would, and checks what it wrote against the Linux kestrune-pack building
the same project, and the message boxes it showed (Wine's relay trace of
MessageBoxA).

    gui_e2e.py --build-dir B list              list scenario names
    gui_e2e.py --build-dir B run NAME...       run scenarios (all if none)
    gui_e2e.py --build-dir B screenshot OUT    picture of the window after a build

Standard library only.
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

from harness import (Failure, Platform, Xvfb, copy_prefix, make_template, noise_file, read_file,
                     tail, text_file, windows_path)
from icon_files import moon_icon
from relay import parse_relay

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MAIN_TITLE = r"^Kestrune Packer - %s$"
MB_OK, MB_ICONSTOP, MB_ICONINFORMATION, MB_YESNOCANCEL_QUESTION = 0, 0x10, 0x40, 0x23
IDOK, IDCANCEL = 1, 2
TIMEOUT = 90


class Hung(Failure):
    """Something expected did not come; a key lost on the virtual display
    can do that, so the scenario is tried once more."""


class Packer:
    """kestrune-packw.exe with args, in its own prefix and display, until
    the scenario ends; its relay log collects the message boxes."""

    def __init__(self, platform, work, args, prepare=None):
        self.platform, self.work, self.args, self.prepare = platform, work, args, prepare
        self.exe = os.path.join(platform.windows_dir, "tools", "kestrune-packw.exe")
        self.log = os.path.join(work, "relay.log")
        self.prefix = os.path.join(work, "prefix")

    def __enter__(self):
        copy_prefix(self.platform, self.prefix)
        if self.prepare:
            self.prepare(self.prefix)
        self.x = Xvfb().__enter__()
        self.env = self.platform.env(self.prefix, self.x.display, debug="-all,+relay")
        self.process = subprocess.Popen([self.platform.loader, self.exe] + self.args, env=self.env,
                                        stdin=subprocess.DEVNULL, stdout=open(self.log, "wb"),
                                        stderr=subprocess.STDOUT, cwd=self.work,
                                        start_new_session=True)
        return self

    def __exit__(self, *exc):
        if self.process.poll() is None:
            os.killpg(self.process.pid, 9)
            self.process.wait()
        subprocess.run([self.platform.wineserver, "-k"], env=self.env, timeout=30)
        self.x.__exit__(*exc)
        if exc[0] is None:
            shutil.rmtree(self.prefix, ignore_errors=True)

    def xdotool(self, *args):
        return subprocess.run(["xdotool"] + list(args), env=dict(os.environ, DISPLAY=self.x.display),
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=10).stdout.decode().split()

    def wait(self, predicate, what, timeout=TIMEOUT):
        deadline = time.time() + timeout
        while time.time() < deadline:
            value = predicate()
            if value:
                return value
            if self.process.poll() is not None:
                raise Failure("kestrune-packw ended (exit %d) while waiting for %s\n%s" %
                              (self.process.returncode, what, tail(self.log, 15)))
            time.sleep(0.2)
        raise Hung("no %s after %d s\n%s" % (what, timeout, tail(self.log, 15)))

    def window(self, title):
        found = self.wait(lambda: self.xdotool("search", "--onlyvisible", "--name", title),
                          "window titled %r" % title)
        return found[0]

    def keys(self, window, *keys):
        time.sleep(0.3)  # let the window take the focus it is given
        self.xdotool("windowfocus", window)
        for key in keys:
            self.xdotool("key", "--clearmodifiers", key)
            time.sleep(0.2)

    def type(self, window, text):
        self.xdotool("windowfocus", window)
        self.xdotool("type", "--delay", "30", text)

    def boxes(self):
        return parse_relay(read_file(self.log).decode("latin-1"))[0]

    def box_shown(self, count):
        """Waits for the count-th message box and returns its window."""
        self.wait(lambda: len(self.boxes()) >= count, "message box %d" % count)
        return self.window("^Kestrune Packer$")

    def exit_code(self):
        self.wait(lambda: self.process.poll() is not None or None, "the end", timeout=30)
        return self.process.returncode


# --------------------------------------------------------------------------
# Projects


def make_files(platform, work, big=0):
    """A folder with spaces holding the files in a subfolder."""
    folder = os.path.join(work, "My Project")
    files = os.path.join(folder, "files")
    os.makedirs(files)
    shutil.copyfile(platform.demo, os.path.join(files, "Kestrune Night Sky.scr"))
    text_file(os.path.join(files, "Read Me.txt"), 6000, 1)
    noise_file(os.path.join(files, "stars.dat"), 40000, 2)
    moon_icon(os.path.join(files, "moon.ico"))
    if big:
        # Text repeated beyond the codec's window compresses as slowly as new text.
        block = read_file(text_file(os.path.join(work, "block.txt"), 1 << 20, 3))
        with open(os.path.join(files, "big.txt"), "wb") as out:
            for _ in range(big):
                out.write(block)
    return folder


PROJECT = ('--main "files/Kestrune Night Sky.scr" --main-name "Night Sky.scr"\r\n'
           '--second "files/Read Me.txt"\r\n'
           '--extra files/stars.dat --extra-name STARS.DAT\r\n'
           '--main-parts 2\r\n'
           '--confirm "Install \\"Night Sky\\"?"\r\n'
           '--dialog "Installing Night Sky..."\r\n'
           '--icon files/moon.ico --product-name "Night Sky" --product-version 1.2\r\n'
           '--company "Kestrune Works" --copyright "(c) Kestrune Works"\r\n'
           '-o "Night Sky Setup.exe"\r\n')


def write(path, text):
    with open(path, "w", newline="") as out:
        out.write(text)
    return path


def partials(folder):
    return [n for n in os.listdir(folder) if ".partial-" in n or ".previous-" in n]


def built(folder, name):
    """The installer is in place and nothing temporary is left."""
    return os.path.exists(os.path.join(folder, name)) and not partials(folder)


def same_bytes(platform, folder, project, name):
    """The Linux kestrune-pack builds the project, from another folder and
    into another, under the same name (the version information holds it),
    to the bytes the window wrote."""
    console = os.path.join(os.path.dirname(folder), "console", name)
    os.makedirs(os.path.dirname(console), exist_ok=True)
    result = subprocess.run([platform.pack, "build", "@" + project, "-o", console], cwd="/",
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        raise Failure("kestrune-pack build @%s: exit %d\n%s" %
                      (project, result.returncode, result.stdout.decode(errors="replace")))
    made = read_file(os.path.join(folder, name))
    if made != read_file(console):
        raise Failure("the window's %s (%d bytes) differs from kestrune-pack build @%s"
                      % (name, len(made), os.path.basename(project)))
    return "the same %d bytes as kestrune-pack build @%s" % (len(made), os.path.basename(project))


# --------------------------------------------------------------------------
# Scenarios: each returns a line on what it saw, or raises Failure.


def open_and_build(platform, work):
    """A project given on the command line, F1 for the help, Enter builds,
    Esc closes."""
    folder = make_files(platform, work)
    project = write(os.path.join(folder, "night.args"), PROJECT)
    with Packer(platform, work, [windows_path(project)]) as packer:
        main = packer.window(MAIN_TITLE % "night.args")
        packer.keys(main, "F1")
        packer.keys(packer.box_shown(1), "Return")
        packer.keys(main, "Return")
        packer.wait(lambda: built(folder, "Night Sky Setup.exe"), "installer")
        packer.keys(main, "Escape")
        code = packer.exit_code()
        boxes = packer.boxes()
    if code != 0 or [box[0][:21] for box in boxes] != ["Kestrune Packer makes"] or boxes[0][2:] != (MB_ICONINFORMATION, IDOK):
        raise Failure("exit %d, message boxes %r; expected the help only" % (code, boxes))
    return "help, then " + same_bytes(platform, folder, project, "Night Sky Setup.exe")


def save_and_build(platform, work):
    """A field typed, Esc asks about the change (Cancel keeps the window),
    Save project writes it, Enter builds: the console tool builds the saved
    project to the same bytes."""
    folder = make_files(platform, work)
    project = write(os.path.join(folder, "night.args"), PROJECT)
    with Packer(platform, work, [windows_path(project)]) as packer:
        main = packer.window(MAIN_TITLE % "night.args")
        packer.keys(main, "alt+d")
        packer.type(main, "Saved by the window.")
        packer.keys(main, "Escape")
        packer.keys(packer.box_shown(1), "Escape")
        packer.keys(main, "alt+j")
        save = packer.window("^Save As$")
        packer.keys(save, "End", "shift+Home")
        packer.type(save, "saved.args")
        packer.keys(save, "Return")
        main = packer.window(MAIN_TITLE % "saved.args")
        packer.keys(main, "Return")
        packer.wait(lambda: built(folder, "Night Sky Setup.exe"), "installer")
        packer.keys(main, "Escape")
        code = packer.exit_code()
        boxes = packer.boxes()
    expected = [("Save the changes to night.args?", "Kestrune Packer", MB_YESNOCANCEL_QUESTION, IDCANCEL)]
    if code != 0 or boxes != expected:
        raise Failure("exit %d, message boxes %r, expected %r" % (code, boxes, expected))
    saved = read_file(os.path.join(folder, "saved.args")).decode("latin-1")
    for wanted in ('--done "Saved by the window."\r\n', '--main "files/Kestrune Night Sky.scr"',
                   '--icon files/moon.ico\r\n', '--copyright "(c) Kestrune Works"\r\n',
                   '--confirm "Install \\"Night Sky\\"?"\r\n'):
        if wanted not in saved or saved.replace("\r\n", "").count("\n"):
            raise Failure("saved.args lacks %r (or has bare line feeds):\n%s" % (wanted, saved))
    return same_bytes(platform, folder, os.path.join(folder, "saved.args"), "Night Sky Setup.exe")


def missing_file(platform, work):
    """A project naming a file that is not there: the console tool's
    message in a box, and nothing written."""
    folder = make_files(platform, work)
    text = PROJECT.replace('"files/Kestrune Night Sky.scr"', "missing.scr")
    project = write(os.path.join(folder, "missing.args"), text)
    console = []

    def ask_console(prefix):
        # What kestrune-pack.exe says about the same project, in this prefix.
        env = platform.env(prefix, "")
        console.append(subprocess.run([platform.loader, platform.windows_pack, "build",
                                       "@" + windows_path(project)], env=env,
                                      stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                      stderr=subprocess.PIPE, timeout=120))
        platform.wait_server(prefix, "")

    with Packer(platform, work, [windows_path(project)], prepare=ask_console) as packer:
        said = console[0].stderr.decode("latin-1").strip()
        main = packer.window(MAIN_TITLE % "missing.args")
        packer.keys(main, "Return")
        packer.keys(packer.box_shown(1), "Return")
        packer.keys(main, "Escape")
        code = packer.exit_code()
        boxes = packer.boxes()
    expected = [(said[len("kestrune-pack: "):], "Kestrune Packer", MB_OK | MB_ICONSTOP, IDOK)]
    if console[0].returncode != 1 or not said.startswith("kestrune-pack: ") or code != 0 or boxes != expected:
        raise Failure("exit %d, message boxes %r; kestrune-pack.exe exit %d: %r" %
                      (code, boxes, console[0].returncode, said))
    if os.path.exists(os.path.join(folder, "Night Sky Setup.exe")) or partials(folder):
        raise Failure("files written: %s" % sorted(os.listdir(folder)))
    return "message %r, nothing written" % boxes[0][0]


def cancel(platform, work):
    """Esc during a long build stops it: no installer, no temporary file,
    and the window stays until Esc again."""
    folder = make_files(platform, work, big=48)
    text = PROJECT.replace('"files/Kestrune Night Sky.scr"', "files/big.txt") + "--best\r\n"
    project = write(os.path.join(folder, "big.args"), text)
    with Packer(platform, work, [windows_path(project)]) as packer:
        main = packer.window(MAIN_TITLE % "big.args")
        packer.keys(main, "Return")
        packer.wait(lambda: partials(folder), "temporary installer file")
        time.sleep(1)
        packer.keys(main, "Escape")
        packer.wait(lambda: not partials(folder), "temporary file removed", timeout=30)
        time.sleep(1)
        running = packer.process.poll() is None
        packer.keys(main, "Escape")
        code = packer.exit_code()
        boxes = packer.boxes()
    made = os.path.exists(os.path.join(folder, "Night Sky Setup.exe"))
    if made or not running or code != 0 or boxes:
        raise Failure("after the cancel: installer %s, window %s, exit %d, message boxes %r" %
                      (made, "open" if running else "gone", code, boxes))
    return "cancelled; nothing written"


SCENARIOS = {
    "gui_open_build": open_and_build,
    "gui_save_build": save_and_build,
    "gui_missing_file": missing_file,
    "gui_cancel": cancel,
}


def screenshot(platform, output):
    """The window after building the demo from C:\\Savers, for the
    documentation."""
    work = os.path.join(platform.work, "gui_screenshot")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

    def demo_project(prefix):
        folder = os.path.join(prefix, "drive_c", "Savers")
        os.makedirs(folder)
        shutil.copyfile(platform.demo, os.path.join(folder, "kestrune-demo.scr"))
        shutil.copyfile(os.path.join(SOURCE_DIR, "demo", "README.TXT"), os.path.join(folder, "README.TXT"))
        moon_icon(os.path.join(folder, "moon.ico"))
        write(os.path.join(folder, "demo.args"),
              "--main kestrune-demo.scr --main-name KDEMO.SCR\r\n--second README.TXT\r\n"
              '--dialog "Installing Kestrune Demo..."\r\n--icon moon.ico\r\n'
              '--product-name "Kestrune Demo" --product-version 1.0\r\n--company "Kestrune"\r\n'
              '-o KestruneDemoSetup.exe\r\n')
        built_here.append(folder)

    built_here = []
    with Packer(platform, work, ["C:\\Savers\\demo.args"], prepare=demo_project) as packer:
        main = packer.window(MAIN_TITLE % "demo.args")
        packer.keys(main, "Return")
        packer.wait(lambda: built(built_here[0], "KestruneDemoSetup.exe"), "installer")
        packer.keys(main, "alt+d")  # the focus on a field, as in use
        time.sleep(1.5)
        subprocess.run(["import", "-display", packer.x.display, "-window", main, output],
                       check=True, timeout=30)
    print("screenshot: %s" % output)


def run(platform, names):
    failed = 0
    for name in names:
        work = os.path.join(platform.work, name)
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        started = time.time()
        try:
            try:
                saw = SCENARIOS[name](platform, work)
            except Hung as hung:
                print("hung %s: %s\n  trying once more" % (name, hung))
                shutil.rmtree(work, ignore_errors=True)
                os.makedirs(work)
                saw = SCENARIOS[name](platform, work)
            print("ok   %s in %.1f s: %s" % (name, time.time() - started, saw))
            shutil.rmtree(work, ignore_errors=True)
        except Failure as failure:
            print("FAIL %s in %.1f s: %s" % (name, time.time() - started, failure))
            failed += 1
    return 1 if failed else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build-dir", required=True)
    sub = parser.add_subparsers(dest="command", required=True)
    sub.add_parser("list")
    run_parser = sub.add_parser("run")
    run_parser.add_argument("names", nargs="*")
    shot = sub.add_parser("screenshot")
    shot.add_argument("output")
    args = parser.parse_args()
    if args.command == "list":
        print("\n".join(SCENARIOS))
        return 0
    platform = Platform(args.build_dir)
    try:
        platform.check_tools()
        packer = os.path.join(platform.windows_dir, "tools", "kestrune-packw.exe")
        if not os.path.exists(packer):
            raise Failure("missing: " + packer)
        make_template(platform)
        if args.command == "screenshot":
            screenshot(platform, os.path.abspath(args.output))
            return 0
        unknown = set(args.names) - set(SCENARIOS)
        if unknown:
            raise Failure("unknown scenarios: %s" % sorted(unknown))
        return run(platform, args.names or list(SCENARIOS))
    except Failure as failure:
        print("error: %s" % failure)
        return 1


if __name__ == "__main__":
    sys.exit(main())
