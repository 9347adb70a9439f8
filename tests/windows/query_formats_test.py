"""tolvex-query.exe under Wine: each format written to a pipe, checked as on
Linux. JSON and the Prometheus format are data and come with LF line ends on
standard output as in a file (a CR before the LF breaks the Prometheus text
format: `promtool` and the node exporter refuse "gauge\\r"); the text format
is for reading and comes with the console's CR LF.

TOLVEX_QUERY_COMMAND is the command line that runs the program (through
tests/windows/run-on-xvfb and wine), one argument a line."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
os.environ.setdefault("TOLVEX_HOSTILE_ANSWERS", "")
os.environ.setdefault("TOLVEX_QUERY", "")
from node_exporter_test import METRICS, expected_series, parse, volatile_metrics  # noqa: E402

COMMAND = os.environ["TOLVEX_QUERY_COMMAND"].splitlines()
PROMTOOL = shutil.which("promtool")


def query(*args):
    done = subprocess.run(COMMAND + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=120, check=False)
    if done.returncode != 0:
        raise AssertionError(f"{args}: status {done.returncode}: {done.stderr.decode()}")
    return done.stdout


def schema_spelling(answer):
    """The answer with its property names spelt as the schema spells them:
    Wine's classes say "DeviceId" where the schema (and the Prometheus
    format, which matches names without regard to case) says "DeviceID"."""
    names = {}
    for _, _, labels, prop, _ in METRICS:
        for name in [p for _, p in labels] + ([prop] if prop else []):
            names[name.lower()] = name
    return {class_name: [{"path": i["path"],
                          "properties": {names.get(k.lower(), k): v
                                         for k, v in i["properties"].items()}}
                         for i in instances]
            for class_name, instances in answer.items() if ":" not in class_name}


class FormatsOnAPipe(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.json_bytes = query("--format", "json")
        cls.prometheus_bytes = query("--format", "prometheus")

    def test_json_has_lf_line_ends_and_parses(self):
        self.assertNotIn(b"\r", self.json_bytes)
        answer = json.loads(self.json_bytes.decode("utf-8"))
        self.assertIn("Win32_OperatingSystem", answer)
        # The host and the origin follow the classes, under keys with a colon.
        self.assertEqual([k for k in answer if ":" in k], ["tolvex:host", "tolvex:origin"])
        for class_name, instances in answer.items():
            if ":" in class_name:
                continue
            for instance in instances:
                self.assertIn("path", instance, class_name)
                self.assertIn("properties", instance, class_name)

    def test_prometheus_has_lf_line_ends_and_says_what_json_says(self):
        self.assertNotIn(b"\r", self.prometheus_bytes)
        error, samples = parse(self.prometheus_bytes.decode("utf-8"))
        self.assertIsNone(error)
        expected = expected_series(schema_spelling(json.loads(self.json_bytes.decode("utf-8"))))
        self.assertGreater(len(expected), 3)
        self.assertEqual(set(samples), set(expected))
        # Besides what changes on any running machine: Wine works the boot
        # time out anew in each process, seconds apart.
        volatile = volatile_metrics() | {"tolvex_operating_system_last_boot_time_seconds"}
        for key, value in expected.items():
            if key[0] not in volatile:
                self.assertEqual(samples[key], value, key)

    def test_promtool_accepts_the_prometheus_format(self):
        if not PROMTOOL:
            self.skipTest("promtool is not installed (Debian's prometheus package); "
                          "the Prometheus text was checked by the parser only")
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "tolvex.prom")
            with open(path, "wb") as out:
                out.write(self.prometheus_bytes)
            with open(path, "rb") as text:
                done = subprocess.run([PROMTOOL, "check", "metrics"], stdin=text,
                                      capture_output=True, timeout=60, check=False)
        self.assertEqual(done.returncode, 0, done.stdout.decode() + done.stderr.decode())

    def test_the_drives_of_wines_service_and_their_health_in_every_format(self):
        answer = json.loads(self.json_bytes.decode("utf-8"))
        drives = [i["properties"] for i in answer["Win32_DiskDrive"]]
        health = answer["Tolvex_DiskDriveHealth"]
        self.assertGreater(len(drives), 0)
        ids = [{k.lower(): v for k, v in d.items()}["deviceid"] for d in drives]
        # \\.\PHYSICALDRIVE0 on Windows; Wine doubles its backslashes.
        for device in ids:
            self.assertRegex(device, r"^\\+\.\\+PHYSICALDRIVE\d+$")
        # One health instance per drive, keyed by its DeviceID; whatever Wine
        # cannot answer is Null with its reason, never a failure.
        self.assertEqual([h["properties"]["DeviceID"] for h in health], ids)
        for instance in health:
            for name, value in instance["properties"].items():
                if value is None:
                    self.assertTrue(instance["reasons"][name]["reason"], name)
        _, samples = parse(self.prometheus_bytes.decode("utf-8"))
        self.assertEqual(sorted(dict(labels)["device_id"] for name, labels in samples
                                if name == "tolvex_disk_drive_info"), sorted(ids))
        text = query("Win32_DiskDrive", "Tolvex_DiskDriveHealth").decode("utf-8")
        self.assertIn(":Tolvex_DiskDriveHealth.DeviceID=", text)
        self.assertIn("PHYSICALDRIVE0", text)

    def test_text_has_the_consoles_line_ends(self):
        text = query("Win32_OperatingSystem")
        self.assertGreater(text.count(b"\r\n"), 3)
        self.assertEqual(text.count(b"\n"), text.count(b"\r\n"))
        self.assertIn(b"Caption = ", text)


if __name__ == "__main__":
    unittest.main()
