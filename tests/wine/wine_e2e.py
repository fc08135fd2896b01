#!/usr/bin/env python3
"""End-to-end installs of the real kestrune.exe under Wine.

Each scenario packs real files with `kestrune-pack build`, runs the installer
in a copy of one prepared Wine prefix on a private Xvfb display, answers its
message boxes with xdotool and then checks what a user would see and what
the installer left behind: the message boxes (taken from Wine's relay trace
of MessageBoxA), whether the progress dialog opened, the files in the
prefix's Windows directory byte for byte, the [boot] SCRNSAVE.EXE entry of
its system.ini, the ScreenSaveActive setting and the exit code.

    wine_e2e.py --build-dir B [--windows-version V] template
                                                prepare the prefix template
    wine_e2e.py --build-dir B run NAME...       run scenarios (all if none)
    wine_e2e.py --build-dir B list              list scenario names
    wine_e2e.py --build-dir B screenshot OUT    picture of the progress dialog
    wine_e2e.py --build-dir B install [--pack TOOL] -- ARGS
                                                pack (kestrune-pack build ARGS), install,
                                                print what happened

With --windows-version (win95, win98 or winxp) Wine imitates that version
of Windows: its prefixes are set to it and the runs work in
B/wine-e2e-VERSION; without, Wine's default version and B/wine-e2e.

B is the host build directory (it holds tools/kestrune-pack and the
windows-<arch> cross builds, with their kestrune-pack.exe, which the
windows_tool scenario runs under Wine). Standard library only.
"""
import argparse
import contextlib
import os
import re
import shutil
import subprocess
import sys
import threading
import time

from harness import (EXIT_MEANING, EXIT_SKIPPED, IDNO, IDOK, IDYES, MB_YESNO, WINDOWS_VERSIONS, Failure, Platform,
                     Skipped, copy_prefix, make_template, noise_file, read_file, run_installer, screen_saver_active,
                     system_ini_entry, tail)
from relay import PBM_SETPOS, PBM_SETRANGE, parse_relay, progress_messages
from package_image import ImageError
from scenarios import SCENARIOS, inputs, pack, release_system_ini

def prepare(platform, scenario, work, prefix):
    """Packs (and changes) the scenario's installer in work, with a fresh
    copy of the prefix; returns the input files and the command to run."""
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
    command = scenario.command or installer
    if scenario.command and not isinstance(scenario.command, list):
        # A path of its own: the installer is moved there and started by it.
        command = os.path.join(work, scenario.command)
        os.makedirs(os.path.dirname(command), exist_ok=True)
        os.replace(installer, command)
    return files, command


def check_messages(scenario, code, boxes, dialogs, problems):
    if code != scenario.code:
        problems.append("exit code %d (%s), expected %d (%s)" %
                        (code, EXIT_MEANING.get(code, "unknown"), scenario.code, EXIT_MEANING[scenario.code]))
    expected = [(text, "Kestrune", style, answer) for text, style, answer in scenario.messages]
    if list(boxes) != expected:
        problems.append("message boxes %r, expected %r" % (boxes, expected))
    if (dialogs > 0) != scenario.dialog:
        problems.append("progress dialog opened %d times, expected %s" %
                        (dialogs, "one" if scenario.dialog else "none"))


def check_progress_bar(scenario, files, relay, problems):
    """The bar's range is the configured sizes in KiB, and after the last
    file it stands at its end."""
    if not (scenario.dialog and scenario.installed):
        return
    total = sum(len(read_file(files[key])) for key in set(scenario.installed.values()))
    bar = progress_messages(relay)
    ranges = [lparam >> 16 for message, _, lparam in bar if message == PBM_SETRANGE]
    positions = [wparam for message, wparam, _ in bar if message == PBM_SETPOS]
    if ranges != [total // 1024 & 0xFFFF] or not positions or positions[-1] != ranges[0]:
        problems.append("progress bar range %s, positions ending %s; expected 0..%d ending at %d" %
                        (ranges, positions[-3:], total // 1024, total // 1024))


def check_files(scenario, files, windows, before, problems):
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


def check_registration(scenario, prefix, problems):
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
        problems.append("ScreenSaveActive=%s, expected %s" % (active, "1" if wanted is not None else "0"))
    return entry


def run_scenario(platform, scenario):
    started = time.time()
    work = os.path.join(platform.work, scenario.name)
    prefix = os.path.join(work, "prefix")
    release_system_ini(prefix)
    shutil.rmtree(work, ignore_errors=True)
    files, command = prepare(platform, scenario, work, prefix)
    windows = os.path.join(prefix, "drive_c", "windows")
    before = set(os.listdir(windows))
    try:
        with (scenario.prefix_state or contextlib.nullcontext)(prefix):
            code, relay = run_installer(platform, prefix, command, scenario.answers, os.path.join(work, "relay.log"))
    except Skipped:
        shutil.rmtree(prefix, ignore_errors=True)
        raise
    boxes, dialogs = parse_relay(relay)
    problems = []
    check_messages(scenario, code, boxes, dialogs, problems)
    check_progress_bar(scenario, files, relay, problems)
    check_files(scenario, files, windows, before, problems)
    entry = check_registration(scenario, prefix, problems)
    seconds = time.time() - started
    if problems:
        print("FAIL %s (%s) in %.1f s" % (scenario.name, scenario.about, seconds))
        for p in problems:
            print("  - " + p)
        print("  relay log: %s\n%s" % (os.path.join(work, "relay.log"), tail(os.path.join(work, "relay.log"), 15)))
        return False
    print("ok   %s (%s) in %.1f s: exit code %d, %d message(s)%s, SCRNSAVE.EXE=%s" %
          (scenario.name, scenario.about, seconds, code, len(boxes), ", dialog" if dialogs else "", entry))
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


def screenshot(platform, output, pack_args=()):
    """Installs a package large enough for the progress dialog to stay up
    and takes a picture of the display while it shows; pack_args go to the
    build as well ({icon} is the tests' picture icon)."""
    work = os.path.join(platform.work, "screenshot")
    shutil.rmtree(work, ignore_errors=True)
    files = inputs(platform, os.path.join(work, "input"))
    big = noise_file(os.path.join(work, "input", "big.dat"), 8 * 1024 * 1024, 3)
    files["main"] = big
    installer = os.path.join(work, "setup.exe")
    pack(platform, files, ["--dialog", "Installing Kestrune Demo..."] + list(pack_args), installer)
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
    parser.add_argument("--windows-version", choices=WINDOWS_VERSIONS,
                        help="the Windows version Wine imitates (default: Wine's own)")
    sub = parser.add_subparsers(dest="command", required=True)
    sub.add_parser("template")
    run = sub.add_parser("run")
    run.add_argument("names", nargs="*")
    sub.add_parser("list")
    shot = sub.add_parser("screenshot")
    shot.add_argument("output")
    shot.add_argument("pack_args", nargs=argparse.REMAINDER, help="-- and more kestrune-pack build arguments")
    inst = sub.add_parser("install", description="install ARGS: kestrune-pack build "
                          "arguments without --stub and -o")
    inst.add_argument("--answer", action="append", default=[],
                      help="key for the next message box (default Return)")
    inst.add_argument("--pack", help="the kestrune-pack to pack with (default: the build's)")
    inst.add_argument("pack_args", nargs=argparse.REMAINDER)
    args = parser.parse_args()

    platform = Platform(args.build_dir, args.windows_version)
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
            screenshot(platform, args.output, [a for a in args.pack_args if a != "--"])
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

