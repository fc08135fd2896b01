"""kestrune-pack.exe under Wine, for the scenarios that pack with it: it
writes the Linux tool's bytes from Windows paths, and it refuses what an
output must never replace, leaving nothing behind. Standard library only.
"""
import os
import shutil
import subprocess

from harness import Failure, read_file, windows_path


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
            # One name in two folders: the name goes into the version information.
            out = os.path.join(folder, tool, "Setup %s.exe" % kind)
            os.makedirs(os.path.dirname(out), exist_ok=True)
            if tool == "Windows":
                with open(out, "wb") as f:  # an old file that the new one replaces
                    f.write(b"an older installer")
            args = ["build"] + (["--stub", path(stub)] if stub else [])
            args += ["--main", path(main), "--second", path(second)]
            args += [a.format(**{k: path(v) for k, v in files.items()}) for a in extra_args] + ["-o", path(out)]
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
        leftovers = [n for d in ("Windows", "Linux") for n in os.listdir(os.path.join(folder, d))
                     if ".partial-" in n or ".previous-" in n]
        if leftovers:
            raise Failure("kestrune-pack.exe left %s" % leftovers)
        if stub:
            with open(output, "wb") as f:
                f.write(made["Windows"])
    platform.wait_server(prefix, "")


def pack_on_windows_refusing(platform, files, extra_args, output, prefix):
    """First what kestrune-pack.exe must refuse, leaving everything as it
    was and nothing behind: a folder, and a read-only file, as its output;
    and that /? asks for help. Then packs as pack_on_windows does."""
    folder = os.path.join(os.path.dirname(output), "Refusals")
    os.makedirs(os.path.join(folder, "Setup.exe"))  # a folder where the installer would go
    kept = os.path.join(folder, "Old Setup.exe")
    with open(kept, "wb") as f:
        f.write(b"an installer to keep")
    os.chmod(kept, 0o444)  # read-only, as Windows sees it
    env = platform.env(prefix, "")

    def run(args):
        result = subprocess.run([platform.loader, platform.windows_pack] + args, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
        return result.returncode, result.stdout.decode(errors="replace")

    base = ["build", "--main", windows_path(files["main"]), "--second", windows_path(files["second"]), "-o"]
    for target, text in (("Setup.exe", "is a directory"), ("Old Setup.exe", "is read-only")):
        code, said = run(base + [windows_path(os.path.join(folder, target))])
        if code != 2 or text not in said:
            raise Failure("kestrune-pack.exe -o %s: exit %d, expected 2 and '%s':\n%s" % (target, code, text, said))
    code, said = run(["/?"])
    if code != 0 or "Usage: kestrune-pack COMMAND" not in said:
        raise Failure("kestrune-pack.exe /?: exit %d\n%s" % (code, said))
    left = sorted(set(os.listdir(folder)) - {"Setup.exe", "Old Setup.exe"}) + os.listdir(os.path.join(folder, "Setup.exe"))
    if left or read_file(kept) != b"an installer to keep":
        raise Failure("kestrune-pack.exe left %s, or changed %s" % (left, kept))
    print("  kestrune-pack.exe refused a folder and a read-only file as output and left nothing; /? is --help")
    os.chmod(kept, 0o644)
    pack_on_windows(platform, files, extra_args, output, prefix)
