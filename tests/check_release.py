#!/usr/bin/env python3
"""Checks a release folder, as a downstream packager or a legal review would:
- each artifact has the SHA-256 that the SBOM names;
- the SBOM lists, for the .exe and the page, exactly what their link maps in BUILD show;
- each artifact carries the notices of every component that the SBOM lists inside it: each
  copyright line and each licence's whole text, and the program's LICENSE (as a file of its own
  in the ZIP and the source; in a package's copyright file, its licence and copyright line);
- the ZIP's texts have Windows' line ends.
The same bytes in any environment (times, modes, the order of SHA256SUMS) are CI's to check: it
makes the release again in another time zone, locale and umask and compares the files.
Usage: tests/check_release.py DIST BUILD"""
import glob
import hashlib
import html
import io
import json
import os
import re
import subprocess
import sys
import tarfile
import zipfile

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')
sys.path.insert(0, os.path.join(TOP, 'scripts'))
import link_origins  # noqa: E402

LICENSE = open(os.path.join(TOP, 'LICENSE'), encoding='utf-8').read()


def plain(text):
    """Text as a reader sees it: HTML entities read, a copyright file's ' .' lines blank, every
    run of white space one blank."""
    text = re.sub(r'^ *\.$', '', html.unescape(text).replace('\r\n', '\n'), flags=re.M)
    return ' '.join(text.split())


def deb_members(path):
    for option in ('--ctrl-tarfile', '--fsys-tarfile'):
        tar = subprocess.run(['dpkg-deb', option, path], check=True, capture_output=True).stdout
        with tarfile.open(fileobj=io.BytesIO(tar)) as archive:
            yield from ((member, archive.extractfile(member).read() if member.isfile() else b'') for member in archive)


def zip_faults(path, name):
    with zipfile.ZipFile(path) as archive:
        for member in archive.namelist():
            if member.endswith('.txt') and re.search(rb'(?<!\r)\n', archive.read(member)):
                yield f'{name}: {member} has lines that do not end in CR LF'
        if not any(archive.read(member).replace(b'\r\n', b'\n').decode() == LICENSE
                   for member in archive.namelist() if member.endswith('/LICENSE')):
            yield f'{name}: no LICENSE file'


def tar_faults(path, name):
    with tarfile.open(path) as archive:
        if not any(archive.extractfile(member).read().decode() == LICENSE for member in archive if member.name.endswith('/LICENSE')):
            yield f'{name}: no LICENSE file'


def notices(path):
    """The text in which an artifact's notices are to be found."""
    if path.endswith('.deb'):
        return ''.join(data.decode() for member, data in deb_members(path) if member.name.endswith('/copyright'))
    if path.endswith('.zip'):
        with zipfile.ZipFile(path) as archive:
            return ''.join(archive.read(name).decode() for name in archive.namelist() if name.endswith(('.txt', 'LICENSE', '.html')))
    if path.endswith('.tar.gz'):
        with tarfile.open(path) as archive:
            return ''.join(archive.extractfile(member).read().decode() for member in archive if member.name.endswith('/LICENSE'))
    return open(path, encoding='utf-8').read()


def all_components(components):
    for found in components:
        yield found
        yield from all_components(found.get('components', []))


def notice_faults(artifact, text):
    text = plain(text)
    components = [found for found in all_components(artifact['components']) if found['type'] == 'library']
    packages = {found['purl'].split('/')[2].split('@')[0] for found in components if found['purl'].startswith('pkg:deb/')}
    for found in components:
        for line in found['copyright'].split('\n'):
            if plain(line) not in text:
                yield f'{artifact["name"]}: no copyright line of {found["name"]}: {line}'
        for licence in link_origins.licence_ids(found['licenses'][0]['expression']):
            if plain(link_origins.licence_text(licence, packages)) not in text:
                yield f'{artifact["name"]}: the licence {licence} of {found["name"]} is not there whole'


def linked_faults(artifact, build):
    """The SBOM's components of the .exe and the page against their link maps."""
    preset = 'windows' if artifact['name'].endswith('.zip') else 'web'
    map_text = open(os.path.join(build, preset, 'floating_point.map'), encoding='utf-8', errors='replace').read()
    wanted = sorted((entry['name'], entry['package'], entry['version']) for entry in link_origins.components(map_text))
    listed = sorted((found['name'], found['purl'].split('/')[2].split('@')[0], found['version'])
                    for found in artifact['components'] if found.get('purl', '').startswith('pkg:deb/'))
    if wanted != listed:
        yield f'{artifact["name"]}: the SBOM lists {listed}, the link map shows {wanted}'


def faults(dist, build):
    [sbom_file] = glob.glob(f'{dist}/*.cdx.json')
    sbom = json.load(open(sbom_file, encoding='utf-8'))
    for artifact in sbom['components']:
        name, path = artifact['name'], os.path.join(dist, artifact['name'])
        if hashlib.sha256(open(path, 'rb').read()).hexdigest() != artifact['hashes'][0]['content']:
            yield f'{name}: its SHA-256 is not the SBOM\'s'
        yield from notice_faults(artifact, notices(path))
        if name.endswith('.zip'):
            yield from zip_faults(path, name)
            yield from linked_faults(artifact, build)
        elif name.endswith('.tar.gz'):
            yield from tar_faults(path, name)
        elif name.endswith('.html'):
            yield from linked_faults(artifact, build)


def main(dist, build):
    found = list(faults(dist, build))
    print('\n'.join(found) or f'{dist}: SBOM, notices and line ends as a release wants them')
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main(*sys.argv[1:3]))
