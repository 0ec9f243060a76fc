#!/usr/bin/env python3
"""scripts/count-layer-includes.py [ROOT] [--list]: counts the includes of a
project header that cross folders, and those of them that run up the layers.

A folder is the folder under runtime/ (the runtime root counting as init), or
platform, boot or console. An include in a .cpp, .h or .def file crosses
folders when the header's folder differs from the including file's, and runs
up when the header's layer is higher. The layers, from the bottom, are those
of the README's map. --list prints each include that runs up."""
import os
import re
import sys

LAYERS = [
    ['platform', 'codecs'], ['core'], ['memory'], ['gc'], ['text', 'tables', 'output'], ['actions'],
    ['datatypes'], ['eval', 'lexer'], ['parse', 'natives'], ['io', 'console'], ['init', 'boot'],
]
LAYER_OF = {folder: n for n, folders in enumerate(LAYERS) for folder in folders}
TOPS = ('runtime', 'platform', 'boot', 'console')
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def folder_of(path):
    parts = path.split('/')
    if parts[0] == 'runtime':
        return 'init' if len(parts) == 2 else parts[1]
    return parts[0]


def includes(root):
    """Each (including file, included header) of the project's headers."""
    for top in TOPS:
        for directory, _, files in os.walk(os.path.join(root, top)):
            for name in sorted(files):
                if not name.endswith(('.cpp', '.h', '.def')):
                    continue
                path = os.path.relpath(os.path.join(directory, name), root)
                with open(os.path.join(root, path), errors='replace') as source:
                    for line in source:
                        match = INCLUDE.match(line)
                        if match and match.group(1).split('/')[0] in TOPS:
                            yield path, match.group(1)


def main():
    arguments = [a for a in sys.argv[1:] if not a.startswith('--')]
    root = arguments[0] if arguments else os.path.join(os.path.dirname(__file__), '..')
    crossing = upward = 0
    for path, header in includes(root):
        source, target = folder_of(path), folder_of(header)
        if source == target:
            continue
        crossing += 1
        if LAYER_OF[target] > LAYER_OF[source]:
            upward += 1
            if '--list' in sys.argv:
                print(f'{path} -> {header}')
    print(f'{crossing} cross-folder includes, {upward} of them up the layers')


if __name__ == '__main__':
    main()
