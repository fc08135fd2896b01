"""Reading what a program did from Wine's relay trace: its message boxes
(text, caption, style, answer), its dialogs, and the progress bar messages
it sent. Standard library only.
"""
import re


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
            args.append("".join(chars))
        else:
            args.append(value)
        if text.startswith(",", i):
            i += 1
    return args
