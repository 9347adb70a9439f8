"""Snapshots through tolvex-query: for this machine and every captured one, a
snapshot of the snapshot is the same file and answers every format as the
machine did; --redact leaves no identifying value in any format and its
snapshot still opens; a file that is no snapshot is refused with words.

Runs the built program (TOLVEX_QUERY) as a separate process."""

import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest

QUERY = os.environ["TOLVEX_QUERY"]
FIXTURES = os.environ["TOLVEX_FIXTURES_DIR"]
FORMATS = ["text", "json", "prometheus"]
META = ["tolvex:host", "tolvex:origin"]

# Identifying values, found independently of the program: by property and by
# form. Values that identify nothing are exempt.
ID_PROPERTY = re.compile(r"(SerialNumber|SerialNumberID|MACAddress|PermanentAddress|CSName|SystemName|"
                         r"DNSHostName|UUID|GUID|WWN|WorldWideName|EUI64|NGUID)$", re.I)
ID_FORM = re.compile(r"^([0-9a-f]{2}[:-]){5}[0-9a-f]{2}$|"
                     r"^\{?[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}\}?$|"
                     r"^(?!127\.|0\.)\d{1,3}(\.\d{1,3}){3}$", re.I)
FILLERS = {"none", "not specified", "not available", "not applicable", "unknown", "n/a",
           "to be filled by o.e.m.", "default string", "system serial number",
           "base board serial number", "chassis serial number", "0123456789", "123456789",
           "serial number", "sernum0"}


def identifies(value):
    low = value.lower()
    return (low.strip() != "" and low not in FILLERS
            and len(set(re.sub(r"[:\-. {}]", "", low))) > 1)


def monitor_tree():
    """A machine with two monitors (real EDIDs from tests/data/edid): one
    with a text serial, one with a numeric serial only."""
    root = tempfile.mkdtemp(prefix="tolvex-monitors-")
    data = os.path.join(os.environ["TOLVEX_SOURCE_DIR"], "tests", "data", "edid")
    for connector, edid in [("card0-DP-1", "dell-d1918h.hex"), ("card0-VGA-1", "aoc-1619w.hex")]:
        folder = os.path.join(root, "sys", "class", "drm", connector)
        os.makedirs(folder)
        with open(os.path.join(folder, "status"), "w") as f:
            f.write("connected\n")
        with open(os.path.join(data, edid)) as f, open(os.path.join(folder, "edid"), "wb") as out:
            out.write(bytes.fromhex(f.read()))
    return root


MONITORS = monitor_tree()


def machines():
    found = [("this-machine", "/"), ("monitors", MONITORS)]
    base = os.path.join(FIXTURES, "extracted")
    if os.path.isdir(base):
        for group in sorted(os.listdir(base)):
            for tree in sorted(os.listdir(os.path.join(base, group))):
                found.append((f"{group}/{tree}", os.path.join(base, group, tree)))
    return found


# A host with a physical drive, as a snapshot built here: a drive's serial
# and world-wide name, the serial again inside the drive's PNP device ID, and
# a Null whose reason must survive the round trip.
DRIVE_PATH = r'\\disk-host\root\cimv2:{}.DeviceID="\\\\.\\PHYSICALDRIVE0"'
DRIVE_SNAPSHOT = {
    "Win32_DiskDrive": [{"path": DRIVE_PATH.format("Win32_DiskDrive"), "properties": {
        "Index": 0, "DeviceID": "\\\\.\\PHYSICALDRIVE0", "Model": "WDC WD40EFRX-68N32N0",
        "SerialNumber": "WD-WCC7K4XXKZ9P", "WWN": "0x50014ee2b8a4c5d6", "Size": "4000785948160",
        "PNPDeviceID": "SCSI\\DISK&VEN_WDC&PROD_WD40EFRX\\WD-WCC7K4XXKZ9P",
        "Status": "OK"}}],
    "Tolvex_DiskDriveHealth": [{
        "path": DRIVE_PATH.format("Tolvex_DiskDriveHealth"),
        "properties": {"DeviceID": "\\\\.\\PHYSICALDRIVE0", "Temperature": 36.5,
                       "SmartFailing": None},
        "reasons": {"SmartFailing": {"reason": "needs administrator rights",
                                     "source": "root\\wmi:MSStorageDriver_FailurePredictStatus",
                                     "remedy": "Run tolvex-query as administrator"}}}],
}


def run(*args):
    result = subprocess.run([QUERY, *args], capture_output=True, timeout=120)
    if result.returncode != 0:
        raise AssertionError(f"tolvex-query {' '.join(args)}: status {result.returncode}: "
                             f"{result.stderr.decode(errors='replace')}")
    return result.stdout


def identifying_values(answer):
    """Each identifying value of a --format json answer, with where it is."""
    found = []
    host = answer.get("tolvex:host", {})
    for value in [host.get("name")] + (host.get("addresses") or []):
        if isinstance(value, str) and (value == host.get("name") or ID_FORM.match(value)):
            found.append(("tolvex:host", value))
    for name, instances in answer.items():
        if ":" in name:
            continue
        for instance in instances:
            server = re.match(r"^\\\\([^\\]+)\\", instance["path"])
            if server:
                found.append((f"{name} path", server.group(1)))
            for prop, value in instance["properties"].items():
                if isinstance(value, str) and (ID_PROPERTY.search(prop) or ID_FORM.match(value)):
                    found.append((f"{name}.{prop}", value))
    return [(where, value) for where, value in found if identifies(value)]


