"""What `cmake --install` puts in place for fleets: tolvex-query, the Ansible
module under the data folder, and the systemd service and timer that refresh
the node exporter's textfile, which systemd-analyze must accept and whose
command must work as the unprivileged user it names."""

import os
import pwd
import shutil
import subprocess
import tempfile
import unittest

CMAKE = os.environ["TOLVEX_CMAKE"]
BUILD_DIR = os.environ["TOLVEX_BUILD_DIR"]
ANALYZE = shutil.which("systemd-analyze", path="/usr/bin:/bin")
UNITS = "lib/systemd/system"


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
        for component in ["query", "fleet"]:
            subprocess.run([CMAKE, "--install", BUILD_DIR, "--prefix", cls.prefix,
                            "--component", component], check=True, capture_output=True,
                           timeout=120)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.prefix, ignore_errors=True)

    def path(self, relative):
        return os.path.join(self.prefix, relative)

    def test_the_pieces_are_in_place(self):
        for relative in ["bin/tolvex-query", "share/tolvex/ansible/library/tolvex_facts.py"]:
            with self.subTest(file=relative):
                self.assertTrue(os.access(self.path(relative), os.X_OK))
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

    def test_the_service_writes_the_textfile_as_an_unprivileged_user(self):
        service = read_unit(self.path(f"{UNITS}/tolvex-textfile.service"))["Service"]
        user = service["User"][0]
        self.assertNotIn(user, ["root", "0"])
        command = service["ExecStart"][0].split()
        self.assertEqual(command[0], self.path("bin/tolvex-query"))
        self.assertEqual(command[1:5], ["--format", "prometheus", "--output",
                                        "/run/tolvex/tolvex.prom"])
        textfile_dir = service["ExecStartPost"][1].split()[-1].rsplit("/", 1)[0]
        self.assertEqual(service["ExecStartPost"], [
            f"+/bin/cp /run/tolvex/tolvex.prom {textfile_dir}/.tolvex.prom.tmp",
            f"+/bin/mv -f {textfile_dir}/.tolvex.prom.tmp {textfile_dir}/tolvex.prom"])

        # Run the command as that user, with the unit's umask, into a
        # folder of the user's own as systemd's RuntimeDirectory would be.
        if os.geteuid() != 0:
            self.skipTest("switching to the service's user needs root")
        setpriv = shutil.which("setpriv", path="/usr/bin:/bin")
        try:
            account = pwd.getpwnam(user)
        except KeyError:
            self.skipTest(f"the user {user} does not exist (prometheus-node-exporter makes it)")
        runtime = os.path.join(self.prefix, "run-tolvex")
        os.mkdir(runtime, 0o755)
        os.chown(runtime, account.pw_uid, account.pw_gid)
        os.chmod(self.prefix, 0o755)
        target = os.path.join(runtime, "tolvex.prom")
        result = subprocess.run(
            [setpriv, f"--reuid={account.pw_uid}", f"--regid={account.pw_gid}", "--clear-groups",
             "/bin/sh", "-c", 'umask 0022 && exec "$@"', "sh", *command[:4], target],
            capture_output=True, timeout=120)
        if result.returncode != 0 and b"Permission denied" in result.stderr:
            self.skipTest("the build folder is not reachable by an unprivileged user")
        self.assertEqual(result.returncode, 0, result.stderr)
        status = os.stat(target)
        self.assertEqual((status.st_uid, status.st_mode & 0o777), (account.pw_uid, 0o644))
        with open(target) as f:
            self.assertIn("# TYPE tolvex_operating_system_info gauge\n", f.read())


if __name__ == "__main__":
    unittest.main()
