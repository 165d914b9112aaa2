#!/usr/bin/env python3
"""Checks a release folder against its SBOM: each artifact has the SHA-256 the SBOM names, and
holds the notice (the `copyright` line) of each component the SBOM lists inside it: a package's
copyright file, the ZIP's texts and the page inside it, the page's licences section, the source's
LICENSE. Usage: tests/release_notices.py DIST"""
import glob
import hashlib
import html
import io
import json
import subprocess
import sys
import tarfile
import zipfile


def texts_of_tar(data, wanted):
    with tarfile.open(fileobj=io.BytesIO(data)) as archive:
        return ''.join(archive.extractfile(member).read().decode() for member in archive if wanted(member.name))


def notices(path):
    """The text in which an artifact's notices are to be found."""
    data = open(path, 'rb').read()
    if path.endswith('.deb'):
        tar = subprocess.run(['dpkg-deb', '--fsys-tarfile', path], check=True, capture_output=True).stdout
        return texts_of_tar(tar, lambda name: name.endswith('/copyright'))
    if path.endswith('.zip'):
        with zipfile.ZipFile(path) as archive:
            return ''.join(html.unescape(archive.read(name).decode()) for name in archive.namelist()
                           if name.endswith(('.txt', 'LICENSE', '.html')))
    if path.endswith('.tar.gz'):
        return texts_of_tar(data, lambda name: name.endswith('/LICENSE'))
    return html.unescape(data.decode())


def missing(components, text, where):
    for found in components:
        if found.get('copyright') and found['copyright'] not in text:
            yield f'{where}: no notice of {found["name"]} ({found["copyright"]})'
        yield from missing(found.get('components', []), text, where)


def main(dist):
    [sbom] = glob.glob(f'{dist}/*.cdx.json')
    faults = []
    for artifact in json.load(open(sbom))['components']:
        path = f'{dist}/{artifact["name"]}'
        if hashlib.sha256(open(path, 'rb').read()).hexdigest() != artifact['hashes'][0]['content']:
            faults.append(f'{artifact["name"]}: its SHA-256 is not the SBOM\'s')
        faults.extend(missing(artifact['components'], notices(path), artifact['name']))
    print('\n'.join(faults) or f'every artifact holds the notices that {sbom} lists for it')
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1]))
