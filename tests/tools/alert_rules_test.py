"""The metrics and the alerting rules, checked with promtool.

`promtool check metrics` must find nothing to say about `--format prometheus`
for every captured machine, the hostile tree, the hostile answers and this
machine; `promtool check rules` must accept integrations/prometheus/
tolvex-alerts.yml; and `promtool test rules` runs every alert against a
fleet whose series are real tolvex-query output: the captured two-socket
server, and copies of its tree with one change each (a memory module taken
out, a network adapter, the disk controller or the second processor gone,
another board, a drive filling up, a bridge gone), and the same server's
answer with physical drives added (a drive swapped, gone, failing, too hot:
states no machine here can produce), next to unchanged hosts. Each alert
must fire for its change on its host only, stay quiet on an unchanged fleet
and on adapters without a manufacturer, and resolve."""

import glob
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest

from prometheus_client.parser import text_string_to_metric_families

import fleet

PROMTOOL = shutil.which("promtool", path="/usr/bin:/bin") or shutil.which("promtool")
RULES = os.path.join(os.environ["TOLVEX_SOURCE_DIR"], "integrations", "prometheus",
                     "tolvex-alerts.yml")
HOSTILE_ANSWERS = os.environ["TOLVEX_HOSTILE_ANSWERS"]
SERVER = "hwloc/32em64t-2n8c+dax+nvme+mic+dimms.tar.bz2"
LAPTOP = "hwloc/20em64t-hybrid-1p6c2t+2ca4co1t.tar.bz2"
# The trees are thousands of small files: in memory where possible.
SHM = "/dev/shm" if os.access("/dev/shm", os.W_OK | os.X_OK) else None

ALERTS = ["TolvexMemoryModuleMissing", "TolvexInstalledMemoryDropped",
          "TolvexHardwareDisappeared", "TolvexHardwareAppeared", "TolvexBaseBoardChanged",
          "TolvexDiskDriveFailing", "TolvexDiskDriveTooHot", "TolvexLogicalDiskAlmostFull",
          "TolvexTextfileStale", "TolvexTextfileUnreadable"]

# The server's local drives as statvfs would answer (fragment size, blocks,
# free, available): its tree was captured without them.
SERVER_DRIVES = ["/", "/var", "/tacc", "/tmp"]


def statvfs_sidecar(available_on_root):
    lines = ["hostname = server"]
    for mount in SERVER_DRIVES:
        available = available_on_root if mount == "/" else 400000
        lines.append(f"statvfs:{mount} = 4096 1000000 {available} {available}")
    return "\n".join(lines) + "\n"


def replace_file(path, content):
    # The copy shares its files with the original (hard links): replace, never
    # write in place.
    os.unlink(path)
    with open(path, "wb" if isinstance(content, bytes) else "w") as f:
        f.write(content)


def take_out_module(root, locator):
    """Empties the memory slot `locator` in the firmware's table, as the
    firmware reports a module that failed or was pulled: size 0."""
    entries = os.path.join(root, "sys/firmware/dmi/entries")
    for entry in os.listdir(entries):
        if not entry.startswith("17-"):
            continue
        path = os.path.join(entries, entry, "raw")
        with open(path, "rb") as f:
            raw = bytearray(f.read())
        strings = raw[raw[1]:].split(b"\0")
        if raw[0x10] and strings[raw[0x10] - 1].strip() == locator.encode():
            raw[0x0C:0x0E] = b"\0\0"
            replace_file(path, bytes(raw))
            return
    raise AssertionError(f"no memory slot {locator}")


# A monitor on the server's first connector: the real EDID of a Dell D1918H
# (tests/data/edid), as the kernel shows a connected one.
MONITOR = "sys/class/drm/card0-DP-1"


def edid_bytes(name):
    with open(os.path.join(os.environ["TOLVEX_SOURCE_DIR"], "tests", "data", "edid", name)) as f:
        return bytes.fromhex(f.read())


def plug_in_monitor(root):
    os.makedirs(os.path.join(root, MONITOR))
    for name, content in [("status", b"connected\n"), ("enabled", b"enabled\n"),
                          ("edid", edid_bytes("dell-d1918h.hex"))]:
        with open(os.path.join(root, MONITOR, name), "wb") as f:
            f.write(content)


def unplug_monitor(root):
    # The kernel keeps the connector and empties its EDID.
    replace_file(os.path.join(root, MONITOR, "status"), b"disconnected\n")
    replace_file(os.path.join(root, MONITOR, "edid"), b"")


