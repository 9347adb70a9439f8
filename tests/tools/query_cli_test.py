"""tolvex-query as a command: each bad input gives its message on standard
error, its exit status and nothing on standard output; --help and --version
follow the usual conventions; output that cannot be written is an error.

Runs the built program (TOLVEX_QUERY) as a separate process."""

import json
import os
import re
import shutil
import signal
import subprocess
import tempfile
import unittest

QUERY = os.environ["TOLVEX_QUERY"]
HOSTILE_ANSWERS = os.environ["TOLVEX_HOSTILE_ANSWERS"]
REFUSING_MALLOC = os.environ.get("TOLVEX_REFUSING_MALLOC")
VERSION = os.environ["TOLVEX_VERSION"]
CLASSES = [
    "Win32_Processor", "Win32_PhysicalMemory", "Win32_BaseBoard", "Win32_MotherboardDevice",
    "Win32_NetworkAdapter", "Win32_VideoController", "Win32_SCSIController",
    "Win32_LogicalDisk", "Win32_OperatingSystem", "Win32_DiskDrive", "Tolvex_DiskDriveHealth",
    "WmiMonitorID",
]
# What follows the classes in a JSON answer: the host and the origin.
META = ["tolvex:host", "tolvex:origin"]


def run(args, stdout=subprocess.PIPE, **kwargs):
    return subprocess.run([QUERY, *args], stdout=stdout, stderr=subprocess.PIPE,
                          timeout=60, **kwargs)


