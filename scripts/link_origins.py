#!/usr/bin/env python3
"""What a statically linked artifact holds, from its link map, and the notices it must carry.

Every archive member and object file that the linker took from outside the project (an absolute
path in the map) is traced to its origin:
- the Debian package that installed it, with the package's exact version (dpkg);
- the source file it was compiled from, where the object names it (Debian's wasi-libc, LLVM and
  MinGW-w64 libraries keep it in their debugging or symbol data), matched against the package's
  machine-readable copyright file as Debian does (the last matching Files: paragraph), which gives
  its copyright lines and licence;
- otherwise a rule below, for the few libraries whose objects name no source (GCC's).
A member of unknown origin, or a licence with no text to give, stops it with an error.

It writes PREFIX.json (the components, for the SBOM) and PREFIX.txt (the notices: each
component's copyright lines and licence, then each licence's whole text once).
Usage: scripts/link_origins.py MAP ARTIFACT PREFIX [crlf]   (crlf: the notices with Windows' line ends)"""
import fnmatch
import functools
import json
import os
import re
import subprocess
import sys

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')
LICENCE_FOLDER = os.path.join(TOP, 'doc/notices/licences')

# The upstream project of a source file, by where it stands in its package's source tree; a
# file elsewhere belongs to the package's own upstream (the copyright file's Upstream-Name).
PROJECTS = [
    ('libc-top-half/musl/', 'musl'),
    ('libc-bottom-half/cloudlibc/', 'cloudlibc'),
    ('libc-bottom-half/libpreopen/', 'libpreopen'),
    ('dlmalloc/', 'dlmalloc'),
    ('libcxxabi/', 'libc++abi'),
    ('libcxx/', 'libc++'),
    ('compiler-rt/', 'compiler-rt'),
    ('mingw-w64-crt/gdtoa/', 'gdtoa'),
    ('mingw-w64-libraries/winpthreads/', 'winpthreads'),
]
SOURCE_ROOTS = '|'.join(['libc-top-half', 'libc-bottom-half', 'dlmalloc', 'libcxxabi', 'libcxx', 'compiler-rt',
                         'mingw-w64-crt', 'mingw-w64-libraries'])
SOURCE_PATH = re.compile(rb'(?:^|[^\w.-])(?:\./)?((?:' + SOURCE_ROOTS.encode() + rb')/[\w./+-]+?\.(?:c|cc|cpp|S|s))\b')

# Members that name no source file. An import library's stub stands for its .def file. GCC's
# libraries: fast_float is inside std::from_chars, the demangler comes from libiberty.
GCC_COPYRIGHT = ['Copyright (C) Free Software Foundation, Inc.']
RULES = [
    # (archive, member, bytes the member holds) -> what it is
    (r'/x86_64-w64-mingw32/lib/lib(?P<library>\w+)\.a$', r'lib\w+?(h|t|s\d+)\.o$', None,
     {'source': 'mingw-w64-crt/lib64/{library}.def'}),
    # An assembler file names itself without its folder: the copyright file's paragraphs for the
    # whole runtime apply, never one for a particular folder.
    (r'/libmingwex\.a$', r'^lib64_libmingwex_a-(?P<name>\w+)\.o$', b'GNU AS',
     {'source': 'mingw-w64-crt/{name}.S'}),
    (r'/libstdc\+\+\.a$', r'floating_from_chars\.o$', rb'fast_float',
     {'project': 'fast_float', 'licence': 'MIT', 'copyright': ['Copyright (c) 2021 The fast_float authors']}),
    (r'/libstdc\+\+\.a$', r'cp-demangle\.o$', None,
     {'project': 'libiberty (the demangler)', 'licence': 'GPL-2.0-or-later WITH GCC-exception-2.0',
      'copyright': GCC_COPYRIGHT}),
    (r'/gcc/x86_64-w64-mingw32/[^/]+/(libstdc\+\+|libgcc|libgcc_eh|libssp|libssp_nonshared)\.a$', r'.', None,
     {'project': 'GCC runtime libraries', 'licence': 'GPL-3.0-or-later WITH GCC-exception-3.1',
      'copyright': GCC_COPYRIGHT}),
    (r'/gcc/x86_64-w64-mingw32/[^/]+/crt(begin|end)\.o$', None, None,
     {'project': 'GCC runtime libraries', 'licence': 'GPL-3.0-or-later WITH GCC-exception-3.1',
      'copyright': GCC_COPYRIGHT}),
]