def drop_second_socket(root):
    path = os.path.join(root, "proc/cpuinfo")
    with open(path) as f:
        blocks = f.read().strip().split("\n\n")
    kept = [b for b in blocks if "physical id\t: 1\n" not in b + "\n"]
    replace_file(path, "\n\n".join(kept) + "\n")


def drive(device_id, model, serial, size, health):
    """A fixed drive of the server as its Win32_DiskDrive and
    Tolvex_DiskDriveHealth instances."""
    def path(class_name):
        return f'\\\\server\\root\\cimv2:{class_name}.DeviceID="{device_id}"'
    return ({"path": path("Win32_DiskDrive"), "properties": {
                "DeviceID": device_id, "Model": model, "Manufacturer": None,
                "SerialNumber": serial, "FirmwareRevision": "1.0", "Size": str(size),
                "InterfaceType": "SCSI", "MediaType": "Fixed hard disk media", "Status": "OK"}},
            {"path": path("Tolvex_DiskDriveHealth"),
             "properties": dict({"DeviceID": device_id, "Temperature": None,
                                 "TemperatureWarning": None, "TemperatureCritical": None,
                                 "SmartFailing": False}, **health)})


# An NVMe drive that reports its limits and a SATA disk that reports none
# (the rules' default of 70 °C holds for it), and the changes of each.
def drives(sda_serial="ZC1A2B3C", sda=None, nvme=None, without_sda=False):
    out = [drive("/dev/nvme0n1", "Samsung SSD 980 PRO 1TB", "S5GXNF0R912345A", 1000204886016,
                 dict({"Temperature": 41.0, "TemperatureWarning": 82.0,
                       "TemperatureCritical": 85.0}, **(nvme or {})))]
    if not without_sda:
        out.append(drive("/dev/sda", "ST4000NM0035-1V4107", sda_serial, 4000787030016,
                         dict({"Temperature": 35.0}, **(sda or {}))))
    return out


DRIVES = {
    "drives": drives(),
    "drive swapped": drives(sda_serial="ZC1X9Y8Z"),
    "drive gone": drives(without_sda=True),
    "drive failing": drives(sda={"SmartFailing": True}),
    # Each at its critical limit: its own, and the default.
    "drive hot": drives(nvme={"Temperature": 85.0}, sda={"Temperature": 70.0}),
    "drive warm": drives(nvme={"Temperature": 84.5}, sda={"Temperature": 69.5}),
    # Drives the inventory leaves out: a USB stick, and a disk without serial.
    "with unkept": drives() + [
        (dict(d, properties=dict(d["properties"], MediaType="Removable Media")), h)
        for d, h in [drive("/dev/sdb", "Ultra Fit", "4C530001", 30752636928, {})]] + [
        drive("/dev/vda", "QEMU HARDDISK", None, 10737418240, {})],
}


class Server:
    """The captured server (with statvfs answers for its drives) and copies of
    its tree with one change each, as tolvex-query --format prometheus prints
    them."""

    VARIANTS = {
        "base": lambda root: None,
        "module out": lambda root: take_out_module(root, "DIMM_A1"),
        "adapter out": lambda root: os.unlink(os.path.join(root, "sys/class/net/eth1")),
        # A bridge: an adapter without a manufacturer, which the alerts leave out.
        "bridge out": lambda root: os.unlink(os.path.join(root, "sys/class/net/br0")),
        "controller out": lambda root: os.unlink(
            os.path.join(root, "sys/bus/pci/devices/0000:00:02.0")),
        "socket out": drop_second_socket,
        "monitor out": unplug_monitor,
        "other board": lambda root: replace_file(
            os.path.join(root, "sys/class/dmi/id/board_serial"), "CN7016343A0042\n"),
        "drive full": lambda root: replace_file(os.path.join(root, "tolvex-syscalls.ini"),
                                                statvfs_sidecar(30000)),
    }

    def __init__(self, into, variants=None):
        os.makedirs(into, exist_ok=True)
        root = fleet.unpack(os.path.join(fleet.FIXTURES, "sysroots", SERVER), into)
        with open(os.path.join(root, "tolvex-syscalls.ini"), "w") as f:
            f.write(statvfs_sidecar(400000))
        plug_in_monitor(root)
        self.roots = {}
        self.text = {}
        for name in variants or self.VARIANTS:
            copy = os.path.join(into, name.replace(" ", "-"))
            shutil.copytree(root, copy, symlinks=True, copy_function=os.link)
            self.VARIANTS[name](copy)
            self.roots[name] = copy
            self.text[name] = fleet.query("--format", "prometheus", "--root", copy).decode()

    def with_drives(self, drives, variant="base", output=None):
        """The variant's text with `drives` added to its answer, through a
        snapshot that tolvex-query reads back (and writes to `output`)."""
        answer = fleet.query_json(self.roots[variant])
        classes = {k: v for k, v in answer.items() if ":" not in k}
        classes["Win32_DiskDrive"] = [d for d, _ in drives]
        classes["Tolvex_DiskDriveHealth"] = [h for _, h in drives]
        classes.update({k: v for k, v in answer.items() if ":" in k})
        path = os.path.join(os.path.dirname(self.roots[variant]), "drives.json")
        with open(path, "w") as f:
            json.dump(classes, f)
        text = fleet.query("--format", "prometheus", "--snapshot", path).decode()
        if output:
            fleet.query("--format", "prometheus", "--snapshot", path, "--output", output)
        return text

    def series(self, variant, name):
        return [labels for n, labels, _ in samples(self.text[variant]) if n == name]


