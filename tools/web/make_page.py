#!/usr/bin/env python3
"""Puts kestrune-pack.html together: page.html with its style, the engine
script (Emscripten's glue, the WebAssembly module in base64 and worker.js)
and the page's own scripts written into it, so the page needs no other file.

  make_page.py --source tools/web --glue kestrune_web.js --wasm kestrune_web.wasm
               --version 1.0.0 -o kestrune-pack.html
"""
import argparse
import base64
import re
import sys

FORM_SCRIPTS = ["form.js", "form_check.js"]


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def inline_script(text, where):
    """text as the content of a script element, which ends at the first
    "</script" and changes its parsing at "<!--"."""
    for bad in ("</script", "<!--"):
        if re.search(re.escape(bad), text, re.IGNORECASE):
            sys.exit(f"make_page.py: {where} holds {bad!r}, which would end its script early")
    return text


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--glue", required=True)
    parser.add_argument("--wasm", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("-o", "--output", required=True)
    args = parser.parse_args()

    source = args.source.rstrip("/") + "/"
    with open(args.wasm, "rb") as f:
        wasm = base64.b64encode(f.read()).decode("ascii")
    engine = "\n".join([
        inline_script(read(args.glue), args.glue),
        f'const KESTRUNE_WASM = "{wasm}";',
        inline_script(read(source + "worker.js"), "worker.js"),
    ])
    form = "\n".join(inline_script(read(source + name), name) for name in FORM_SCRIPTS)
    parts = {
        "<!--style-->": "<style>\n" + read(source + "page.css") + "</style>",
        # Not run by the page itself: api.js starts it as the worker's script.
        "<!--engine-->": '<script type="text/plain" id="kestrune-engine">\n' + engine + "\n</script>",
        # The interface in an element of its own: another page takes it and
        # the engine as they are (docs/web-page.md).
        "<!--scripts-->": '<script id="kestrune-api">\n' + inline_script(read(source + "api.js"), "api.js") +
        "</script>\n<script>\n" + form + "</script>",
    }
    page = read(source + "page.html").replace("@VERSION@", args.version)
    for marker, text in parts.items():
        if page.count(marker) != 1:
            sys.exit(f"make_page.py: page.html should hold {marker} once")
        page = page.replace(marker, text)
    with open(args.output, "w", encoding="utf-8", newline="\n") as f:
        f.write(page)


if __name__ == "__main__":
    main()
