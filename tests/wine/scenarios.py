"""The end-to-end scenarios: how each installer is packed and changed, what
it must do under Wine (exit code, message boxes, progress dialog, files,
system.ini), as one table. The runner is wine_e2e.py; the Wine harness
harness.py.
"""
import contextlib
import os
import re
import shutil
import subprocess

from harness import (EXIT_DECLINED, EXIT_FAILED, EXIT_INSTALLED, IDNO, IDOK, IDYES, MB_OK, MB_YESNO, Failure,
                     Skipped, noise_file, read_file, system_ini_path, text_file)
from icon_files import moon_icon, test_icon
from windows_tool import pack_on_windows, pack_on_windows_refusing
from package_image import (OFFSET_DONE_TEXT, OFFSET_MAIN_FILE_NAME, OFFSET_MAIN_SIZE, OFFSET_SECOND_FILE_NAME,
                           STREAM_FIRST_DATA, get_record, payload_offset,
                           put_record, put_text, put_word, reseal, stream_starts, unseal, word)

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


def rename_unsealed(offset, name):
    """A file's name in the record replaced by name and the seal removed, as
    a packer without the file-name rule could write it."""
    def mutate(image, pack):
        at, record = get_record(image)
        put_text(record, offset, name)
        return unseal(put_record(image, at, record))
    return mutate


def sign_and_verify(image, pack):
    """Signed as sign() does, and still sound to kestrune-pack verify."""
    import tempfile
    signed = sign(image, pack)
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "signed.exe")
        with open(path, "wb") as f:
            f.write(signed)
        result = subprocess.run([pack, "verify", path], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        raise Failure("the signed installer does not verify:\n" + result.stdout.decode(errors="replace"))
    print("  " + result.stdout.decode(errors="replace").strip().replace(path, "signed installer"))
    return signed


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


DONE = "Kestrune Demo is now your screen saver."
FAILED = "The screen saver could not be installed."
BAD = "This installer is damaged."
DEMO_PATH = "C:\\windows\\KDEMO.SCR"
BRANDING = ["--icon", "{icon}", "--product-name", "Kestrune Demo", "--product-version", "1.2.3",
            "--company", "Kestrune", "--copyright", "\u00a9 2026 Kestrune"]
NIGHT_SKY = re.compile(r"^C:\\windows\\[A-Z0-9_~]{1,8}\.SCR$", re.I)

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
             code=EXIT_FAILED, mutate=rename_unsealed(OFFSET_MAIN_FILE_NAME, "NUL.SCR"),
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
             ["--dialog", "Installing Kestrune Night Sky..."], packer=pack_on_windows_refusing,
             code=EXIT_INSTALLED, messages=[("Kestrune Night Sky is now your screen saver.", MB_OK, IDOK)],
             installed={"Kestrune Night Sky.scr": "main", "Read Me First.txt": "second"},
             registered=re.compile(r"^C:\\windows\\[A-Z0-9_~]{1,8}\.SCR$", re.I), dialog=True),
    Scenario("branded", "with the author's icon and version information: installs byte for byte",
             BRANDING + ["--main-parts", "2", "--dialog", "Installing Kestrune Demo...", "--done", DONE],
             code=EXIT_INSTALLED, messages=[(DONE, MB_OK, IDOK)],
             installed={"KDEMO.SCR": "main", "README.TXT": "second"}, registered=DEMO_PATH, dialog=True),
    Scenario("windows_tool_branded", "branded by kestrune-pack.exe: the Linux tool's bytes",
             BRANDING, packer=pack_on_windows,
             code=EXIT_INSTALLED, messages=[("Kestrune Night Sky is now your screen saver.", MB_OK, IDOK)],
             installed={"Kestrune Night Sky.scr": "main", "Read Me First.txt": "second"}, registered=NIGHT_SKY),
    Scenario("signed_branded", "branded, then signed with osslsigncode: still verifies and installs",
             BRANDING + ["--done", DONE], mutate=sign_and_verify,
             code=EXIT_INSTALLED, messages=[(DONE, MB_OK, IDOK)],
             installed={"KDEMO.SCR": "main", "README.TXT": "second"}, registered=DEMO_PATH),
    Scenario("names_one_file", "the second file named as the main file, unsealed: refused as damaged",
             ["--done", DONE], code=EXIT_FAILED, mutate=rename_unsealed(OFFSET_SECOND_FILE_NAME, "kdemo.scr"),
             messages=[(BAD, MB_OK, IDOK)], absent=["KDEMO.SCR", "README.TXT"]),
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
        "icon": test_icon(os.path.join(directory, "kestrel.ico")),
        "moon": moon_icon(os.path.join(directory, "moon.ico")),
    }


def pack(platform, files, extra_args, output):
    args = [platform.pack, "build", "--stub", platform.stub, "--main", files["main"],
            "--main-name", "KDEMO.SCR", "--second", files["second"], "--second-name",
            "README.TXT"]
    args += [a.format(**files) for a in extra_args] + ["-o", output]
    result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        raise Failure("kestrune-pack failed:\n" + result.stdout.decode(errors="replace"))


