"""The shipped alerting rules in a real Prometheus server.

Two node exporters on 127.0.0.1, each with its own textfile folder holding
`tolvex-query --output` for the captured two-socket server with two
physical drives added to its answer, and one Prometheus server (Debian's,
its own configuration and data folder in a temporary folder, scraping and
evaluating every second) loading integrations/prometheus/tolvex-alerts.yml.
Once both hosts' memory and drives are in the history, one memory module is
taken out of the second host's tree, and on the first host one drive is
swapped for another that SMART says is failing and both drives run at their
critical temperature; the alerts API must then report the memory alerts for
the second host and slot and the drive alerts for the first host's drives,
and nothing else. Then the first host's monitor is unplugged, and its
disappearance must be reported for that host. Everything is stopped at the
end."""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse
import urllib.request

import alert_rules_test
import fleet
import node_exporter_test

PROMETHEUS = shutil.which("prometheus", path="/usr/bin:/bin")
DEADLINE_S = 120


class PrometheusServer:
    """Prometheus on 127.0.0.1 at a free port, with `config` and its data in
    `folder`."""

    def __init__(self, folder, config):
        config_path = os.path.join(folder, "prometheus.yml")
        with open(config_path, "w") as f:
            json.dump(config, f)  # JSON is YAML
        self.log_path = os.path.join(folder, "prometheus.log")
        self.log = open(self.log_path, "wb")
        for _ in range(5):  # another program may take the port in between
            self.url = f"http://127.0.0.1:{node_exporter_test.free_port()}"
            self.process = subprocess.Popen(
                [PROMETHEUS, "--config.file=" + config_path,
                 "--storage.tsdb.path=" + os.path.join(folder, "data"),
                 "--web.listen-address=" + self.url[7:], "--log.level=warn"],
                stdout=self.log, stderr=self.log)
            if self.wait_until_ready(time.monotonic() + DEADLINE_S):
                return
            self.stop()
            self.log = open(self.log_path, "ab")
        raise AssertionError("Prometheus did not start; see " + self.log_path)

    def wait_until_ready(self, deadline):
        while time.monotonic() < deadline and self.process.poll() is None:
            try:
                with urllib.request.urlopen(self.url + "/-/ready", timeout=5):
                    return True
            except OSError:
                time.sleep(0.1)
        return False

    def api(self, path, **params):
        query = "?" + urllib.parse.urlencode(params) if params else ""
        with urllib.request.urlopen(f"{self.url}/api/v1/{path}{query}", timeout=30) as response:
            answer = json.load(response)
        if answer["status"] != "success":
            raise AssertionError(answer)
        return answer["data"]

    def query(self, expr):
        return self.api("query", query=expr)["result"]

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=10)
        self.log.close()


def wait_for(what, condition):
    deadline = time.monotonic() + DEADLINE_S
    while time.monotonic() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(0.25)
    raise AssertionError(f"gave up after {DEADLINE_S} s waiting for {what}")


@unittest.skipUnless(PROMETHEUS and os.access(node_exporter_test.EXPORTER, os.X_OK),
                     "prometheus or prometheus-node-exporter is not installed")