def reasons(answer):
    """Each instance's Null reasons, class by class."""
    return {name: [instance.get("reasons", {}) for instance in instances]
            for name, instances in answer.items() if ":" not in name}


class Snapshots(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="tolvex-snapshot-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def save(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_a_snapshot_answers_as_the_machine_and_its_own_snapshot_is_the_same_file(self):
        for name, root in machines():
            with self.subTest(machine=name):
                taken = run("--format", "json", "--root", root)
                self.assertEqual(list(json.loads(taken))[-2:], META)
                snapshot = self.save("machine.json", taken)
                self.assertEqual(run("--snapshot", snapshot, "--format", "json"), taken)
                if root != "/":  # this machine's free memory and clock move on
                    for form in ["text", "prometheus"]:
                        self.assertEqual(run("--snapshot", snapshot, "--format", form),
                                         run("--root", root, "--format", form))

    def test_drives_and_their_null_reasons_survive_a_round_trip(self):
        built = self.save("drives.json", json.dumps(DRIVE_SNAPSHOT).encode())
        taken = run("--snapshot", built, "--format", "json")
        answer = json.loads(taken)
        self.assertEqual({k: [i["properties"] for i in v] for k, v in answer.items()},
                         {k: [i["properties"] for i in v] for k, v in DRIVE_SNAPSHOT.items()})
        self.assertEqual(answer["Tolvex_DiskDriveHealth"][0]["reasons"],
                         DRIVE_SNAPSHOT["Tolvex_DiskDriveHealth"][0]["reasons"])
        self.assertEqual(run("--snapshot", self.save("again.json", taken), "--format", "json"),
                         taken)

    def test_redaction_leaves_no_identifying_value_and_its_snapshot_opens(self):
        total = reasons_given = 0
        drives = self.save("drives.json", json.dumps(DRIVE_SNAPSHOT).encode())
        sources = [(name, ["--root", root]) for name, root in machines()]
        for name, source in sources + [("drives", ["--snapshot", drives])]:
            with self.subTest(machine=name):
                answer = json.loads(run("--format", "json", *source))
                values = identifying_values(answer)
                total += len(values)
                if name == "drives":
                    self.assertEqual({v for _, v in values},
                                     {"disk-host", "WD-WCC7K4XXKZ9P", "0x50014ee2b8a4c5d6"})
                redacted = {form: run("--format", form, "--redact", *source).decode()
                            for form in FORMATS}
                for form, text in redacted.items():
                    low = text.lower()
                    for where, value in values:
                        # A short value can be part of anything: it must at
                        # least be gone from its own place.
                        if len(value) >= 4:
                            self.assertNotIn(value.lower(), low, f"{where} in {form}")
                # Placeholders stand where the values stood, one per value.
                hidden = json.loads(redacted["json"])
                mapping = {}
                for (where, value), (_, placeholder) in zip(values, identifying_values(hidden)):
                    self.assertNotEqual(value, placeholder, where)
                    self.assertEqual(mapping.setdefault(value.lower(), placeholder), placeholder)
                self.assertEqual(len(set(mapping.values())), len(mapping))
                # Why a value is missing identifies no one: every reason stays.
                kept = reasons(answer)
                self.assertEqual(reasons(hidden), kept)
                reasons_given += len(kept)
                plain_text = run("--format", "text", *source).decode()
                self.assertEqual(re.findall(r"= Null \(.*\)$", redacted["text"], re.M),
                                 re.findall(r"= Null \(.*\)$", plain_text, re.M))
                snapshot = self.save("redacted.json", redacted["json"].encode())
                self.assertEqual(run("--snapshot", snapshot, "--format", "json").decode(),
                                 redacted["json"])
        self.assertGreater(total, 20)
        self.assertGreater(reasons_given, 20)

    def test_a_file_that_is_no_snapshot_is_refused_with_its_status(self):
        cases = [
            # contents, status, message
            (b"{\"Win32_Processor\": [", 65, "not JSON"),
            (b"{\"Win32_Processor\": [{\"path\": 1}]}", 65, "Win32_Processor[0]"),
            (b"[" * 200000, 65, "nested deeper"),
            (None, 66, "No such file or directory"),
        ]
        for contents, status, message in cases:
            with self.subTest(message=message):
                path = (self.save("bad.json", contents) if contents is not None
                        else os.path.join(self.dir, "missing.json"))
                result = subprocess.run([QUERY, "--snapshot", path], capture_output=True,
                                        timeout=60)
                self.assertEqual((result.returncode, result.stdout), (status, b""))
                self.assertIn(message, result.stderr.decode())
        result = subprocess.run([QUERY, "--snapshot", path, "--root", "/"], capture_output=True,
                                timeout=60)
        self.assertEqual(result.returncode, 64)


if __name__ == "__main__":
    try:
        unittest.main()
    finally:
        shutil.rmtree(MONITORS, True)
