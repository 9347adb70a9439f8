"""What `cmake --install` puts in place for fleets: tolvex-query, the Ansible
module under the data folder, and the systemd service and timer that refresh
the node exporter's textfile, which systemd-analyze must accept and rate
well sandboxed; the service's reading step must work as an unprivileged
user, and its privileged publishing step must copy nothing but a plain file
of bounded size."""

import os
import re
import shutil
import subprocess
import tempfile
import unittest

CMAKE = os.environ["TOLVEX_CMAKE"]
BUILD_DIR = os.environ["TOLVEX_BUILD_DIR"]
ANALYZE = shutil.which("systemd-analyze", path="/usr/bin:/bin")
UNITS = "lib/systemd/system"
PUBLISH = "libexec/tolvex/tolvex-textfile-publish"
NOBODY = 65534


def read_unit(path):
    """{section: {key: [values]}}; units may repeat a key (ExecStartPost)."""
    unit = {}
    section = None
    with open(path) as f:
        for line in f:
            line = line.strip()
            if not line or line[0] in "#;":
                continue
            if line.startswith("[") and line.endswith("]"):
                section = unit.setdefault(line[1:-1], {})
            else:
                key, _, value = line.partition("=")
                section.setdefault(key.strip(), []).append(value.strip())
    return unit


