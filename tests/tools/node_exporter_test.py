"""tolvex-query --format prometheus read by the real node exporter.

One exporter, on 127.0.0.1 at a free port with only the textfile collector,
reads a folder whose tolvex.prom is written by `tolvex-query --output` for
this machine, for captured machines and for a hostile one in turn; each
scrape must report no textfile error, and every Tolvex sample must be what
`--format json` says about the same machine."""

import calendar
import os
import re
import shutil
import socket
import subprocess
import tempfile
import threading
import time
import unittest
import urllib.request

from prometheus_client.parser import text_string_to_metric_families

import fleet

EXPORTER = shutil.which("prometheus-node-exporter") or "/usr/bin/prometheus-node-exporter"
HOSTILE_ANSWERS = os.environ["TOLVEX_HOSTILE_ANSWERS"]

MHZ = 1e6
KIB = 1024
DATETIME = "datetime"
PASSED = "passed"  # a Boolean that says failing, as 1 for passed and 0 for failing
HOURS = 3600
BOOLEAN = "boolean"
CENTIMETRES = "centimetres"

# The metrics as the documentation describes them: (metric, class, labels as
# (label, property), the property giving the value or None for an info
# metric, the factor to base units).
PROCESSOR_KEY = [("device_id", "DeviceID")]
DRIVE_KEY = [("device_id", "DeviceID")]
DISK_LABELS = [("device_id", "DeviceID"), ("file_system", "FileSystem"),
               ("volume_name", "VolumeName")]
