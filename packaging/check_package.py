#!/usr/bin/env python3
"""Builds the Debian package into a temporary folder and checks what it holds and needs.

Usage: check_package.py BUILD/CPackConfig.cmake   (the build must be complete)
Exit status 77 (skipped) when the Debian packaging tools are missing.
"""
import configparser
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

APP = "dovrin-calculator"
METAINFO_ID = "org.dovrin.Calculator"
ICON_SIZES = (16, 32, 48, 128, 256)
# Every file the package installs, and nothing else (no test, library or header slips in).
EXPECTED_FILES = {
    f"usr/bin/{APP}",
    f"usr/share/applications/{APP}.desktop",
    f"usr/share/metainfo/{METAINFO_ID}.metainfo.xml",
    *(f"usr/share/icons/hicolor/{s}x{s}/apps/{APP}.png" for s in ICON_SIZES),
}
# Packages that must appear in Depends: the toolkit, found by dpkg-shlibdeps, and the fonts.
REQUIRED_DEPENDS = ("libqt6widgets6", "fonts-liberation")

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


def check_file_list(package):
    """Regular files, by path without the leading './', with their permission strings."""
    files = {}
    for line in run("dpkg-deb", "-c", str(package)).splitlines():
        fields = line.split(maxsplit=5)
        if fields[0].startswith("-"):
            files[fields[5].removeprefix("./")] = fields[0]
    for path in sorted(EXPECTED_FILES - files.keys()):
        problems.append(f"missing from the package: /{path}")
    for path in sorted(files.keys() - EXPECTED_FILES):
        problems.append(f"unexpected in the package: /{path}")
    binary_mode = files.get(f"usr/bin/{APP}", "")
    check(binary_mode == "-rwxr-xr-x", f"/usr/bin/{APP} has mode {binary_mode}, not -rwxr-xr-x")


def depends_names(depends):
    """Package names of a Depends field, alternatives included."""
    return {re.split(r"[\s(:]", alt.strip())[0] for part in depends.split(",")
            for alt in part.split("|") if alt.strip()}


def check_control(package):
    fields = dict(line.split(": ", 1) for line in
                  run("dpkg-deb", "-f", str(package), "Package", "Architecture",
                      "Depends").splitlines())
    check(fields.get("Package") == APP, f"Package is {fields.get('Package')!r}")
    architecture = run("dpkg", "--print-architecture").strip()
    check(fields.get("Architecture") == architecture,
          f"Architecture is {fields.get('Architecture')!r}, not {architecture!r}")
    depends = fields.get("Depends", "")
    names = depends_names(depends)
    for name in REQUIRED_DEPENDS:
        check(name in names, f"Depends lacks {name}: {depends!r}")
    qt = re.search(r"libqt6widgets6 \(>= [^)]+\)", depends)
    check(qt is not None, f"Depends gives no lowest version of libqt6widgets6: {depends!r}")
    print(f"Depends: {depends}")


def png_size(path):
    header = path.read_bytes()[:24]
    if header[:8] != b"\x89PNG\r\n\x1a\n" or header[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", header[16:24])


def check_installed_tree(root):
    """The files refer to each other by the names under which they are installed."""
    for size in ICON_SIZES:
        icon = root / f"usr/share/icons/hicolor/{size}x{size}/apps/{APP}.png"
        if icon.exists():
            check(png_size(icon) == (size, size),
                  f"{size}x{size} icon is a picture of {png_size(icon)}")

    desktop_path = root / f"usr/share/applications/{APP}.desktop"
    if desktop_path.exists():
        desktop = configparser.ConfigParser(interpolation=None)
        desktop.optionxform = str
        desktop.read(desktop_path, encoding="utf-8")
        entry = desktop["Desktop Entry"]
        check(entry.get("Exec", "").split()[:1] == [APP],
              f"the menu entry runs {entry.get('Exec')!r}, not /usr/bin/{APP}")
        check(entry.get("Icon") == APP, f"the menu entry shows icon {entry.get('Icon')!r}")

    metainfo_path = root / f"usr/share/metainfo/{METAINFO_ID}.metainfo.xml"
    if metainfo_path.exists():
        component = ElementTree.parse(metainfo_path).getroot()
        check(component.findtext("id") == METAINFO_ID,
              f"the metainfo's id is {component.findtext('id')!r}, its file {METAINFO_ID}")
        check(component.findtext("launchable[@type='desktop-id']") == f"{APP}.desktop",
              "the metainfo does not launch the installed menu entry")
        check(component.findtext("provides/binary") == APP,
              "the metainfo does not provide the installed binary")


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    for tool in ("cpack", "dpkg-deb", "dpkg-shlibdeps"):
        if shutil.which(tool) is None:
            print(f"{tool} is not installed: skipped")
            return 77
    with tempfile.TemporaryDirectory(prefix="dovrin-package-") as folder:
        package = build_package(sys.argv[1], folder)
        print(f"{package.name}: {package.stat().st_size} bytes")
        check_file_list(package)
        check_control(package)
        root = pathlib.Path(folder) / "root"
        run("dpkg-deb", "-x", str(package), str(root))
        check_installed_tree(root)
    for problem in problems:
        print(f"error: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