class Installed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = tempfile.mkdtemp(prefix="tolvex-install-")
        # Removed even when the install below fails.
        cls.addClassCleanup(shutil.rmtree, cls.prefix, ignore_errors=True)
        for component in ["query", "fleet"]:
            subprocess.run([CMAKE, "--install", BUILD_DIR, "--prefix", cls.prefix,
                            "--component", component], check=True, capture_output=True,
                           timeout=120)

    def path(self, relative):
        return os.path.join(self.prefix, relative)

    def test_the_pieces_are_in_place(self):
        for relative in ["bin/tolvex-query", PUBLISH,
                         "share/tolvex/ansible/library/tolvex_facts.py"]:
            with self.subTest(file=relative):
                self.assertTrue(os.access(self.path(relative), os.X_OK))
        rules = self.path("share/tolvex/prometheus/tolvex-alerts.yml")
        self.assertEqual(os.stat(rules).st_mode & 0o777, 0o644)
        for unit in ["tolvex-textfile.service", "tolvex-textfile.timer"]:
            with self.subTest(unit=unit):
                self.assertEqual(os.stat(self.path(f"{UNITS}/{unit}")).st_mode & 0o777, 0o644)

    def test_systemd_accepts_the_units(self):
        if ANALYZE is None:
            self.skipTest("systemd-analyze is not installed")
        # The manual page comes with the package, not with this install.
        result = subprocess.run(
            [ANALYZE, "verify", "--man=no", self.path(f"{UNITS}/tolvex-textfile.service"),
             self.path(f"{UNITS}/tolvex-textfile.timer")], capture_output=True, timeout=120)
        self.assertEqual((result.returncode, result.stderr.decode()), (0, ""))

    def test_the_timer_refreshes_every_15_minutes(self):
        timer = read_unit(self.path(f"{UNITS}/tolvex-textfile.timer"))
        self.assertEqual(timer["Timer"]["OnUnitActiveSec"], ["15min"])
        self.assertEqual(timer["Install"]["WantedBy"], ["timers.target"])

    def service(self):
        return read_unit(self.path(f"{UNITS}/tolvex-textfile.service"))["Service"]

    def test_the_service_is_sandboxed_and_only_the_publishing_step_is_root(self):
        service = self.service()
        self.assertEqual(service["DynamicUser"], ["yes"])
        self.assertNotIn("User", service)
        self.assertEqual(service["ExecStart"], [
            f"{self.path('bin/tolvex-query')} --format prometheus --output /run/tolvex/tolvex.prom"])
        # "!" keeps every restriction but the user; "+" would drop them all.
        textfile_dir = service["ReadWritePaths"][0].lstrip("-")
        self.assertEqual(service["ExecStartPost"], [
            f"!{self.path(PUBLISH)} /run/tolvex/tolvex.prom {textfile_dir}/tolvex.prom"])
        self.assertEqual(service["CapabilityBoundingSet"], [""])
        if ANALYZE is None:
            self.skipTest("systemd-analyze is not installed")
        result = subprocess.run(
            [ANALYZE, "security", "--offline=true", self.path(f"{UNITS}/tolvex-textfile.service")],
            capture_output=True, timeout=120)
        figure = re.search(rb"Overall exposure level for tolvex-textfile.service: ([0-9.]+)",
                           result.stdout)
        self.assertIsNotNone(figure, result.stdout + result.stderr)
        self.assertLessEqual(float(figure.group(1)), 2.0, result.stdout.decode())

    def test_the_reading_step_works_as_an_unprivileged_user(self):
        # Run the command as a user of no account, with the unit's umask,
        # into a folder of the user's own as systemd's RuntimeDirectory is.
        if os.geteuid() != 0:
            self.skipTest("switching to another user needs root")
        command = self.service()["ExecStart"][0].split()
        setpriv = shutil.which("setpriv", path="/usr/bin:/bin")
        runtime = os.path.join(self.prefix, "run-tolvex")
        os.mkdir(runtime, 0o755)
        os.chown(runtime, NOBODY, NOBODY)
        os.chmod(self.prefix, 0o755)
        target = os.path.join(runtime, "tolvex.prom")
        result = subprocess.run(
            [setpriv, f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups",
             "/bin/sh", "-c", 'umask 0022 && exec "$@"', "sh", *command[:4], target],
            capture_output=True, timeout=120)
        if result.returncode != 0 and b"Permission denied" in result.stderr:
            self.skipTest("the build folder is not reachable by an unprivileged user")
        self.assertEqual(result.returncode, 0, result.stderr)
        status = os.stat(target)
        self.assertEqual((status.st_uid, status.st_mode & 0o777), (NOBODY, 0o644))
        with open(target) as f:
            self.assertIn("# TYPE tolvex_operating_system_info gauge\n", f.read())

    def test_the_publishing_step_copies_only_a_plain_file_of_bounded_size(self):
        """What the unprivileged step leaves may have been swapped for
        anything it can make: the publishing step copies none of it, never
        waits, and the previous metrics stay."""
        scratch = tempfile.mkdtemp(prefix="tolvex-publish-", dir=self.prefix)
        runtime = os.path.join(scratch, "run")
        textfile = os.path.join(scratch, "textfile")
        os.mkdir(runtime)
        os.mkdir(textfile)
        source = os.path.join(runtime, "tolvex.prom")
        target = os.path.join(textfile, "tolvex.prom")
        previous = b"tolvex_previous 1\n"
        secret = os.path.join(scratch, "secret")
        with open(secret, "wb") as f:
            f.write(b"not for the exporter\n")

        def reset():
            # Whatever a case leaves, the next starts from the same files.
            if os.path.isdir(source) and not os.path.islink(source):
                os.rmdir(source)
            elif os.path.lexists(source):
                os.unlink(source)
            for entry in os.listdir(textfile):
                os.unlink(os.path.join(textfile, entry))
            with open(target, "wb") as f:
                f.write(previous)

        def link(to):
            return lambda: os.symlink(to, source)

        def sized(size):
            def plant():
                with open(source, "wb") as f:
                    f.truncate(size)
            return plant

        limit = 16 << 20
        cases = [
            ("a link to a device", link("/dev/zero"), "a symbolic link, not the metrics"),
            ("a link to a file", link(secret), "a symbolic link, not the metrics"),
            ("a FIFO", lambda: os.mkfifo(source), "not a regular file"),
            ("a folder", lambda: os.mkdir(source), "not a regular file"),
            ("a second name", lambda: os.link(secret, source), "a file with more than one name"),
            ("an oversized file", sized(limit + 1), "larger than the metrics can be"),
            ("nothing", lambda: None, "No such file or directory"),
        ]
        command = [self.path(PUBLISH), source, target]
        reset()
        for name, plant, reason in cases:
            with self.subTest(planted=name):
                try:
                    plant()
                    result = subprocess.run(command, capture_output=True, timeout=10)
                    self.assertEqual(
                        (result.returncode, result.stderr.decode()),
                        (1, f"tolvex-textfile-publish: {source}: {reason}\n"))
                    with open(target, "rb") as f:
                        self.assertEqual(f.read(), previous)
                    self.assertEqual(os.listdir(textfile), ["tolvex.prom"])
                finally:
                    reset()

        # A plain file up to the limit is published whole, readable by the
        # exporter.
        accepted = [("metrics", b"# TYPE tolvex_new gauge\ntolvex_new 1\n" * 1000),
                    ("a file of the limit", bytes(limit))]
        for name, metrics in accepted:
            with self.subTest(published=name):
                try:
                    with open(source, "wb") as f:
                        f.write(metrics)
                    result = subprocess.run(
                        ["/bin/sh", "-c", 'umask 0022 && exec "$@"', "sh", *command],
                        capture_output=True, timeout=10)
                    self.assertEqual((result.returncode, result.stderr), (0, b""))
                    with open(target, "rb") as f:
                        self.assertTrue(f.read() == metrics, "the published file differs")
                    self.assertEqual(os.stat(target).st_mode & 0o777, 0o644)
                    self.assertEqual(os.listdir(textfile), ["tolvex.prom"])
                finally:
                    reset()


if __name__ == "__main__":
    unittest.main()