class Scratch:
    """A temporary folder with a plain file, an empty machine and a machine
    with 3,000 mounts (an answer far larger than a pipe holds)."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="tolvex-cli-")
        self.plain_file = os.path.join(self.dir, "plain")
        with open(self.plain_file, "w") as f:
            f.write("not a machine\n")
        self.empty_root = os.path.join(self.dir, "empty")
        os.mkdir(self.empty_root)
        self.big_root = os.path.join(self.dir, "big")
        os.makedirs(os.path.join(self.big_root, "proc/self"))
        with open(os.path.join(self.big_root, "proc/self/mountinfo"), "w") as f:
            for k in range(3000):
                f.write(f"{100 + k} 1 0:{50 + k} / /mnt/m{k} rw - tmpfs tmpfs rw\n")

    def remove(self):
        shutil.rmtree(self.dir, ignore_errors=True)


class BadInput(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = Scratch()

    @classmethod
    def tearDownClass(cls):
        cls.scratch.remove()

    def test_each_case_gives_its_message_and_status_and_no_output(self):
        s = self.scratch
        classes = ", ".join(CLASSES)
        cases = [
            # (arguments, status, the whole of standard error as a pattern)
            (["--root", "/nonexistent", "Win32_Processor"], 66,
             r"tolvex-query: /nonexistent: No such file or directory\n"),
            ([f"--root={s.plain_file}", "Win32_Processor"], 66,
             re.escape(f"tolvex-query: {s.plain_file}: Not a directory") + r"\n"),
            (["--root", s.plain_file + "/below", "Win32_Processor"], 66,
             re.escape(f"tolvex-query: {s.plain_file}/below: Not a directory") + r"\n"),
            (["--root", "", "Win32_Processor"], 66,
             r"tolvex-query: : No such file or directory\n"),
            (["Win32_NoSuchClass"], 2,
             r"tolvex-query: Win32_NoSuchClass: unknown class \(.*\); the classes are "
             + re.escape(classes) + r"\n"),
            # Classes before the unknown one are not printed either.
            (["Win32_OperatingSystem", "Win32_Processor", "Win32_NoSuchClass"], 2,
             r"tolvex-query: Win32_NoSuchClass: unknown class .*\n"),
            (["--bogus", "Win32_Processor"], 64,
             r"tolvex-query: unknown option '--bogus'\nTry 'tolvex-query --help' .*\n"),
            (["--json=yes", "Win32_Processor"], 64,
             r"tolvex-query: unknown option '--json=yes'\n.*\n"),
            (["Win32_Processor", "--root"], 64,
             r"tolvex-query: option '--root' needs a value\n.*\n"),
            (["--format", "yaml", "Win32_Processor"], 64,
             r"tolvex-query: unknown format 'yaml' .*\n.*\n"),
            (["--output", "", "Win32_Processor"], 64,
             r"tolvex-query: option '--output' needs a file name\n.*\n"),
            (["--output", os.path.join(s.dir, "no-such-folder", "out.txt"), "Win32_Processor"],
             74, re.escape(f"tolvex-query: {s.dir}/no-such-folder/out.txt: ")
             + r"No such file or directory\n"),
        ]
        for args, status, stderr in cases:
            with self.subTest(args=args):
                result = run(args)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertEqual(result.stdout, b"")
                self.assertRegex(result.stderr.decode(), "^" + stderr + "$")

    def test_an_unreadable_root_is_refused(self):
        root = os.path.join(self.scratch.dir, "locked")
        os.mkdir(root, 0o000)
        command = [QUERY, "--root", root, "Win32_Processor"]
        if os.geteuid() == 0:
            # Root reads every folder; an ordinary user meets the lock.
            setpriv = shutil.which("setpriv")
            if setpriv is None:
                self.skipTest("setpriv is not installed")
            command = [setpriv, "--reuid=65534", "--regid=65534", "--clear-groups", *command]
            os.chmod(self.scratch.dir, 0o755)
            probe = subprocess.run([*command[:4], "test", "-x", QUERY])
            if probe.returncode != 0:
                self.skipTest("tolvex-query is not reachable by an unprivileged user")
        result = subprocess.run(command, capture_output=True, timeout=60)
        self.assertEqual(result.returncode, 66, result.stderr)
        self.assertEqual(result.stdout, b"")
        self.assertEqual(result.stderr.decode(), f"tolvex-query: {root}: Permission denied\n")

    def test_a_root_without_the_files_answers_like_missing_hardware(self):
        result = run(["--json", "--root", self.scratch.empty_root, *CLASSES])
        self.assertEqual(result.returncode, 0, result.stderr)
        answer = json.loads(result.stdout)
        self.assertEqual(list(answer), CLASSES + META)
        with_instance = {"Win32_BaseBoard", "Win32_MotherboardDevice", "Win32_OperatingSystem"}
        for name in CLASSES:
            with self.subTest(name=name):
                self.assertEqual(len(answer[name]), 1 if name in with_instance else 0)
        board = answer["Win32_BaseBoard"][0]["properties"]
        self.assertIsNone(board["Manufacturer"])
        self.assertIsNone(board["Product"])
        self.assertIsNone(answer["Win32_OperatingSystem"][0]["properties"]["Version"])


class Unexpected(unittest.TestCase):
    def test_running_out_of_memory_is_a_message_and_status_70(self):
        if not REFUSING_MALLOC:
            self.skipTest("the sanitizers' allocator cannot be replaced")
        scratch = Scratch()
        self.addCleanup(scratch.remove)
        # /proc/cpuinfo is read whole (up to 16 MiB): 8 MiB of it outgrow
        # the 4 MiB that malloc still grants. Sparse, so it costs no disk.
        cpuinfo = os.path.join(scratch.empty_root, "proc", "cpuinfo")
        os.mkdir(os.path.dirname(cpuinfo))
        os.truncate(os.open(cpuinfo, os.O_CREAT | os.O_WRONLY, 0o644), 8 << 20)
        env = dict(os.environ, LD_PRELOAD=REFUSING_MALLOC,
                   TOLVEX_REFUSE_MALLOC_ABOVE=str(4 << 20))
        result = run(["--root", scratch.empty_root, "Win32_Processor"], env=env)
        self.assertEqual((result.returncode, result.stdout, result.stderr),
                         (70, b"", b"tolvex-query: out of memory\n"))
        # The same program and root with malloc unhindered answers.
        self.assertEqual(run(["--root", scratch.empty_root, "Win32_Processor"]).returncode, 0)


class TextForm(unittest.TestCase):
    def test_control_characters_are_shown_as_escapes_one_value_a_line(self):
        def answer(form):
            return subprocess.run([HOSTILE_ANSWERS, form], capture_output=True, check=True,
                                  timeout=60).stdout
        # Every line is UTF-8 without a C0 control, DEL or C1 control.
        lines = answer("text").decode("utf-8").split("\n")
        for line in lines:
            self.assertIsNone(re.search("[\x00-\x1f\x7f-\x9f]", line), line)
        # One line per path, per property and after each instance, as many
        # as the same machine has in JSON.
        instances = [i for c in json.loads(answer("json")).values() for i in c]
        self.assertEqual(len(lines) - 1, sum(len(i["properties"]) + 2 for i in instances))
        self.assertEqual(lines[-1], "")
        # The escapes name what was there; backslashes stay as they are.
        self.assertIn(
            '  Name = a "quoted" \\back\\slash\\n\\nline\\r\\tend \\xff\\xfe\\xc3( '
            '\\xed\\xa0\\x80 \\xf4\\x90\\x80\\x80 \\xe2\\x82 \\x01\\x7f\N{CHECK MARK} ok '
            '\\x1b[2J\\x1b]0;title\\x07 \\u009b31m \\u0085 \\x9b', lines)
        self.assertIn("  SocketDesignation = \\n", lines)
        self.assertIn('\\\\HOST\\root\\cimv2:Win32_LogicalDisk.Key="/media/x"', lines)


class NullReasons(unittest.TestCase):
    """Why a property is Null: beside the properties in JSON, after Null in
    text, from what reading the source did for the user who ran it."""

    FIRMWARE = "/sys/firmware/dmi/tables/DMI"
    ROOT_ONLY = {"reason": "needs administrator rights", "source": FIRMWARE,
                 "remedy": "Run Tolvex as root to read the firmware tables"}

    def query(self, args, as_nobody=False):
        command = [QUERY, *args]
        if as_nobody:
            command.insert(0, os.path.join(os.environ["TOLVEX_SOURCE_DIR"],
                                           "tests", "run-as-ordinary-user"))
        result = subprocess.run(command, capture_output=True, timeout=60)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout.decode()

    def board(self, args, as_nobody=False):
        answer = json.loads(self.query(["--json", *args, "Win32_BaseBoard"], as_nobody))
        board = answer["Win32_BaseBoard"][0]
        # Every Null, and only a Null, has its reason.
        nulls = {name for name, value in board["properties"].items() if value is None}
        self.assertEqual(set(board["reasons"]), nulls)
        return board

    def test_root_only_firmware_tables_need_administrator_rights(self):
        if os.geteuid() != 0:
            self.skipTest("needs root to make a file only root may read")
        scratch = Scratch()
        self.addCleanup(scratch.remove)
        os.chmod(scratch.dir, 0o755)
        root = os.path.join(scratch.dir, "machine")
        table = root + self.FIRMWARE
        os.makedirs(os.path.dirname(table))
        shutil.copy(os.path.join(os.environ["TOLVEX_FIXTURES_DIR"], "smbios", "go-smbios",
                                 "ASRock-Single-Ryzen.dmi"), table)
        os.chmod(table, 0o400)

        board = self.board(["--root", root], as_nobody=True)
        self.assertEqual(board["reasons"]["Manufacturer"], self.ROOT_ONLY)
        self.assertEqual(board["reasons"]["Depth"], {"reason": "no such thing on this platform"})
        text = self.query(["--root", root, "Win32_BaseBoard"], as_nobody=True)
        self.assertIn("  Manufacturer = Null (needs administrator rights: "
                      "/sys/firmware/dmi/tables/DMI)\n", text)
        self.assertIn("  Depth = Null (no such thing on this platform)\n", text)
        self.assertIn("  Tag = Base Board\n", text)

        board = self.board(["--root", root])
        self.assertEqual(board["properties"]["Manufacturer"], "ASRockRack")
        self.assertNotIn("Manufacturer", board["reasons"])

    def test_this_machine_as_nobody_and_as_root(self):
        # The board's features are in the firmware tables only.
        nobody = self.board([], as_nobody=True)
        as_root = self.board([])
        if not os.path.exists(self.FIRMWARE):
            absent = {"reason": "not provided by this machine", "source": self.FIRMWARE}
            self.assertEqual(nobody["reasons"]["HostingBoard"], absent)
            self.assertEqual(as_root["reasons"]["HostingBoard"], absent)
            return
        if not os.stat(self.FIRMWARE).st_mode & 0o004:
            self.assertEqual(nobody["reasons"]["HostingBoard"], self.ROOT_ONLY)
        if os.geteuid() == 0:
            self.assertIn(as_root["reasons"].get("HostingBoard", {}).get("reason"),
                          (None, "not provided by this machine"))


class Conventions(unittest.TestCase):
    def test_help_lists_options_classes_and_statuses_on_standard_output(self):
        for flag in ["--help", "-h"]:
            with self.subTest(flag=flag):
                result = run([flag])
                self.assertEqual(result.returncode, 0)
                self.assertEqual(result.stderr, b"")
                text = result.stdout.decode()
                self.assertTrue(text.startswith("usage: tolvex-query "), text)
                for option in ["--root DIR", "--snapshot FILE", "--format FORMAT", "--json",
                               "--redact", "--output FILE", "-h, --help", "--version"]:
                    self.assertIn(option, text)
                for name in CLASSES:
                    self.assertRegex(text, r"\n  " + name + r"\n")
                for status in [0, 2, 64, 65, 66, 70, 74]:
                    self.assertRegex(text, r"\n  %d +\S" % status)

    def test_version_is_the_project_version(self):
        result = run(["--version"])
        self.assertEqual((result.returncode, result.stdout, result.stderr),
                         (0, f"tolvex-query {VERSION}\n".encode(), b""))

    def test_without_a_class_every_class_is_read(self):
        result = run(["--format", "json", "--root", "/"])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(list(json.loads(result.stdout)), CLASSES + META)

    def test_class_names_ignore_case_and_repeat_once(self):
        result = run(["--json", "win32_operatingsystem", "WIN32_OPERATINGSYSTEM"])
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(list(json.loads(result.stdout)), ["Win32_OperatingSystem"] + META)

    def test_output_file_holds_what_standard_output_shows(self):
        scratch = Scratch()
        self.addCleanup(scratch.remove)
        target = os.path.join(scratch.dir, "machine.json")
        with open(target, "w") as f:
            f.write("an older answer")
        args = ["--format", "json", "--root", scratch.big_root, "Win32_LogicalDisk"]
        shown = run(args)
        # The file gets the mode the program's umask gives new files.
        for mask, mode in [(0o027, 0o640), (0o002, 0o664)]:
            written = run(["--output", target, *args], preexec_fn=lambda: os.umask(mask))
            self.assertEqual((written.returncode, written.stdout, written.stderr), (0, b"", b""))
            with open(target, "rb") as f:
                self.assertEqual(f.read(), shown.stdout)
            self.assertEqual(sorted(os.listdir(scratch.dir)),
                             ["big", "empty", "machine.json", "plain"])
            self.assertEqual(os.stat(target).st_mode & 0o777, mode)


    def test_two_writers_at_once_leave_one_whole_answer(self):
        scratch = Scratch()
        self.addCleanup(scratch.remove)
        target = os.path.join(scratch.dir, "machine.out")
        answers = [["--format", f, "--root", scratch.big_root, "Win32_LogicalDisk"]
                   for f in ["json", "text"]]
        expected = {run(a).stdout for a in answers}
        self.assertEqual(len(expected), 2)
        for round in range(8):
            writers = [subprocess.Popen([QUERY, "--output", target, *a], stderr=subprocess.PIPE)
                       for a in answers]
            for writer in writers:
                self.assertEqual((writer.wait(timeout=60), writer.stderr.read()), (0, b""))
                writer.stderr.close()
            with open(target, "rb") as f:
                self.assertIn(f.read(), expected, f"round {round}")
            self.assertEqual(sorted(os.listdir(scratch.dir)),
                             ["big", "empty", "machine.out", "plain"])


class OutputErrors(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = Scratch()

    @classmethod
    def tearDownClass(cls):
        cls.scratch.remove()

    def test_a_full_or_closed_standard_output_is_an_error(self):
        args = ["--root", self.scratch.big_root, "Win32_LogicalDisk"]
        cases = [
            ("full", ["--help"], "No space left on device"),
            ("full", ["--version"], "No space left on device"),
            ("full", args, "No space left on device"),
            ("closed", ["--version"], "Bad file descriptor"),
            ("closed", args, "Bad file descriptor"),
        ]
        for kind, arguments, reason in cases:
            with self.subTest(kind=kind, args=arguments):
                if kind == "full":
                    with open("/dev/full", "wb") as full:
                        result = run(arguments, stdout=full)
                else:
                    # The shell closes descriptor 1 before starting the program.
                    result = subprocess.run(
                        ["/bin/sh", "-c", 'exec "$0" "$@" >&-', QUERY, *arguments],
                        stderr=subprocess.PIPE, timeout=60)
                self.assertEqual(result.returncode, 74)
                self.assertEqual(result.stderr.decode(),
                                 f"tolvex-query: standard output: {reason}\n")

    def test_a_reader_that_stops_early_ends_the_program_quietly(self):
        # Far more than a pipe holds, so the program is still writing when the
        # reader goes away.
        args = [QUERY, "--root", self.scratch.big_root, "Win32_LogicalDisk"]
        for ignored in [False, True]:
            with self.subTest(sigpipe_ignored=ignored):
                setup = (lambda: signal.signal(signal.SIGPIPE, signal.SIG_IGN)) if ignored \
                    else None
                process = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                           preexec_fn=setup)
                first = process.stdout.readline()
                process.stdout.close()
                stderr = process.stderr.read()
                process.stderr.close()
                status = process.wait(timeout=60)
                self.assertTrue(first.startswith(b"\\\\"), first)
                self.assertEqual(stderr, b"")
                self.assertEqual(status, 74 if ignored else -signal.SIGPIPE)


if __name__ == "__main__":
    unittest.main()
