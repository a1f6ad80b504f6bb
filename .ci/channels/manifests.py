#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The Homebrew formula, the Scoop manifest and the winget manifests of a release, written
from its SHA256SUMS and files, and checked against them.

Usage: manifests.py write DIST OUT VERSION    writes OUT/homebrew/mksrec.rb,
                                              OUT/scoop/mksrec.json and OUT/winget/*.yaml
       manifests.py check DIST OUT VERSION    fails unless each is well-formed, each hash
                                              equals its file's line in DIST/SHA256SUMS,
                                              each download it names is that file of DIST
                                              and each path it runs is in the zip

The downloads' address is the project's home as the release workflow gives it in
MKSREC_HOME (HOME/releases/download/vVERSION/FILE). Without it, as on every local run, the
manifests point at DIST itself through file:// addresses, so that each one can be followed
here; nothing else is ever written as an address.
"""
import json
import os
import re
import subprocess
import sys
import zipfile
from pathlib import Path

import yaml

from make_wheel import SUMMARY

HERE = Path(__file__).resolve().parent


class Release:
    def __init__(self, dist, version):
        self.dist = Path(dist).resolve()
        self.version = version
        self.home = os.environ.get("MKSREC_HOME", "").rstrip("/")
        self.sums = {}
        for line in (self.dist / "SHA256SUMS").read_text().splitlines():
            digest, name = line.split(maxsplit=1)
            self.sums[name.lstrip("*")] = digest
        self.source = f"mksrec-{version}.tar.gz"
        self.zip = f"mksrec-{version}-windows-x86_64.zip"
        # The folder the zip unpacks to, which holds the program.
        self.folder = f"mksrec-{version}-windows-x86_64"

    def url(self, name):
        if self.home:
            return f"{self.home}/releases/download/v{self.version}/{name}"
        return self.dist.as_uri() + "/" + name

    def homepage(self):
        return self.home or self.dist.as_uri()

    def publisher(self):
        # The owner of the home (HOST/OWNER/mksrec); a local run has none.
        return self.home.split("/")[-2] if self.home else "local"

    def file_of(self, url):
        """The file of DIST that URL names, or an error."""
        name = url.rsplit("/", 1)[-1]
        if url != self.url(name):
            raise ValueError(f"{url} is not an address of this release's downloads")
        if not (self.dist / name).is_file():
            raise ValueError(f"{url}: no such file in {self.dist}")
        return name


FORMULA = '''\
# SPDX-License-Identifier: MIT
# Written by the release from its SHA256SUMS; not to be edited by hand.
class Mksrec < Formula
  desc "{summary}"
  homepage "{homepage}"
  url "{url}"
  sha256 "{sha256}"
  license "MIT"

  depends_on "cmake" => :build

  def install
    system "cmake", "-S", ".", "-B", "build", "-DMKSREC_TESTS=OFF", *std_cmake_args
    system "cmake", "--build", "build"
    system "cmake", "--install", "build"
  end

  test do
    (testpath/"image.bin").binwrite((0...40).to_a.pack("C*"))
    system bin/"mksrec", "16", "8000", "image.bin", "image.srec"
    assert_equal "S214008000000102030405060708090a0b0c0d0e0ff3\\r\\n" \\
                 "S214008010101112131415161718191a1b1c1d1e1fe3\\r\\n" \\
                 "S20c008020202122232425262737\\r\\n" \\
                 "S804000000fb\\r\\n", (testpath/"image.srec").binread
  end
end
'''


def write(release, out):
    (out / "homebrew").mkdir(parents=True, exist_ok=True)
    (out / "scoop").mkdir(parents=True, exist_ok=True)
    (out / "winget").mkdir(parents=True, exist_ok=True)
    (out / "homebrew/mksrec.rb").write_text(FORMULA.format(
        summary=SUMMARY, homepage=release.homepage(), url=release.url(release.source),
        sha256=release.sums[release.source]))

    scoop = {
        "version": release.version,
        "description": SUMMARY,
        "homepage": release.homepage(),
        "license": "MIT",
        "architecture": {"64bit": {
            "url": release.url(release.zip),
            "hash": release.sums[release.zip],
            "extract_dir": release.folder,
        }},
        "bin": "mksrec.exe",
    }
    (out / "scoop/mksrec.json").write_text(json.dumps(scoop, indent=4) + "\n")

    ident = f"{release.publisher()}.mksrec"
    common = {"PackageIdentifier": ident, "PackageVersion": release.version}
    manifests = {
        f"{ident}.yaml": {**common, "DefaultLocale": "en-US", "ManifestType": "version"},
        f"{ident}.installer.yaml": {
            **common,
            "InstallerType": "zip",
            "NestedInstallerType": "portable",
            "NestedInstallerFiles": [{
                "RelativeFilePath": f"{release.folder}\\mksrec.exe",
                "PortableCommandAlias": "mksrec",
            }],
            "Installers": [{
                "Architecture": "x64",
                "InstallerUrl": release.url(release.zip),
                "InstallerSha256": release.sums[release.zip].upper(),
            }],
            "ManifestType": "installer",
        },
        f"{ident}.locale.en-US.yaml": {
            **common,
            "PackageLocale": "en-US",
            "Publisher": release.publisher(),
            "PackageName": "mksrec",
            "Moniker": "mksrec",
            "PackageUrl": release.homepage(),
            "License": "MIT",
            "ShortDescription": SUMMARY,
            "ManifestType": "defaultLocale",
        },
    }
    for name, manifest in manifests.items():
        manifest["ManifestVersion"] = "1.6.0"
        text = "# Written by the release from its SHA256SUMS; not to be edited by hand.\n"
        text += yaml.safe_dump(manifest, sort_keys=False, allow_unicode=True)
        (out / "winget" / name).write_text(text)
    if not release.home:
        print("MKSREC_HOME is not set: the manifests point at "
              f"{release.dist.as_uri()}, this run's own downloads")


def same_hash(release, what, url, digest):
    name = release.file_of(url)
    if digest.lower() != release.sums[name]:
        raise ValueError(f"{what}: hash {digest} is not the SHA256SUMS line of {name}, "
                         f"{release.sums[name]}")
    return name


def in_zip(release, what, name, path):
    with zipfile.ZipFile(release.dist / name) as archive:
        if path not in archive.namelist():
            raise ValueError(f"{what}: {name} holds no {path}")


def check(release, out):
    formula = out / "homebrew/mksrec.rb"
    subprocess.run(["ruby", "-c", str(formula)], check=True, stdout=subprocess.DEVNULL)
    loaded = subprocess.run(["ruby", str(HERE / "formula_stub.rb"), str(formula)],
                            check=True, capture_output=True, text=True).stdout
    fields = dict(line.split(" ", 1) for line in loaded.splitlines())
    name = same_hash(release, "formula", fields["url"], fields["sha256"])
    if name != release.source:
        raise ValueError(f"formula: it builds {name}, not the source {release.source}")
    print(f"homebrew/mksrec.rb: Ruby syntax OK; loaded, its url and sha256 are those of {name}")

    scoop = json.loads((out / "scoop/mksrec.json").read_text())
    for key in ("version", "description", "homepage", "license", "architecture", "bin"):
        if key not in scoop:
            raise ValueError(f"scoop: no {key}")
    if scoop["version"] != release.version:
        raise ValueError(f"scoop: version {scoop['version']}")
    arch = scoop["architecture"]["64bit"]
    name = same_hash(release, "scoop", arch["url"], arch["hash"])
    in_zip(release, "scoop", name, f"{arch['extract_dir']}/{scoop['bin']}")
    print(f"scoop/mksrec.json: JSON; its hash is that of {name}, "
          f"which holds {arch['extract_dir']}/{scoop['bin']}")

    manifests = {path.name: yaml.safe_load(path.read_text())
                 for path in sorted((out / "winget").glob("*.yaml"))}
    kinds = sorted(manifest["ManifestType"] for manifest in manifests.values())
    if kinds != ["defaultLocale", "installer", "version"]:
        raise ValueError(f"winget: manifests {kinds}, not a version, installer and locale")
    for file, manifest in manifests.items():
        ident = manifest["PackageIdentifier"]
        if manifest["PackageVersion"] != release.version or not re.fullmatch(r"[^.\s]+\.mksrec", ident):
            raise ValueError(f"winget {file}: {ident} {manifest['PackageVersion']}")
        if not file.startswith(ident + "."):
            raise ValueError(f"winget {file}: not named after {ident}")
        if manifest["ManifestType"] != "installer":
            continue
        for installer in manifest["Installers"]:
            name = same_hash(release, f"winget {file}", installer["InstallerUrl"],
                             installer["InstallerSha256"])
            for nested in manifest["NestedInstallerFiles"]:
                in_zip(release, f"winget {file}", name, nested["RelativeFilePath"].replace("\\", "/"))
    print(f"winget: {', '.join(manifests)}: YAML; the installer's hash is that of {name}, "
          "which holds each file it runs")


def main():
    action, dist, out, version = sys.argv[1:]
    release = Release(dist, version)
    try:
        {"write": write, "check": check}[action](release, Path(out))
    except (ValueError, KeyError, subprocess.CalledProcessError) as error:
        sys.exit(f"manifests.py {action}: {error}")


if __name__ == "__main__":
    main()