class PrometheusRaisesTheMemoryAndDriveAlerts(unittest.TestCase):
    def setUp(self):
        if not os.path.exists(os.path.join(fleet.FIXTURES, "sysroots", alert_rules_test.SERVER)):
            self.skipTest(f"the captured server is not at {fleet.FIXTURES}")
        self.dir = tempfile.mkdtemp(prefix="tolvex-prometheus-", dir=alert_rules_test.SHM)
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)
        self.server = alert_rules_test.Server(os.path.join(self.dir, "trees"),
                                              ["base", "module out", "monitor out"])
        self.exporters = []
        for host in ["a", "b"]:
            folder = os.path.join(self.dir, "textfiles-" + host)
            os.mkdir(folder)
            self.write_textfile(folder, "base")
            exporter = node_exporter_test.NodeExporter(
                folder, os.path.join(self.dir, f"exporter-{host}.log"))
            self.addCleanup(exporter.stop)
            self.exporters.append((folder, exporter.url[7:-8]))

    def write_textfile(self, folder, variant, drives=alert_rules_test.DRIVES["drives"]):
        self.server.with_drives(drives, variant, output=os.path.join(folder, "tolvex.prom"))

    def test_each_change_fires_for_its_host_only(self):
        started = time.monotonic()
        os.mkdir(os.path.join(self.dir, "prometheus"))
        prometheus = PrometheusServer(os.path.join(self.dir, "prometheus"), {
            "global": {"scrape_interval": "1s", "evaluation_interval": "1s"},
            "rule_files": [alert_rules_test.RULES],
            "scrape_configs": [{"job_name": "node", "static_configs": [
                {"targets": [address for _, address in self.exporters]}]}],
        })
        self.addCleanup(prometheus.stop)
        (folder_a, host_a), (folder_b, host_b) = self.exporters

        # Both hosts' eight modules are in the history, and the textfile's
        # own metrics match what the rules look for.
        wait_for("both hosts' memory in the history", lambda: len(prometheus.query(
            'tolvex:inventory:peak_bytes{part="memory module"}')) == 16)
        wait_for("both hosts' drives in the history", lambda: len(prometheus.query(
            'tolvex:inventory:times_seen{part="disk drive"}')) == 4)
        self.assertEqual(
            {s["metric"]["instance"] for s in prometheus.query(
                'node_textfile_mtime_seconds{file=~"(.*/)?tolvex\\\\.prom"}')},
            {host_a, host_b})
        self.assertEqual(prometheus.api("alerts")["alerts"], [])

        self.write_textfile(folder_b, "module out")
        first_host_drives = alert_rules_test.drives(
            sda_serial="ZC1X9Y8Z", sda={"SmartFailing": True, "Temperature": 70.0},
            nvme={"Temperature": 85.0})
        self.write_textfile(folder_a, "base", first_host_drives)
        expected = {
            (host_b, "TolvexMemoryModuleMissing"), (host_b, "TolvexInstalledMemoryDropped"),
            (host_a, "TolvexDiskDriveFailing"), (host_a, "TolvexDiskDriveTooHot"),
            (host_a, "TolvexHardwareDisappeared"), (host_a, "TolvexHardwareAppeared")}

        def firing():
            alerts = [a for a in prometheus.api("alerts")["alerts"] if a["state"] == "firing"]
            fired = {(a["labels"]["instance"], a["labels"]["alertname"]) for a in alerts}
            return alerts if fired == expected else None

        firing_alerts = wait_for("the memory and drive alerts to fire", firing)
        print(f"the memory and drive alerts fired {time.monotonic() - started:.1f} s after "
              "Prometheus was started", file=sys.stderr)
        drives = {(a["labels"]["alertname"], a["labels"].get("device_id"),
                   a["labels"].get("serial_number")) for a in firing_alerts
                  if a["labels"]["instance"] == host_a}
        self.assertEqual(drives, {
            ("TolvexDiskDriveFailing", "/dev/sda", "ZC1X9Y8Z"),
            ("TolvexDiskDriveTooHot", "/dev/sda", None),
            ("TolvexDiskDriveTooHot", "/dev/nvme0n1", None),
            ("TolvexHardwareDisappeared", None, "ZC1A2B3C"),
            ("TolvexHardwareAppeared", None, "ZC1X9Y8Z")})
        alerts = [a for a in firing_alerts if a["labels"]["instance"] == host_b]
        [missing] = [a for a in alerts if a["labels"]["alertname"] == "TolvexMemoryModuleMissing"]
        self.assertEqual(missing["labels"]["device_locator"].strip(), "DIMM_A1")
        self.assertIn(host_b, missing["annotations"]["description"])
        self.assertIn("4GiB", missing["annotations"]["description"])
        # Nothing else fires, or is pending, anywhere.
        self.assertEqual(len(prometheus.api("alerts")["alerts"]), len(firing_alerts))

        # The first host's monitor unplugged (its drives as they were): it
        # disappeared, from that host only, known by its EDID's identity.
        self.write_textfile(folder_a, "monitor out", first_host_drives)

        def monitor_alerts():
            alerts = [a for a in prometheus.api("alerts")["alerts"]
                      if a["labels"]["alertname"] == "TolvexHardwareDisappeared"
                      and a["labels"].get("part") == "monitor" and a["state"] == "firing"]
            return alerts or None

        [gone] = wait_for("the monitor to be missed", monitor_alerts)
        self.assertEqual({k: gone["labels"].get(k) for k in
                          ["instance", "part", "manufacturer", "product_code", "serial_number"]},
                         {"instance": host_a, "part": "monitor", "manufacturer": "DEL",
                          "product_code": "8197", "serial_number": "2C8FJ8255K5E"})
        self.assertIn('"D1918H"', gone["annotations"]["description"])


if __name__ == "__main__":
    unittest.main()
