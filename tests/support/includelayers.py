#!/usr/bin/env python3
"""Fails when a source folder includes a folder beside or above it.

The layers, lowest first: common; db and webservice; the subsystems on them (workbench, import,
viewers, charts, publish); the commands; then the widgets: common/ui, the subsystems' ui/ folders,
and app on top. A folder's own files may include each other.
"""
import os
import re
import sys

RANK = {
    'common': 0, 'db': 1, 'webservice': 1,
    'workbench': 2, 'import': 2, 'viewers': 2, 'charts': 2, 'publish': 2,
    'commands': 3,
    'common/ui': 4,
    'workbench/ui': 5, 'import/ui': 5, 'viewers/ui': 5, 'charts/ui': 5,
    'app': 6,
}


def layer(path):
    parts = path.split('/')
    return parts[0] + '/ui' if len(parts) > 2 and parts[1] == 'ui' else parts[0]


def main(src):
    wrong = []
    for root, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith(('.h', '.cpp')):
                continue
            path = os.path.join(root, name)
            own = layer(os.path.relpath(path, src))
            if own not in RANK:
                wrong.append('%s: the folder %s has no place in the layers (tests/support/includelayers.py)' % (path, own))
                continue
            with open(path, encoding='utf-8') as text:
                for number, line in enumerate(text, 1):
                    m = re.match(r'\s*#\s*include\s+"([^"]+)"', line)
                    if not m or not os.path.isfile(os.path.join(src, m.group(1))):
                        continue
                    other = layer(m.group(1))
                    if other != own and RANK.get(other, 99) >= RANK[own]:
                        wrong.append('%s:%d: %s includes %s, which is beside or above it' % (path, number, own, m.group(1)))
    for line in wrong:
        print(line)
    print('%d include(s) across the layers' % len(wrong))
    return 1 if wrong else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1]))
