#!/usr/bin/env python3
"""Builds the Debian package into a temporary folder, checks what it holds and needs, and has
Debian's lintian check it.

Usage: check_package.py BUILD/CPackConfig.cmake PROGRAM...   (the build must be complete)
PROGRAM: the programs the build makes, dovrin-calculator first.
Exit status 77 (skipped) when the Debian packaging tools are missing, or when lintian is missing
and nothing else was found wrong.
"""
import configparser
import gzip
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

APP = "dovrin-calculator"  # the calculator, and the name of the package
DOC = f"usr/share/doc/{APP}"
ICON_SIZES = (16, 32, 48, 128, 256)
# The programs with a menu entry: their AppStream ids, and the types of file they open.
DESKTOP_PROGRAMS = {
    APP: ("org.dovrin.Calculator", []),
    "dovrin-register-window": ("org.dovrin.Register", ["text/csv"]),
}
# Packages that must appear in Depends: the toolkit, found by dpkg-shlibdeps, and the fonts;
# the charts library too when the package holds the register window.
REQUIRED_DEPENDS = ("libqt6widgets6", "fonts-liberation")
CHARTS_DEPENDS = "libqt6charts6"

problems = []


def check(condition, problem):
    if not condition:
        problems.append(problem)


def run(*command):
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"{' '.join(command)} failed:\n{result.stdout}{result.stderr}")
    return result.stdout


def build_package(config, folder):
    run("cpack", "-G", "DEB", "--config", config, "-B", folder)
    packages = list(pathlib.Path(folder).glob("*.deb"))
    if len(packages) != 1:
        sys.exit(f"cpack made {len(packages)} .deb files in {folder}, expected one")
    return packages[0]


def expected_files(programs):
    """Every file the package installs, and nothing else (no test, library or header slips in)."""
    files = {f"{DOC}/copyright", f"{DOC}/changelog.gz", f"{DOC}/data.md"}
    for program in programs:
        files |= {f"usr/bin/{program}", f"usr/share/man/man1/{program}.1.gz"}
        if program in DESKTOP_PROGRAMS:
            metainfo_id = DESKTOP_PROGRAMS[program][0]
            files |= {f"usr/share/applications/{program}.desktop",
                      f"usr/share/metainfo/{metainfo_id}.metainfo.xml",
                      *(f"usr/share/icons/hicolor/{s}x{s}/apps/{program}.png" for s in ICON_SIZES)}
    return files


def check_file_list(package, programs):
    """Regular files, by path without the leading './', with their permission strings."""
    files = {}
    for line in run("dpkg-deb", "-c", str(package)).splitlines():
        fields = line.split(maxsplit=5)
        if fields[0].startswith("-"):
            files[fields[5].removeprefix("./")] = fields[0]
    expected = expected_files(programs)
    for path in sorted(expected - files.keys()):
        problems.append(f"missing from the package: /{path}")
    for path in sorted(files.keys() - expected):
        problems.append(f"unexpected in the package: /{path}")
    for program in programs:
        mode = files.get(f"usr/bin/{program}", "")
        check(mode == "-rwxr-xr-x", f"/usr/bin/{program} has mode {mode}, not -rwxr-xr-x")


def depends_names(depends):
    """Package names of a Depends field, alternatives included."""
    return {re.split(r"[\s(:]", alt.strip())[0] for part in depends.split(",")
            for alt in part.split("|") if alt.strip()}


def check_control(package, programs):
    fields = dict(line.split(": ", 1) for line in
                  run("dpkg-deb", "-f", str(package), "Package", "Architecture",
                      "Depends").splitlines())
    check(fields.get("Package") == APP, f"Package is {fields.get('Package')!r}")
    architecture = run("dpkg", "--print-architecture").strip()
    check(fields.get("Architecture") == architecture,
          f"Architecture is {fields.get('Architecture')!r}, not {architecture!r}")
    depends = fields.get("Depends", "")
    names = depends_names(depends)
    required = REQUIRED_DEPENDS
    if "dovrin-register-window" in programs:
        required += (CHARTS_DEPENDS,)
    for name in required:
        check(name in names, f"Depends lacks {name}: {depends!r}")
    qt = re.search(r"libqt6widgets6 \(>= [^)]+\)", depends)
    check(qt is not None, f"Depends gives no lowest version of libqt6widgets6: {depends!r}")
    print(f"Depends: {depends}")


