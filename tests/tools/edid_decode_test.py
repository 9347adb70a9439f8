"""Monitors' identity as tolvex-query gives it, against Debian's edid-decode
reading the same bytes.

Every EDID of tests/data/edid (and of the folder TOLVEX_EDID_DIR names, if
any: more EDIDs, as hex dumps like those or as raw bytes) is put on a DRM
connector of a machine tree; `tolvex-query --root TREE --format json
WmiMonitorID` must give the maker, product code, serial, name, date and image
size that edid-decode prints. Blocks edid-decode cannot read whole (shorter
than 128 bytes) and descriptors it cuts at a byte it cannot print are left to
tests/core/EdidIdentityTest.cpp, whose values were worked out by hand."""

import glob
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest

QUERY = os.environ["TOLVEX_QUERY"]
EDID_DECODE = shutil.which("edid-decode")
DATA = os.path.join(os.environ["TOLVEX_SOURCE_DIR"], "tests", "data", "edid")


def edid_files():
    files = sorted(glob.glob(os.path.join(DATA, "*.hex")))
    extra = os.environ.get("TOLVEX_EDID_DIR")
    if extra:
        files += sorted(p for p in glob.glob(os.path.join(extra, "**", "*"), recursive=True)
                        if os.path.isfile(p))
    return files


def edid_bytes(path):
    with open(path, "rb") as f:
        data = f.read()
    text = data.decode("ascii", errors="replace")
    # A hex dump (as edid-decode writes it, with or without its header line).
    if "edid-decode (hex):" in text:
        text = text.split("edid-decode (hex):", 1)[1].split("----------------", 1)[0]
    if re.fullmatch(r"[\s0-9a-fA-F]+", text) and len(text.split()) > 1:
        return bytes.fromhex("".join(text.split()))
    return data


def expected(decoded):
    """The identity edid-decode prints: WmiMonitorID's values, or None where
    the check does not apply to this field."""
    def line(pattern):
        match = re.search(r"^\s*" + pattern + r"\s*$", decoded, re.M)
        return match.groups() if match else None

    out = {}
    maker = line(r"Manufacturer: (\S+)")
    out["ManufacturerName"] = maker[0] if maker else None
    model = line(r"Model: (\d+)")
    out["ProductCodeID"] = model[0] if model else None
    text_serial = line(r"Display Product Serial Number: '(.*)'")
    number = line(r"Serial Number: (\d+)")
    if text_serial and text_serial[0] != "":
        out["SerialNumberID"] = text_serial[0]
    else:
        out["SerialNumberID"] = number[0] if number and number[0] != "0" else None
    name = line(r"Display Product Name: '(.*)'")
    out["UserFriendlyName"] = name[0] if name else None
    week_year = line(r"Made in: week (\d+) of (\d+)")
    year_only = line(r"Made in: (\d+)")
    model_year = line(r"Model year: (\d+)")
    if week_year:
        out["WeekOfManufacture"], out["YearOfManufacture"] = map(int, week_year)
    else:
        out["WeekOfManufacture"] = None
        year = year_only or model_year
        out["YearOfManufacture"] = int(year[0]) if year else None
    size = line(r"Maximum image size: (\d+) cm x (\d+) cm")
    out["MaxHorizontalImageSize"], out["MaxVerticalImageSize"] = (
        map(int, size) if size else (None, None))
    if "Non-printable character" in decoded:
        # edid-decode stops at the byte; Tolvex shows it as \xNN.
        for descriptor, prop in [("Display Product Serial Number", "SerialNumberID"),
                                 ("Display Product Name", "UserFriendlyName")]:
            if re.search(descriptor + r": Non-printable character", decoded):
                out[prop] = ("prefix", out[prop] or "")
    return out


@unittest.skipUnless(EDID_DECODE, "edid-decode (Debian's edid-decode) is not installed")
class AsEdidDecodeReadsThem(unittest.TestCase):
    def test_every_edid(self):
        root = tempfile.mkdtemp(prefix="tolvex-edid-")
        self.addCleanup(shutil.rmtree, root, True)
        cases = {}
        for n, path in enumerate(edid_files()):
            data = edid_bytes(path)
            if len(data) < 128:
                continue
            connector = f"card0-DP-{n + 1}"
            folder = os.path.join(root, "sys", "class", "drm", connector)
            os.makedirs(folder)
            with open(os.path.join(folder, "status"), "w") as f:
                f.write("connected\n")
            with open(os.path.join(folder, "edid"), "wb") as f:
                f.write(data)
            decoded = subprocess.run([EDID_DECODE, "-c", os.path.join(folder, "edid")],
                                     capture_output=True, timeout=60).stdout.decode(
                                         "utf-8", errors="replace")
            cases[connector] = (os.path.basename(path), expected(decoded))
        self.assertGreaterEqual(len(cases), 6)
        answer = json.loads(subprocess.run([QUERY, "--root", root, "--format", "json",
                                            "WmiMonitorID"], capture_output=True, check=True,
                                           timeout=120).stdout)
        got = {i["properties"]["InstanceName"]: i["properties"] for i in answer["WmiMonitorID"]}
        self.assertEqual(sorted(got), sorted(cases))
        for connector, (name, want) in cases.items():
            for prop, value in want.items():
                with self.subTest(edid=name, property=prop):
                    if isinstance(value, tuple):
                        self.assertTrue(got[connector][prop].startswith(value[1]),
                                        got[connector][prop])
                    else:
                        self.assertEqual(got[connector][prop], value)


if __name__ == "__main__":
    unittest.main()