METRICS = [
    ("tolvex_processor_info", "Win32_Processor",
     [("device_id", "DeviceID"), ("name", "Name"), ("manufacturer", "Manufacturer"),
      ("caption", "Caption"), ("processor_id", "ProcessorId"),
      ("socket_designation", "SocketDesignation")], None, 1),
    ("tolvex_processor_cores", "Win32_Processor", PROCESSOR_KEY, "NumberOfCores", 1),
    ("tolvex_processor_logical_processors", "Win32_Processor", PROCESSOR_KEY,
     "NumberOfLogicalProcessors", 1),
    ("tolvex_processor_current_clock_speed_hertz", "Win32_Processor", PROCESSOR_KEY,
     "CurrentClockSpeed", MHZ),
    ("tolvex_processor_max_clock_speed_hertz", "Win32_Processor", PROCESSOR_KEY,
     "MaxClockSpeed", MHZ),
    ("tolvex_processor_external_clock_hertz", "Win32_Processor", PROCESSOR_KEY, "ExtClock", MHZ),
    ("tolvex_processor_l2_cache_size_bytes", "Win32_Processor", PROCESSOR_KEY, "L2CacheSize",
     KIB),
    ("tolvex_processor_l3_cache_size_bytes", "Win32_Processor", PROCESSOR_KEY, "L3CacheSize",
     KIB),
    ("tolvex_physical_memory_info", "Win32_PhysicalMemory",
     [("tag", "Tag"), ("bank_label", "BankLabel"), ("device_locator", "DeviceLocator"),
      ("manufacturer", "Manufacturer"), ("part_number", "PartNumber"),
      ("serial_number", "SerialNumber")], None, 1),
    ("tolvex_physical_memory_capacity_bytes", "Win32_PhysicalMemory",
     [("tag", "Tag"), ("bank_label", "BankLabel"), ("device_locator", "DeviceLocator")],
     "Capacity", 1),
    ("tolvex_baseboard_info", "Win32_BaseBoard",
     [("tag", "Tag"), ("manufacturer", "Manufacturer"), ("product", "Product"),
      ("version", "Version"), ("serial_number", "SerialNumber")], None, 1),
    ("tolvex_motherboard_device_info", "Win32_MotherboardDevice",
     [("device_id", "DeviceID"), ("primary_bus_type", "PrimaryBusType"),
      ("secondary_bus_type", "SecondaryBusType")], None, 1),
    ("tolvex_network_adapter_info", "Win32_NetworkAdapter",
     [("device_id", "DeviceID"), ("name", "Name"), ("net_connection_id", "NetConnectionID"),
      ("adapter_type", "AdapterType"), ("manufacturer", "Manufacturer"),
      ("mac_address", "MACAddress")], None, 1),
    ("tolvex_video_controller_info", "Win32_VideoController",
     [("device_id", "DeviceID"), ("name", "Name"), ("video_processor", "VideoProcessor"),
      ("driver_version", "DriverVersion"),
      ("video_mode_description", "VideoModeDescription")], None, 1),
    ("tolvex_video_controller_adapter_ram_bytes", "Win32_VideoController",
     [("device_id", "DeviceID")], "AdapterRAM", 1),
    ("tolvex_video_controller_current_refresh_rate_hertz", "Win32_VideoController",
     [("device_id", "DeviceID")], "CurrentRefreshRate", 1),
    ("tolvex_scsi_controller_info", "Win32_SCSIController",
     [("device_id", "DeviceID"), ("name", "Name"), ("manufacturer", "Manufacturer"),
      ("driver_name", "DriverName")], None, 1),
    ("tolvex_logical_disk_info", "Win32_LogicalDisk",
     DISK_LABELS + [("volume_serial_number", "VolumeSerialNumber"),
                    ("drive_type", "DriveType")], None, 1),
    ("tolvex_logical_disk_size_bytes", "Win32_LogicalDisk", DISK_LABELS, "Size", 1),
    ("tolvex_logical_disk_free_bytes", "Win32_LogicalDisk", DISK_LABELS, "FreeSpace", 1),
    ("tolvex_disk_drive_info", "Win32_DiskDrive",
     [("device_id", "DeviceID"), ("model", "Model"), ("manufacturer", "Manufacturer"),
      ("serial_number", "SerialNumber"), ("firmware_revision", "FirmwareRevision"),
      ("interface_type", "InterfaceType"), ("media_type", "MediaType"), ("status", "Status")],
     None, 1),
    ("tolvex_disk_drive_size_bytes", "Win32_DiskDrive", DRIVE_KEY, "Size", 1),
    ("tolvex_disk_drive_temperature_celsius", "Tolvex_DiskDriveHealth", DRIVE_KEY,
     "Temperature", 1),
    ("tolvex_disk_drive_warning_temperature_celsius", "Tolvex_DiskDriveHealth", DRIVE_KEY,
     "TemperatureWarning", 1),
    ("tolvex_disk_drive_critical_temperature_celsius", "Tolvex_DiskDriveHealth", DRIVE_KEY,
     "TemperatureCritical", 1),
    ("tolvex_disk_drive_smart_status", "Tolvex_DiskDriveHealth", DRIVE_KEY, "SmartFailing",
     PASSED),
    ("tolvex_disk_drive_power_on_seconds", "Tolvex_DiskDriveHealth", DRIVE_KEY, "PowerOnHours",
     HOURS),
    ("tolvex_disk_drive_bad_sectors", "Tolvex_DiskDriveHealth", DRIVE_KEY, "BadSectors", 1),
    ("tolvex_monitor_info", "WmiMonitorID",
     [("instance_name", "InstanceName"), ("manufacturer", "ManufacturerName"),
      ("product_code", "ProductCodeID"), ("serial_number", "SerialNumberID"),
      ("name", "UserFriendlyName"), ("week_of_manufacture", "WeekOfManufacture"),
      ("year_of_manufacture", "YearOfManufacture")], None, 1),
    ("tolvex_monitor_active", "WmiMonitorID", [("instance_name", "InstanceName")], "Active",
     BOOLEAN),
    ("tolvex_monitor_max_image_width_meters", "WmiMonitorID",
     [("instance_name", "InstanceName")], "MaxHorizontalImageSize", CENTIMETRES),
    ("tolvex_monitor_max_image_height_meters", "WmiMonitorID",
     [("instance_name", "InstanceName")], "MaxVerticalImageSize", CENTIMETRES),
    ("tolvex_operating_system_info", "Win32_OperatingSystem",
     [("name", "Name"), ("caption", "Caption"), ("version", "Version"),
      ("build_number", "BuildNumber"), ("build_type", "BuildType"),
      ("manufacturer", "Manufacturer"), ("cs_name", "CSName"),
      ("boot_device", "BootDevice")], None, 1),
    ("tolvex_operating_system_visible_memory_bytes", "Win32_OperatingSystem", [],
     "TotalVisibleMemorySize", KIB),
    ("tolvex_operating_system_free_physical_memory_bytes", "Win32_OperatingSystem", [],
     "FreePhysicalMemory", KIB),
    ("tolvex_operating_system_virtual_memory_bytes", "Win32_OperatingSystem", [],
     "TotalVirtualMemorySize", KIB),
    ("tolvex_operating_system_free_virtual_memory_bytes", "Win32_OperatingSystem", [],
     "FreeVirtualMemory", KIB),
    ("tolvex_operating_system_paging_files_size_bytes", "Win32_OperatingSystem", [],
     "SizeStoredInPagingFiles", KIB),
    ("tolvex_operating_system_paging_files_free_bytes", "Win32_OperatingSystem", [],
     "FreeSpaceInPagingFiles", KIB),
    ("tolvex_operating_system_last_boot_time_seconds", "Win32_OperatingSystem", [],
     "LastBootUpTime", DATETIME),
]