def png_size(path):
    header = path.read_bytes()[:24]
    if header[:8] != b"\x89PNG\r\n\x1a\n" or header[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", header[16:24])


def check_desktop_integration(root, program):
    """The menu entry, icons and metainfo of one program refer to each other by the names under
    which they are installed."""
    metainfo_id, mime_types = DESKTOP_PROGRAMS[program]
    for size in ICON_SIZES:
        icon = root / f"usr/share/icons/hicolor/{size}x{size}/apps/{program}.png"
        if icon.exists():
            check(png_size(icon) == (size, size),
                  f"{size}x{size} icon of {program} is a picture of {png_size(icon)}")

    desktop_path = root / f"usr/share/applications/{program}.desktop"
    if desktop_path.exists():
        desktop = configparser.ConfigParser(interpolation=None)
        desktop.optionxform = str
        desktop.read(desktop_path, encoding="utf-8")
        entry = desktop["Desktop Entry"]
        command = entry.get("Exec", "").split()
        check(command[:1] == [program],
              f"the menu entry runs {entry.get('Exec')!r}, not /usr/bin/{program}")
        check(entry.get("Icon") == program, f"the menu entry shows icon {entry.get('Icon')!r}")
        offered = [t for t in entry.get("MimeType", "").split(";") if t]
        check(offered == mime_types, f"{program}'s menu entry opens {offered}, not {mime_types}")
        if mime_types:
            check("%f" in command, f"{program}'s menu entry passes no file: {command}")

    metainfo_path = root / f"usr/share/metainfo/{metainfo_id}.metainfo.xml"
    if metainfo_path.exists():
        component = ElementTree.parse(metainfo_path).getroot()
        check(component.findtext("id") == metainfo_id,
              f"the metainfo's id is {component.findtext('id')!r}, its file {metainfo_id}")
        check(component.findtext("launchable[@type='desktop-id']") == f"{program}.desktop",
              f"the metainfo {metainfo_id} does not launch the installed menu entry")
        binaries = [b.text for b in component.findall("provides/binary")]
        check(program in binaries, f"the metainfo {metainfo_id} does not provide {program}")
        for binary in binaries:
            check((root / f"usr/bin/{binary}").exists(),
                  f"the metainfo {metainfo_id} provides {binary}, which is not installed")


def check_compressed(path):
    """Compressed as gzip -9n does: no file name and no time stamp in the header, so that the
    same text gives the same bytes."""
    header = path.read_bytes()[:10]
    check(header[:2] == b"\x1f\x8b", f"{path.name} is not gzip-compressed")
    check(header[3] & 0x08 == 0 and header[4:8] == b"\0\0\0\0",
          f"{path.name} carries its file name or time stamp")


def check_documents(root, version):
    for page in sorted((root / "usr/share/man/man1").glob("*.gz")):
        check_compressed(page)
    changelog = root / DOC / "changelog.gz"
    if changelog.exists():
        check_compressed(changelog)
        head = gzip.decompress(changelog.read_bytes()).decode().partition("\n")[0]
        check(head.startswith(f"{APP} ({version}) "),
              f"the changelog's newest entry is {head!r}, the package's version {version}")
    copyright_file = root / DOC / "copyright"
    if copyright_file.exists():
        check(copyright_file.read_text().startswith(
            "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"),
            "the copyright file is not in the machine-readable format")


def check_with_lintian(package):
    """Returns False when lintian is not installed; any error or warning is a problem."""
    if shutil.which("lintian") is None:
        print("lintian is not installed: the package was not checked by it")
        return False
    result = subprocess.run(["lintian", "--fail-on", "error,warning", "--display-info",
                             "--show-overrides", str(package)], capture_output=True, text=True)
    print(f"lintian (exit status {result.returncode}):\n{result.stdout}", end="")
    check(result.returncode == 0, "lintian found errors or warnings: see its output above")
    return True


def main():
    if len(sys.argv) < 3 or sys.argv[2] != APP:
        sys.exit(__doc__)
    programs = sys.argv[2:]
    for tool in ("cpack", "dpkg-deb", "dpkg-shlibdeps"):
        if shutil.which(tool) is None:
            print(f"{tool} is not installed: skipped")
            return 77
    with tempfile.TemporaryDirectory(prefix="dovrin-package-") as folder:
        package = build_package(sys.argv[1], folder)
        print(f"{package.name}: {package.stat().st_size} bytes")
        check_file_list(package, programs)
        check_control(package, programs)
        root = pathlib.Path(folder) / "root"
        run("dpkg-deb", "-x", str(package), str(root))
        for program in programs:
            if program in DESKTOP_PROGRAMS:
                check_desktop_integration(root, program)
        check_documents(root, run("dpkg-deb", "-f", str(package), "Version").strip())
        linted = check_with_lintian(package)
    for problem in problems:
        print(f"error: {problem}", file=sys.stderr)
    if problems:
        return 1
    return 0 if linted else 77


if __name__ == "__main__":
    sys.exit(main())