def samples(text):
    return [(s.name, {k: v for k, v in s.labels.items() if v != ""}, s.value)
            for family in text_string_to_metric_families(text) for s in family.samples]


def series_name(name, labels):
    # PromQL's label strings take the escapes JSON writes.
    pairs = ",".join(f"{k}={json.dumps(v, ensure_ascii=False)}" for k, v in sorted(labels.items()))
    return f"{name}{{{pairs}}}"


UNREADABLE = "unreadable"  # the textfile cannot be parsed
MISSING = "missing"  # no textfile at all


class Phase:
    def __init__(self, text, steps, refreshed=True):
        self.text, self.steps, self.refreshed = text, steps, refreshed


def host_series(instance, phases, interval_s):
    """The input series of one host: what the node exporter would serve at
    each step, the textfile's samples and its own (error, file time)."""
    steps = []
    mtime = None
    for phase in phases:
        for _ in range(phase.steps):
            t = len(steps) * interval_s
            values = {}
            error = 1.0 if phase.text == UNREADABLE else 0.0
            values[("node_textfile_scrape_error", ())] = error
            if phase.text not in (UNREADABLE, MISSING):
                if phase.refreshed or mtime is None:
                    mtime = float(t - t % 900)  # the timer writes every 15 minutes
                values[("node_textfile_mtime_seconds", (("file", "tolvex.prom"),))] = mtime
                for name, labels, value in samples(phase.text):
                    values[(name, tuple(sorted(labels.items())))] = value
            steps.append(values)
    keys = {key for values in steps for key in values}
    out = []
    for name, labels in sorted(keys):
        text, seen = [], False
        for values in steps:
            value = values.get((name, labels))
            if value is not None:
                text.append(repr(value))
                seen = True
            else:
                # A series gone from a scrape is marked stale at once.
                text.append("stale" if seen else "_")
                seen = False
        out.append({"series": series_name(name, dict(labels, job="node", instance=instance)),
                    "values": " ".join(text)})
    return out


def alert(alertname, instance, severity, summary, description, **labels):
    return {"exp_labels": dict(labels, alertname=alertname, severity=severity, job="node",
                               instance=instance),
            "exp_annotations": {"summary": summary, "description": description}}


def checks(at, expected):
    """One check per alert at each time: exactly the alerts `expected` names
    fire, every other alert is quiet."""
    return [{"eval_time": t, "alertname": name, "exp_alerts": expected.get(t, {}).get(name, [])}
            for t in at for name in ALERTS]


@unittest.skipUnless(PROMTOOL, "promtool (Debian's prometheus) is not installed")
class PromtoolChecksMetrics(unittest.TestCase):
    def check(self, text):
        result = subprocess.run([PROMTOOL, "check", "metrics"], input=text, capture_output=True,
                                timeout=60)
        self.assertEqual((result.returncode, result.stdout + result.stderr), (0, b""))

    def test_every_captured_machine_the_hostile_ones_and_this_one(self):
        archives = sorted(glob.glob(os.path.join(fleet.FIXTURES, "sysroots", "*", "*.tar.*")))
        work = tempfile.mkdtemp(prefix="tolvex-lint-", dir=SHM)
        try:
            roots = [("this-machine", "/"), ("hostile", fleet.hostile_tree(work))]
            for archive in archives:
                into = tempfile.mkdtemp(dir=work)
                roots.append((os.path.basename(archive), fleet.unpack(archive, into)))
            for name, root in roots:
                with self.subTest(machine=name):
                    self.check(fleet.query("--format", "prometheus", "--root", root))
        finally:
            shutil.rmtree(work, ignore_errors=True)
        with self.subTest(machine="hostile answers"):
            self.check(subprocess.run([HOSTILE_ANSWERS, "prometheus"], capture_output=True,
                                      check=True, timeout=60).stdout)
        if fleet.FIXTURES and not archives:
            self.skipTest(f"no captured machines at {fleet.FIXTURES}")


