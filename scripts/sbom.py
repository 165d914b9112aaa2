#!/usr/bin/env python3
"""Writes the release's SBOM (CycloneDX 1.5, JSON): for each artifact in DIST, its SHA-256 and
every component inside it, with its version and licence: the program, xterm.js (from the npm
lockfile), and what the linker took from Debian's packages into the .exe and the page, traced
from their link maps by scripts/link_origins.py (BUILD/windows and BUILD/web/third_party.json).
Each component's `copyright` holds its copyright lines, which its artifact's notices carry
(tests/check_release.py checks them).
Usage: scripts/sbom.py DIST VERSION BUILD > DIST/floating-point-VERSION.cdx.json"""
import datetime
import hashlib
import json
import os
import sys
import uuid

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')


def component(name, version, licence, copyright, purl):
    return {'type': 'library', 'name': name, 'version': version, 'purl': purl,
            'licenses': [{'expression': licence}], 'copyright': copyright}


def program(version):
    return component('floating_point', version, 'MIT', '2026 the floating_point authors',
                     f'pkg:generic/floating-point@{version}')


def linked(build, preset):
    return json.load(open(os.path.join(build, preset, 'third_party.json'), encoding='utf-8'))


def page_parts(version, build):
    lock = json.load(open(os.path.join(TOP, 'web/package-lock.json')))
    xterm = lock['packages']['node_modules/@xterm/xterm']['version']
    licence = open(os.path.join(build, 'web/web/npm/node_modules/@xterm/xterm/LICENSE'), encoding='utf-8')
    copyright = ''.join(line for line in licence if line.startswith('Copyright')).strip()
    return [program(version),
            component('@xterm/xterm', xterm, 'MIT', copyright, f'pkg:npm/%40xterm/xterm@{xterm}'),
            *linked(build, 'web')]


def windows_parts(version, build):
    return [program(version), *linked(build, 'windows')]


def artifact(dist, name, parts):
    digest = hashlib.sha256(open(os.path.join(dist, name), 'rb').read()).hexdigest()
    return {'type': 'file', 'name': name, 'hashes': [{'alg': 'SHA-256', 'content': digest}], 'components': parts}


def main(dist, version, build):
    page = f'floating_point-{version}.html'
    artifacts = [artifact(dist, f'floating-point_{version}_{arch}.deb', [program(version)]) for arch in ('amd64', 'arm64', 'armhf')]
    zipped_page = {'type': 'file', 'name': 'floating_point.html', 'components': page_parts(version, build)}
    artifacts.append(artifact(dist, f'floating-point-{version}-win64.zip', windows_parts(version, build) + [zipped_page]))
    artifacts.append(artifact(dist, page, page_parts(version, build)))
    artifacts.append(artifact(dist, f'floating-point-{version}.tar.gz', [program(version)]))
    epoch = int(os.environ.get('SOURCE_DATE_EPOCH', '0'))
    hashes = ' '.join(found['hashes'][0]['content'] for found in artifacts)
    bom = {
        'bomFormat': 'CycloneDX', 'specVersion': '1.5', 'version': 1,
        'serialNumber': f'urn:uuid:{uuid.uuid5(uuid.NAMESPACE_URL, f"floating-point {version} {hashes}")}',
        'metadata': {'timestamp': datetime.datetime.fromtimestamp(epoch, datetime.timezone.utc).strftime('%Y-%m-%dT%H:%M:%SZ'),
                     'component': {'type': 'application', 'name': 'floating-point', 'version': version,
                                   'licenses': [{'expression': 'MIT'}]}},
        'components': artifacts,
    }
    json.dump(bom, sys.stdout, indent=2, ensure_ascii=False)
    sys.stdout.write('\n')


if __name__ == '__main__':
    main(*sys.argv[1:4])