# Debian's licence names, as SPDX ids or expressions; LicenseRef- where SPDX has none.
SPDX = {
    'Expat': 'MIT', 'expat': 'MIT', 'MIT': 'MIT', 'BSD-2-clause': 'BSD-2-Clause', 'BSD-3-clause': 'BSD-3-Clause', 'ISC': 'ISC',
    'CC0-1.0': 'CC0-1.0', 'Apache-2.0': 'Apache-2.0', 'ZPL-2.1': 'ZPL-2.1',
    'APACHE-2-LLVM-EXCEPTIONS': 'Apache-2.0 WITH LLVM-exception',
    'public-domain': 'LicenseRef-public-domain', 'Lucent': 'LicenseRef-Lucent', 'David-Gay': 'LicenseRef-David-Gay',
    'BSD-3-clause-Lockless': 'LicenseRef-BSD-3-clause-Lockless', 'BSD-3-clause-MinGW-w64': 'LicenseRef-BSD-3-clause-MinGW-w64',
    'Keith-Marshall': 'LicenseRef-Keith-Marshall', 'permissive': 'LicenseRef-Sun-permissive', 'Permissive-Sun': 'LicenseRef-Sun-permissive',
}
# Whole texts that Debian gives only as a pointer to /usr/share/common-licenses.
COMMON_LICENCES = {'Apache-2.0': 'Apache-2.0', 'CC0-1.0': 'CC0-1.0', 'GPL-2.0': 'GPL-2', 'GPL-3.0': 'GPL-3'}


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def linked_inputs(map_text):
    """(file, member) for each input from outside the project: member is None for an object file."""
    found = set()
    for match in re.finditer(r'(?<![\w.-])(?:(/[^\s()]+\.a)\(([^\s()]+)\)|(/[^\s()]+\.o)\b)', map_text):
        archive, member, object_file = match.groups()
        found.add((os.path.realpath(archive), member) if archive else (os.path.realpath(object_file), None))
    return sorted(found)


@functools.cache
def archive_members(path):
    """The members of a System V (GNU) ar archive, by name; the first of equal names."""
    data = open(path, 'rb').read()
    members, names, offset = {}, b'', 8
    while offset + 60 <= len(data):
        name, size = data[offset:offset + 16].decode().strip(), int(data[offset + 48:offset + 58])
        body = data[offset + 60:offset + 60 + size]
        if name == '//':
            names = body
        elif name not in ('/', '/SYM64/'):
            if name.startswith('/'):
                start = int(name[1:])
                name = names[start:names.index(b'/\n', start)].decode()
            members.setdefault(name.rstrip('/'), body)
        offset += 60 + size + size % 2
    return members


def contents(path, member):
    return archive_members(path)[member] if member else open(path, 'rb').read()


@functools.cache
def package_of(path):
    package = run('dpkg-query', '-S', path).split(':')[0]
    return package, run('dpkg-query', '-W', '-f=${Version}', package)


@functools.cache
def copyright_file(package):
    """A machine-readable copyright file as its paragraphs: each a dict of field to value."""
    text = open(f'/usr/share/doc/{package}/copyright', encoding='utf-8').read()
    if not text.startswith('Format:'):
        return None
    paragraphs = []
    for block in re.split(r'\n\s*\n', text):
        fields, name = {}, None
        for line in block.split('\n'):
            if line.startswith('#'):
                continue
            if line[:1] in (' ', '\t') and name:
                fields[name] += '\n' + line
            elif ':' in line:
                name, value = line.split(':', 1)
                fields[name] = value.strip()
        paragraphs.append(fields)
    return paragraphs


def body(value):
    """A field's continuation lines as text: one leading blank off, a lone '.' for an empty line."""
    lines = [line[1:] if line[:1] == ' ' else line for line in value.split('\n')[1:]]
    return '\n'.join('' if line.strip() == '.' else line for line in lines).strip('\n')


def origin_in_copyright_file(package, source):
    paragraphs = copyright_file(package)
    if paragraphs is None:
        raise LookupError(f'{package} has no machine-readable copyright file')
    matching = [p for p in paragraphs if 'Files' in p and any(fnmatch.fnmatchcase(source, glob) for glob in p['Files'].split())]
    if not matching:
        raise LookupError(f'{source} matches no Files: of {package}')
    paragraph = matching[-1]
    debian_licence = paragraph['License'].split('\n')[0].strip()
    if debian_licence not in SPDX:
        raise LookupError(f'{source}: licence {debian_licence} has no SPDX name here')
    upstream = next(p['Upstream-Name'] for p in paragraphs if 'Upstream-Name' in p)
    project = next((name for prefix, name in PROJECTS if source.startswith(prefix)), upstream)
    # Debian writes 'public-domain' where there is no copyright to name.
    lines = [line.strip() for line in paragraph['Copyright'].split('\n') if line.strip() not in ('', 'public-domain')]
    lines = [line if line.startswith('Copyright') else f'Copyright {line}' for line in lines]
    return {'project': project, 'licence': SPDX[debian_licence], 'copyright': lines}


