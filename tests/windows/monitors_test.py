"""Monitors under Wine: EDIDs written into the prefix's registry as Windows
keeps them (Enum\\DISPLAY\\<model>\\<instance>, a monitor-class device with
its EDID under Device Parameters) are listed by tolvex-query.exe with the
values tolvex-query gives on Linux for the same bytes on a DRM connector.

TOLVEX_QUERY_COMMAND runs tolvex-query.exe (one argument a line);
TOLVEX_QUERY is the Linux program. The registry is written by Wine's own
`reg import`, run the same way. The keys are removed at the end."""

import json
import os
import shutil
import subprocess
import tempfile
import unittest

COMMAND = os.environ["TOLVEX_QUERY_COMMAND"].splitlines()
LINUX_QUERY = os.environ["TOLVEX_QUERY"]
# The same command with Wine's reg program in place of tolvex-query.exe.
REG = COMMAND[:-1] + ["reg"]
DATA = os.path.join(os.environ["TOLVEX_SOURCE_DIR"], "tests", "data", "edid")
ENUM = r"HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\DISPLAY"
MONITOR_CLASS = "{4d36e96e-e325-11ce-bfc1-08002be10318}"
# Model keys of our own making, so that removing them touches nothing else.
MODELS = {"dell-d1918h.hex": "TVXD191", "aoc-1619w.hex": "TVXA161",
          "aoc-1619w-model-year.hex": "TVXA162", "auo-103d-panel.hex": "TVXU103",
          "dell-inspiron-3043-base-only.hex": "TVXD304",
          "dell-d1918h-non-ascii-name.hex": "TVXD192", "dell-d1918h-bad-checksum.hex": "TVXD193",
          "dell-d1918h-truncated.hex": "TVXD194"}
# Windows writes instance IDs in upper case (and Wine makes them so).
INSTANCE = "5&1F2E3D&0&UID4352"


def edid(name):
    with open(os.path.join(DATA, name)) as f:
        return bytes.fromhex(f.read())


def reg_import(text):
    folder = tempfile.mkdtemp(prefix="tolvex-reg-")
    try:
        path = os.path.join(folder, "monitors.reg")
        with open(path, "w", encoding="utf-16") as f:
            f.write(text)
        subprocess.run(REG + ["import", "Z:" + path], capture_output=True, check=True,
                       timeout=120)
    finally:
        shutil.rmtree(folder, True)


def identity(answer):
    """Each monitor's values and the words of each Null's reason, by EDID
    file; the instance name, the path and the reasons' sources name the
    platform's own places and are left out."""
    out = {}
    for instance in answer["WmiMonitorID"]:
        properties = dict(instance["properties"])
        key = properties.pop("InstanceName")
        reasons = {p: r["reason"] for p, r in instance.get("reasons", {}).items()}
        out[key] = (properties, reasons)
    return out


class SameAnswerAsLinux(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        lines = ["Windows Registry Editor Version 5.00", ""]
        for name, model in MODELS.items():
            key = rf"{ENUM}\{model}\{INSTANCE}"
            data = ",".join(f"{b:02x}" for b in edid(name))
            lines += [f"[{key}]", f'"ClassGUID"="{MONITOR_CLASS}"',
                      f'"HardwareID"=hex(7):{hardware_id(model)}', "",
                      rf"[{key}\Device Parameters]", f'"EDID"=hex:{data}', ""]
        reg_import("\r\n".join(lines))

    @classmethod
    def tearDownClass(cls):
        reg_import("\r\n".join(["Windows Registry Editor Version 5.00", ""] +
                               [f"[-{ENUM}\\{model}]" for model in MODELS.values()]) + "\r\n")

    def test_each_edid_gives_what_linux_gives(self):
        done = subprocess.run(COMMAND + ["--format", "json", "WmiMonitorID"],
                              capture_output=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr.decode(errors="replace"))
        windows = identity(json.loads(done.stdout))

        root = tempfile.mkdtemp(prefix="tolvex-monitors-")
        self.addCleanup(shutil.rmtree, root, True)
        for name, model in MODELS.items():
            folder = os.path.join(root, "sys", "class", "drm", "card0-" + model)
            os.makedirs(folder)
            with open(os.path.join(folder, "status"), "w") as f:
                f.write("connected\n")
            with open(os.path.join(folder, "edid"), "wb") as f:
                f.write(edid(name))
        linux = identity(json.loads(subprocess.run(
            [LINUX_QUERY, "--root", root, "--format", "json", "WmiMonitorID"],
            capture_output=True, check=True, timeout=120).stdout))

        for name, model in MODELS.items():
            with self.subTest(edid=name):
                instance = f"DISPLAY\\{model}\\{INSTANCE}_0"
                self.assertIn(instance, windows)
                self.assertEqual(windows[instance], linux["card0-" + model])
                self.assertTrue(windows[instance][0]["Active"])
        # The values themselves are EdidIdentityTest's; one as a reminder of
        # what is compared.
        self.assertEqual(windows[f"DISPLAY\\TVXD191\\{INSTANCE}_0"][0]["SerialNumberID"],
                         "2C8FJ8255K5E")


def hardware_id(model):
    """A REG_MULTI_SZ of one string, "MONITOR\\<model>", as .reg hex(7)."""
    units = (f"MONITOR\\{model}" + "\0\0").encode("utf-16-le")
    return ",".join(f"{b:02x}" for b in units)


if __name__ == "__main__":
    unittest.main()
