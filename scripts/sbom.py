#!/usr/bin/env python3
"""Writes the release's SBOM (CycloneDX 1.5, JSON): for each artifact in DIST, its SHA-256 and
every component inside it, with its version and licence: the program, xterm.js (from the npm
lockfile), and the C and C++ runtime pieces linked statically into the .exe and the page (from
the versions of Debian's packages that provide them). Each component's `copyright` is a line of
its notice, which the artifact carries (tests/release_notices.py checks it).
Usage: scripts/sbom.py DIST VERSION > DIST/floating-point-VERSION.cdx.json"""
import datetime
import hashlib
import json
import os
import subprocess
import sys
import uuid

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')


def debian_version(package):
    return subprocess.run(['dpkg-query', '-W', '-f=${Version}', package], check=True, capture_output=True,
                          text=True).stdout


def providing_package(path):
    """The Debian package that installed a file (the versioned one behind a metapackage)."""
    output = subprocess.run(['dpkg-query', '-S', os.path.realpath(path)], check=True, capture_output=True, text=True)
    return output.stdout.split(':')[0]


def component(name, version, licence, copyright, purl, parts=()):
    found = {'type': 'library', 'name': name, 'version': version, 'purl': purl,
             'licenses': [{'expression': licence}], 'copyright': copyright}
    if parts:
        found['components'] = list(parts)
    return found


def debian(name, package, licence, copyright, parts=()):
    version = debian_version(package)
    return component(name, version, licence, copyright, f'pkg:deb/debian/{package}@{version}?distro=debian-12', parts)


def program(version):
    return component('floating_point', version, 'MIT', '2026 the floating_point authors',
                     f'pkg:generic/floating-point@{version}')


def page_parts(version):
    lock = json.load(open(os.path.join(TOP, 'web/package-lock.json')))
    xterm = lock['packages']['node_modules/@xterm/xterm']['version']
    llvm = 'Apache-2.0 WITH LLVM-exception'
    llvm_copyright = 'Copyright (c) the LLVM Project contributors'
    return [
        program(version),
        component('@xterm/xterm', xterm, 'MIT', 'Copyright (c) 2017-2019, The xterm.js authors', f'pkg:npm/%40xterm/xterm@{xterm}'),
        debian('wasi-libc', 'wasi-libc', 'CC0-1.0 AND MIT AND BSD-2-Clause AND BSD-3-Clause AND ISC AND Apache-2.0 AND LicenseRef-SunPro',
               'Dan Gohman <sunfish@mozilla.com>', [
                   component('musl', 'in wasi-libc', 'MIT', 'Copyright: 2005-2019 Rich Felker <dalias@aerifal.cx>', 'pkg:generic/musl'),
                   component('cloudlibc', 'in wasi-libc', 'BSD-2-Clause', 'Copyright: 2015-2017 Nuxi (https://nuxi.nl/) and contributors',
                             'pkg:generic/cloudlibc'),
                   component('libpreopen', 'in wasi-libc', 'BSD-2-Clause', '2016-2018 Jonathan Anderson', 'pkg:generic/libpreopen')]),
        debian('libc++', providing_package('/usr/lib/wasm32-wasi/libc++.a'), llvm, llvm_copyright),
        debian('libc++abi', providing_package('/usr/lib/wasm32-wasi/libc++abi.a'), llvm, llvm_copyright),
        debian('compiler-rt builtins', 'libclang-rt-dev-wasm32', llvm, llvm_copyright),
    ]


def windows_parts(version):
    return [
        program(version),
        debian('MinGW-w64 runtime', 'mingw-w64-x86-64-dev', 'ZPL-2.1', 'Copyright (c) 2009-2016 the mingw-w64 project', [
            component('gdtoa', 'in the MinGW-w64 runtime', 'LicenseRef-Lucent-gdtoa', 'Copyright (C) 1997-2001 Lucent Technologies', 'pkg:generic/gdtoa')]),
        debian('winpthreads', 'mingw-w64-x86-64-dev', 'MIT AND BSD-3-Clause', 'Copyright (c) 2011-2016 mingw-w64 project', [
            component('pthread.h', 'in winpthreads', 'BSD-3-Clause', 'Copyright (c) 2010 Lockless Inc.', 'pkg:generic/winpthreads'),
            component('dll_math.c', 'in winpthreads', 'BSD-3-Clause',
                      'Copyright (c) 1992, 1993 The Regents of the University of California', 'pkg:generic/winpthreads')]),
        debian('libstdc++', 'g++-mingw-w64-x86-64-posix', 'GPL-3.0-or-later WITH GCC-exception-3.1', 'GCC RUNTIME LIBRARY EXCEPTION'),
        debian('libgcc and libssp', 'gcc-mingw-w64-x86-64-posix', 'GPL-3.0-or-later WITH GCC-exception-3.1',
               'GCC RUNTIME LIBRARY EXCEPTION'),
    ]


def artifact(dist, name, parts):
    digest = hashlib.sha256(open(os.path.join(dist, name), 'rb').read()).hexdigest()
    return {'type': 'file', 'name': name, 'hashes': [{'alg': 'SHA-256', 'content': digest}], 'components': parts}


def main(dist, version):
    page = f'floating_point-{version}.html'
    artifacts = [artifact(dist, f'floating-point_{version}_{arch}.deb', [program(version)]) for arch in ('amd64', 'arm64', 'armhf')]
    zipped_page = {'type': 'file', 'name': 'floating_point.html', 'components': page_parts(version)}
    artifacts.append(artifact(dist, f'floating-point-{version}-win64.zip', windows_parts(version) + [zipped_page]))
    artifacts.append(artifact(dist, page, page_parts(version)))
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
    main(*sys.argv[1:3])