def label_text(value):
    if value is None:
        return ""
    if isinstance(value, bool):
        return "true" if value else "false"
    return str(value)


def number(value, factor):
    """The sample's value, or None where the sample is left out."""
    if factor == PASSED:
        return (0.0 if value else 1.0) if isinstance(value, bool) else None
    if isinstance(value, bool):
        return float(value) if factor == BOOLEAN else None
    if value is None or factor == BOOLEAN:
        return None
    if factor == CENTIMETRES:
        return float(value) / 100 if isinstance(value, int) else None
    if isinstance(value, (int, float)):
        return float(value) * factor if factor != DATETIME else None
    if factor == DATETIME:
        match = re.fullmatch(r"(\d{4})(\d\d)(\d\d)(\d\d)(\d\d)(\d\d)\.(\d{6})([+-])(\d{3})", value)
        if not match:
            return None
        fields = [int(g) for g in match.groups()[:7]]
        offset = int(match.group(9)) * (-1 if match.group(8) == "-" else 1)
        return float(calendar.timegm(tuple(fields[:6])) - offset * 60) + fields[6] / 1e6
    if not re.fullmatch(r"-?\d+(\.\d+)?([eE][-+]?\d+)?", value):
        return None
    return float(value) * factor


def series_key(name, labels):
    # An empty label is the same series as no label at all.
    return name, frozenset((k, v) for k, v in labels.items() if v != "")


def expected_series(answer):
    """Each series and value --format prometheus must give for a machine, from
    its --format json answer; the first of two instances with the same labels
    wins."""
    out = {}
    for name, class_name, labels, prop, factor in METRICS:
        for instance in answer.get(class_name, []):
            properties = instance["properties"]
            value = 1.0 if prop is None else number(properties.get(prop), factor)
            if value is None:
                continue
            key = series_key(name, {label: label_text(properties.get(p)) for label, p in labels})
            out.setdefault(key, value)
    return out


def volatile_metrics():
    return {name for name, _, _, prop, _ in METRICS if prop in fleet.VOLATILE}


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class NodeExporter:
    """The node exporter with only its textfile collector, on 127.0.0.1."""

    def __init__(self, textfile_dir, log_path):
        self.log = open(log_path, "wb")
        for _ in range(5):  # another program may take the port in between
            self.url = f"http://127.0.0.1:{free_port()}/metrics"
            self.process = subprocess.Popen(
                [EXPORTER, "--web.listen-address=" + self.url[7:-8],
                 "--collector.disable-defaults", "--collector.textfile",
                 "--collector.textfile.directory=" + textfile_dir],
                stdout=self.log, stderr=self.log)
            if self.wait_until_serving(deadline=time.monotonic() + 30):
                return
            self.stop()
        raise AssertionError("the node exporter did not start; see " + log_path)

    def wait_until_serving(self, deadline):
        while time.monotonic() < deadline and self.process.poll() is None:
            try:
                with urllib.request.urlopen(self.url, timeout=5):
                    return True
            except OSError:
                time.sleep(0.05)
        return False

    def scrape(self):
        with urllib.request.urlopen(self.url, timeout=30) as response:
            return response.read().decode("utf-8")

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=10)
        self.log.close()


def parse(text):
    """(textfile error, {series: value} of the tolvex_ samples)."""
    error = None
    samples = {}
    for family in text_string_to_metric_families(text):
        for sample in family.samples:
            if sample.name == "node_textfile_scrape_error":
                error = sample.value
            elif sample.name.startswith("tolvex_"):
                key = series_key(sample.name, sample.labels)
                if key in samples:
                    raise AssertionError(f"{key} appears twice")
                samples[key] = sample.value
    return error, samples


