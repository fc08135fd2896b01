#!/usr/bin/env python3
"""Holds the tree to its size rules: no function over 80 lines and no file
over 400 lines, in the product, the tests, the benchmark and the Wine
harness alike. C++ functions are found by Universal Ctags (Debian's
universal-ctags), Python ones by Python's own parser. Files the build
generates or that hold tables only (the code pages) are left out.

    scripts/check_sizes.py [--list N]   exit 1 naming each breach; --list N
                                        prints the N longest functions too
"""
import ast
import os
import subprocess
import sys

MAX_FUNCTION, MAX_FILE = 80, 400
TABLES = {"package/codepage_tables.cpp"}


def tracked(*patterns):
    out = subprocess.run(["git", "ls-files"] + list(patterns), stdout=subprocess.PIPE, check=True, text=True).stdout
    return [p for p in out.split() if p not in TABLES and os.path.exists(p)]


def cpp_functions(paths):
    out = subprocess.run(["ctags", "-x", "--_xformat=%N %F %n %e", "--kinds-c++=f", "--fields=+ne"] + paths,
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True, text=True).stdout
    for line in out.splitlines():
        name, path, start, end = line.rsplit(" ", 3) if line.count(" ") >= 3 else (line, "", "0", "0")
        if end.isdigit() and start.isdigit():
            yield int(end) - int(start) + 1, path, int(start), name


def python_functions(paths):
    for path in paths:
        for node in ast.walk(ast.parse(open(path).read(), path)):
            if isinstance(node, (ast.FunctionDef, ast.AsyncFunctionDef)):
                yield node.end_lineno - node.lineno + 1, path, node.lineno, node.name


def main(argv):
    listed = int(argv[2]) if len(argv) == 3 and argv[1] == "--list" else 0
    sources = tracked("*.cpp", "*.h", "*.c")
    scripts = tracked("*.py")
    functions = sorted(list(cpp_functions(sources)) + list(python_functions(scripts)), reverse=True)
    breaches = ["%s:%d: %s is %d lines (at most %d)" % (p, at, n, length, MAX_FUNCTION)
                for length, p, at, n in functions if length > MAX_FUNCTION]
    for path in sources + scripts + tracked("*.js", "*.html", "*.sh"):
        lines = sum(1 for _ in open(path, errors="replace"))
        if lines > MAX_FILE:
            breaches.append("%s is %d lines (at most %d)" % (path, lines, MAX_FILE))
    for length, path, at, name in functions[:listed]:
        print("%4d  %s:%d %s" % (length, path, at, name))
    for breach in breaches:
        print("check_sizes: " + breach)
    print("check_sizes: %d functions in %d files; %d over the limits" %
          (len(functions), len(sources) + len(scripts), len(breaches)))
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