def origin(path, member):
    """What one linked input is: project, licence, copyright lines, and the source it came from."""
    data = contents(path, member)
    for archive, member_pattern, marker, what in RULES:
        archive_match = re.search(archive, path)
        member_match = member and member_pattern and re.search(member_pattern, member)
        if archive_match and (member_match or member is None is member_pattern) and (marker is None or marker in data):
            if 'source' in what:
                source = what['source'].format(**archive_match.groupdict(), **member_match.groupdict())
                return {**origin_in_copyright_file(package_of(path)[0], source), 'source': source}
            return {**what, 'source': member or os.path.basename(path)}
    found = SOURCE_PATH.search(data)
    if not found:
        raise LookupError(f'{path}({member}): unknown origin (no source file named, no rule)')
    source = found.group(1).decode()
    return {**origin_in_copyright_file(package_of(path)[0], source), 'source': source}


def licence_ids(expression):
    return [word for word in re.findall(r'[\w.+-]+', expression) if word not in ('AND', 'OR', 'WITH')]


def text_in_copyright_files(licence, packages):
    """A licence's whole text in one of the packages' copyright files: a stand-alone License:
    paragraph, or the one of a Files: paragraph, with the text itself and not a pointer to it."""
    for package in sorted(packages):
        for paragraph in copyright_file(package) or []:
            name = paragraph.get('License', '').split('\n')[0].strip()
            text = body(paragraph.get('License', ''))
            if SPDX.get(name) == licence and text and '/usr/share/common-licenses' not in text:
                return text
    return None


def licence_text(licence, packages):
    """The whole text of one licence or exception, from the project's folder of licence texts,
    Debian's common licences or the copyright files of the packages linked in."""
    committed = os.path.join(LICENCE_FOLDER, f'{licence}.txt')
    if os.path.exists(committed):
        return open(committed, encoding='utf-8').read().strip('\n')
    common = COMMON_LICENCES.get(licence.removesuffix('-or-later').removesuffix('-only'))
    if common:
        return open(f'/usr/share/common-licenses/{common}', encoding='utf-8').read().strip('\n')
    text = text_in_copyright_files(licence, packages)
    if text is None:
        raise LookupError(f'no whole text of the licence {licence}')
    return text


def components(map_text):
    """The linked inputs grouped by project and package, in a fixed order."""
    grouped = {}
    for path, member in linked_inputs(map_text):
        package, version = package_of(path)
        found = origin(path, member)
        key = (found['project'], package)
        entry = grouped.setdefault(key, {'name': found['project'], 'package': package, 'version': version,
                                         'licences': [], 'copyright': [], 'linked': []})
        for field, values in (('licences', [found['licence']]), ('copyright', found['copyright'])):
            entry[field] += [value for value in values if value not in entry[field]]
        entry['linked'].append(f'{os.path.basename(path)}{f"({member})" if member else ""} {found["source"]}')
    return [grouped[key] for key in sorted(grouped)]


def as_cyclonedx(entry):
    expression = ' AND '.join(f'({licence})' if ' OR ' in licence else licence for licence in entry['licences'])
    return {'type': 'library', 'name': entry['name'], 'version': entry['version'],
            'purl': f'pkg:deb/debian/{entry["package"]}@{entry["version"]}?distro=debian-12',
            'licenses': [{'expression': expression}], 'copyright': '\n'.join(entry['copyright']),
            'properties': [{'name': 'floating-point:linked', 'value': linked} for linked in entry['linked']]}


def notices(artifact, entries):
    title = f'Third-party notices: {artifact}'
    parts = [f'{title}\n{"=" * len(title)}\n\n'
             f'{artifact} is linked with the following libraries, as its link map shows. Each is listed\n'
             'with the Debian package it came from, its copyright lines and its licence; the whole text\n'
             'of each licence follows them.\n']
    for number, entry in enumerate(entries, 1):
        heading = f'{number}. {entry["name"]}, from Debian\'s {entry["package"]} {entry["version"]}'
        parts.append(f'{heading}\n{"-" * len(heading)}\n' + ''.join(f'{line}\n' for line in entry['copyright'])
                     + f'Licence: {" AND ".join(entry["licences"])}\n')
    packages = {entry['package'] for entry in entries}
    ids = sorted({licence for entry in entries for expression in entry['licences'] for licence in licence_ids(expression)})
    for licence in ids:
        heading = f'The licence {licence}' if 'exception' not in licence else f'The exception {licence}'
        parts.append(f'{heading}\n{"=" * len(heading)}\n\n{licence_text(licence, packages)}\n')
    return '\n'.join(parts)


def main(map_file, artifact, prefix, line_ends=''):
    try:
        entries = components(open(map_file, encoding='utf-8', errors='replace').read())
        text = notices(artifact, entries)
    except (LookupError, subprocess.CalledProcessError, OSError) as error:
        sys.exit(f'link_origins: {artifact}: {error}')
    with open(prefix + '.json', 'w', encoding='utf-8') as out:
        json.dump([as_cyclonedx(entry) for entry in entries], out, indent=2, ensure_ascii=False)
        out.write('\n')
    with open(prefix + '.txt', 'w', encoding='utf-8', newline='\r\n' if line_ends == 'crlf' else '\n') as out:
        out.write(text)


if __name__ == '__main__':
    main(*sys.argv[1:5])