@unittest.skipUnless(PROMTOOL, "promtool (Debian's prometheus) is not installed")
class PromtoolTestsRules(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="tolvex-rules-", dir=SHM)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def test_promtool_accepts_the_rules(self):
        result = subprocess.run([PROMTOOL, "check", "rules", RULES], capture_output=True,
                                timeout=60)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        # One history window, though two rules (and the comments) write it.
        with open(RULES) as f:
            self.assertEqual(set(re.findall(r"\[(\w+)\]", f.read())), {"1d"})

    def run_tests(self, interval, tests):
        path = os.path.join(self.dir, "tests.yml")
        with open(path, "w") as f:
            json.dump({"rule_files": [RULES], "evaluation_interval": interval, "tests": tests}, f)
        result = subprocess.run([PROMTOOL, "test", "rules", path], capture_output=True,
                                timeout=240)
        self.assertEqual(result.returncode, 0, (result.stdout + result.stderr).decode())

    def test_every_alert_fires_on_its_change_only_and_resolves(self):
        if not os.path.exists(os.path.join(fleet.FIXTURES, "sysroots", SERVER)):
            self.skipTest(f"the captured server is not at {fleet.FIXTURES}")
        server = Server(self.dir)
        laptop_root = fleet.unpack(os.path.join(fleet.FIXTURES, "sysroots", LAPTOP),
                                   tempfile.mkdtemp(dir=self.dir))
        laptop = fleet.query("--format", "prometheus", "--root", laptop_root).decode()
        base = server.text["base"]

        def gone(variant, metric, before="base", ignore=None):
            def strip(labels):
                return {k: v for k, v in labels.items() if k != ignore}
            after = [strip(labels) for labels in server.series(variant, metric)]
            return [strip(labels) for labels in server.series(before, metric)
                    if strip(labels) not in after]

        # Minute steps: a module taken out for an hour and put back; a drive
        # filling up for an hour; a textfile that stops being refreshed, one
        # that cannot be read and one that is deleted, each for a while.
        minute = []
        minute += host_series("server-a", [Phase(base, 60), Phase(server.text["module out"], 60),
                                           Phase(base, 60)], 60)
        minute += host_series("server-b", [Phase(base, 30), Phase(server.text["drive full"], 60),
                                           Phase(base, 90)], 60)
        minute += host_series("server-c", [Phase(base, 30), Phase(base, 120, refreshed=False),
                                           Phase(base, 30)], 60)
        minute += host_series("server-d", [Phase(base, 60), Phase(UNREADABLE, 30),
                                           Phase(MISSING, 30), Phase(base, 60)], 60)
        minute += host_series("laptop", [Phase(laptop, 180)], 60)
        text = {name: server.with_drives(d) for name, d in DRIVES.items()}
        minute += host_series("server-e", [Phase(text["drives"], 30),
                                           Phase(text["drive failing"], 60),
                                           Phase(text["drive hot"], 60),
                                           Phase(text["drive warm"], 30)], 60)

        slot = gone("module out", "tolvex_physical_memory_info", ignore="tag")
        self.assertEqual([s["device_locator"].strip() for s in slot], ["DIMM_A1"])
        locator = slot[0]["device_locator"]
        memory = {
            "TolvexMemoryModuleMissing": [alert(
                "TolvexMemoryModuleMissing", "server-a", "critical",
                "Memory module missing on server-a",
                f'server-a no longer reports the 4GiB memory module in slot "{locator}" '
                '(bank ""), which it reported in the last day.',
                part="memory module", device_locator=locator)],
            "TolvexInstalledMemoryDropped": [alert(
                "TolvexInstalledMemoryDropped", "server-a", "critical",
                "Installed memory dropped on server-a",
                "server-a reports 4GiB less installed memory than it did in the last day.",
                part="installed memory")],
        }
        failing = {"TolvexDiskDriveFailing": [alert(
            "TolvexDiskDriveFailing", "server-e", "critical",
            "Disk drive /dev/sda of server-e is failing",
            'SMART says the drive /dev/sda ("ST4000NM0035-1V4107", serial number "ZC1A2B3C") of '
            "server-e is failing: back up its data and replace it.",
            device_id="/dev/sda", model="ST4000NM0035-1V4107", serial_number="ZC1A2B3C")]}
        hot = [alert("TolvexDiskDriveTooHot", "server-e", "critical",
                     f"Disk drive {device} of server-e is too hot",
                     f"The drive {device} of server-e is at {celsius} °C, at or above its "
                     "critical temperature.", device_id=device)
               for device, celsius in [("/dev/nvme0n1", 85), ("/dev/sda", 70)]]
        minute_expected = {
            "45m": failing,
            "70m": dict(memory, **failing, **{
                "TolvexLogicalDiskAlmostFull": [alert(
                    "TolvexLogicalDiskAlmostFull", "server-b", "warning",
                    "Drive / of server-b is almost full",
                    "/ (EXT3) on server-b has 3% of its space free.",
                    device_id="/", file_system="EXT3")],
                "TolvexTextfileUnreadable": [alert(
                    "TolvexTextfileUnreadable", "server-d", "warning",
                    "Tolvex metrics of server-d are unreadable",
                    "The node exporter of server-d serves no Tolvex metrics, which it did in the "
                    "last day: the textfile cannot be parsed (node_textfile_scrape_error is 1).")],
            }),
            "100m": dict(memory, TolvexDiskDriveTooHot=hot, **{
                "TolvexTextfileUnreadable": [alert(
                    "TolvexTextfileUnreadable", "server-d", "warning",
                    "Tolvex metrics of server-d are unreadable",
                    "The node exporter of server-d serves no Tolvex metrics, which it did in the "
                    "last day: the textfile is missing.")],
                "TolvexTextfileStale": [alert(
                    "TolvexTextfileStale", "server-c", "warning",
                    "Tolvex metrics of server-c are stale",
                    "The Tolvex textfile of server-c was last written 1h 25m 0s ago; "
                    "tolvex-textfile.service is not refreshing it.", file="tolvex.prom")],
            }),
        }
        self.run_tests("1m", [{
            "name": "memory, drives and the textfile, minute by minute",
            "interval": "1m",
            "input_series": minute,
            "alert_rule_test": checks(["20m", "45m", "70m", "100m", "170m"], minute_expected),
        }])

        # Quarter-hour steps over more than the one-day history: parts that
        # disappear (one comes back after two hours), appear, a new board.
        # A change is reported until the part is back or a day has passed.
        quarter = []
        hours = 29
        for instance, before, after, back in [
                ("adapter-back", "base", "adapter out", 4),
                ("adapter-gone", "base", "adapter out", 0),
                ("adapter-added", "adapter out", "base", 0),
                ("bridge-gone", "base", "bridge out", 0), ("bridge-added", "bridge out", "base", 0),
                ("controller-gone", "base", "controller out", 0),
                ("controller-added", "controller out", "base", 0),
                ("socket-gone", "base", "socket out", 0), ("socket-added", "socket out", "base", 0),
                ("monitor-gone", "base", "monitor out", 0),
                ("monitor-added", "monitor out", "base", 0),
                ("board-changed", "base", "other board", 0), ("unchanged", "base", "base", 0)]:
            phases = [Phase(server.text[before], 8)]
            if back:
                phases += [Phase(server.text[after], 4 * (back - 2)),
                           Phase(server.text[before], 4 * (hours - back))]
            else:
                phases += [Phase(server.text[after], 4 * (hours - 2))]
            quarter += host_series(instance, phases, 900)
        quarter += host_series("laptop", [Phase(laptop, 4 * hours)], 900)
        for instance, before, after in [("drive-gone", "drives", "drive gone"),
                                        ("drive-swapped", "drives", "drive swapped"),
                                        ("unkept-gone", "with unkept", "drives")]:
            quarter += host_series(instance, [Phase(server.with_drives(DRIVES[before]), 8),
                                              Phase(server.with_drives(DRIVES[after]),
                                                    4 * (hours - 2))], 900)

        def part(labels, keys):
            return {k: labels[k] for k in keys if k in labels}

        def change(name, instance, part_name, labels):
            where = (labels.get("device_id") or labels.get("mac_address") or
                     (f'{labels["manufacturer"]} {labels["product_code"]}, '
                      f'serial number "{labels["serial_number"]}"' if "product_code" in labels
                      else f'serial number {labels["serial_number"]}'))
            if name == "TolvexHardwareDisappeared":
                summary = f"A {part_name} disappeared from {instance}"
                description = (f'{instance} no longer reports the {part_name} "{labels["name"]}" '
                               f"({where}), which it reported in the last day.")
            else:
                summary = f"A {part_name} appeared on {instance}"
                description = (f'{instance} reports the {part_name} "{labels["name"]}" ({where}), '
                               "which it did not report all through the last day.")
            return alert(name, instance, "warning", summary, description, part=part_name, **labels)

        [adapter] = [part(a, ["name", "mac_address"])
                     for a in gone("adapter out", "tolvex_network_adapter_info")]
        # The bridge is reported, without a manufacturer.
        [bridge] = gone("bridge out", "tolvex_network_adapter_info")
        self.assertNotIn("manufacturer", bridge)
        [controller] = [part(c, ["device_id", "name"])
                        for c in gone("controller out", "tolvex_scsi_controller_info")]
        [socket] = [part(p, ["device_id", "name"])
                    for p in gone("socket out", "tolvex_processor_info")]
        [monitor] = [part(m, ["manufacturer", "product_code", "serial_number", "name"])
                     for m in gone("monitor out", "tolvex_monitor_info")]
        self.assertEqual(monitor, {"manufacturer": "DEL", "product_code": "8197",
                                   "serial_number": "2C8FJ8255K5E", "name": "D1918H"})
        [board] = [part(b, ["manufacturer", "product", "version", "serial_number"])
                   for b in gone("base", "tolvex_baseboard_info", before="other board")]
        self.assertEqual(board.get("serial_number"), "CN7016343A0042")
        old_disk = {"name": "ST4000NM0035-1V4107", "model": "ST4000NM0035-1V4107",
                    "serial_number": "ZC1A2B3C"}
        new_disk = dict(old_disk, serial_number="ZC1X9Y8Z")
        disappeared = [change("TolvexHardwareDisappeared", "adapter-gone", "network adapter",
                              adapter),
                       change("TolvexHardwareDisappeared", "drive-gone", "disk drive", old_disk),
                       change("TolvexHardwareDisappeared", "drive-swapped", "disk drive",
                              old_disk),
                       change("TolvexHardwareDisappeared", "controller-gone", "disk controller",
                              controller),
                       change("TolvexHardwareDisappeared", "socket-gone", "processor", socket),
                       change("TolvexHardwareDisappeared", "monitor-gone", "monitor", monitor)]
        appeared = [change("TolvexHardwareAppeared", "adapter-added", "network adapter", adapter),
                    change("TolvexHardwareAppeared", "drive-swapped", "disk drive", new_disk),
                    change("TolvexHardwareAppeared", "controller-added", "disk controller",
                           controller),
                    change("TolvexHardwareAppeared", "socket-added", "processor", socket),
                    change("TolvexHardwareAppeared", "monitor-added", "monitor", monitor)]
        board_changed = [alert(
            "TolvexBaseBoardChanged", "board-changed", "warning",
            "The base board of board-changed changed",
            'board-changed now reports the base board "Dell 0W6W6G" version "A00", serial number '
            '"CN7016343A0042", which differs from the board it reported in the last day.',
            part="base board", **board)]
        back = change("TolvexHardwareAppeared", "adapter-back", "network adapter", adapter)
        changed = {"TolvexHardwareAppeared": appeared, "TolvexBaseBoardChanged": board_changed,
                   "TolvexHardwareDisappeared": disappeared}
        quarter_expected = {
            "3h": dict(changed, TolvexHardwareDisappeared=[change(
                "TolvexHardwareDisappeared", "adapter-back", "network adapter", adapter)] +
                disappeared),
            # Back after two hours: reported as appeared again while its
            # absence is within the day.
            "5h": dict(changed, TolvexHardwareAppeared=[back] + appeared),
            "25h": dict(changed, TolvexHardwareAppeared=[back] + appeared),
            "27h30m": {"TolvexHardwareAppeared": [back]},
        }
        self.run_tests("15m", [{
            "name": "parts and boards, quarter-hour by quarter-hour",
            "interval": "15m",
            "input_series": quarter,
            "alert_rule_test": checks(["1h", "3h", "5h", "25h", "27h30m", "28h30m"],
                                      quarter_expected),
        }])


if __name__ == "__main__":
    unittest.main()