@unittest.skipUnless(os.access(EXPORTER, os.X_OK), "prometheus-node-exporter is not installed")
class NodeExporterReadsTolvex(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Class cleanups run even when a later step of this one fails.
        cls.machines = fleet.Machines()
        cls.addClassCleanup(cls.machines.remove)
        cls.textfiles = os.path.join(cls.machines.dir, "textfiles")
        os.mkdir(cls.textfiles)
        cls.target = os.path.join(cls.textfiles, "tolvex.prom")
        cls.exporter = NodeExporter(cls.textfiles, os.path.join(cls.machines.dir, "exporter.log"))
        cls.addClassCleanup(cls.exporter.stop)

    def scrape(self):
        error, samples = parse(self.exporter.scrape())
        self.assertEqual(error, 0.0, "the textfile collector reported an error")
        return samples

    def assert_matches(self, samples, expected, volatile=()):
        self.assertEqual(set(samples), set(expected))
        for key, value in expected.items():
            if key[0] not in volatile:
                self.assertEqual(samples[key], value, key)

    def test_every_machine_is_read_without_error_and_as_json_says(self):
        if fleet.FIXTURES and not os.path.isdir(fleet.FIXTURES):
            print(f"captured machines not found at {fleet.FIXTURES}; "
                  "reading this machine and the hostile one only")
        for name, root in self.machines.list:
            with self.subTest(machine=name):
                fleet.query("--format", "prometheus", "--root", root, "--output", self.target)
                samples = self.scrape()
                expected = expected_series(fleet.query_json(root))
                self.assertGreater(len(expected), 3)
                self.assert_matches(samples, expected,
                                    volatile_metrics() if root == "/" else ())

    def test_hostile_names_reach_prometheus_unchanged(self):
        root = dict(self.machines.list)["hostile"]
        fleet.query("--format", "prometheus", "--root", root, "--output", self.target)
        labels = [value for _, pairs in self.scrape() for _, value in pairs]
        # The tree's quotes, backslashes and bad bytes made it into labels.
        for piece in ['"', "\\", "\ufffd"]:
            self.assertTrue(any(piece in value for value in labels), piece)

    def test_escapes_and_replacements_from_any_service(self):
        # Line feeds, carriage returns and invalid UTF-8, as a service other
        # than the Linux provider could answer them.
        prom = subprocess.run([HOSTILE_ANSWERS, "prometheus"], capture_output=True, check=True,
                              timeout=60).stdout
        answer = fleet.json.loads(subprocess.run([HOSTILE_ANSWERS, "json"], capture_output=True,
                                                 check=True, timeout=60).stdout)
        with open(self.target + ".new", "wb") as f:
            f.write(prom)
        os.replace(self.target + ".new", self.target)
        samples = self.scrape()
        expected = expected_series(answer)
        self.assert_matches(samples, expected)
        labels = {value for _, pairs in samples for _, value in pairs}
        self.assertTrue(any("\n" in value and "\r" in value and '"' in value for value in labels))
        # Null, a text that is no number, NaN and a Boolean leave samples out.
        names = {name for name, _ in samples}
        for left_out in ["tolvex_processor_logical_processors",
                         "tolvex_processor_current_clock_speed_hertz",
                         "tolvex_processor_external_clock_hertz"]:
            self.assertNotIn(left_out, names)
        self.assertEqual(samples[series_key("tolvex_operating_system_last_boot_time_seconds", {})],
                         1709270999.5)

    def test_a_file_rewritten_while_scraped_is_always_whole(self):
        machines = [root for _, root in self.machines.list[1:3]] or ["/"]
        expected = [expected_series(fleet.query_json(root)) for root in machines]
        rounds = 40
        failures = []

        def rewrite():
            try:
                for k in range(rounds):
                    fleet.query("--format", "prometheus", "--root", machines[k % len(machines)],
                                "--output", self.target)
            except AssertionError as failure:
                failures.append(failure)

        fleet.query("--format", "prometheus", "--root", machines[-1], "--output", self.target)
        writer = threading.Thread(target=rewrite)
        writer.start()
        # A failed scrape must not leave it writing into the next test.
        self.addCleanup(writer.join, 120)
        scrapes = 0
        while writer.is_alive() or scrapes == 0:
            samples = self.scrape()
            scrapes += 1
            self.assertTrue(any(set(samples) == set(e) for e in expected),
                            "a scrape saw part of a file")
        writer.join(timeout=120)
        self.assertEqual(failures, [])
        self.assertEqual([e for e in os.listdir(self.textfiles) if e != "tolvex.prom"], [])


if __name__ == "__main__":
    unittest.main()
