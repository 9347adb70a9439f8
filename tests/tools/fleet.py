"""Machines for the fleet tests and what tolvex-query says about them.

The machines: this one ("/"), captured machine trees unpacked from
../shared/fixtures, and a hostile tree built here whose names hold quotes,
backslashes, line feeds and bytes that are not UTF-8."""

import json
import os
import shutil
import subprocess
import tempfile

QUERY = os.environ["TOLVEX_QUERY"]
FIXTURES = os.environ.get("TOLVEX_FIXTURES_DIR", "")

CLASSES = [
    "Win32_Processor", "Win32_PhysicalMemory", "Win32_BaseBoard", "Win32_MotherboardDevice",
    "Win32_NetworkAdapter", "Win32_VideoController", "Win32_SCSIController",
    "Win32_LogicalDisk", "Win32_OperatingSystem", "Win32_DiskDrive", "Tolvex_DiskDriveHealth",
    "WmiMonitorID",
]

# Captured machines of different shapes: a two-socket server with memory
# modules, network and storage; a hybrid laptop; an ARM workstation; an
# older laptop.
CAPTURED = [
    "hwloc/32em64t-2n8c+dax+nvme+mic+dimms.tar.bz2",
    "hwloc/20em64t-hybrid-1p6c2t+2ca4co1t.tar.bz2",
    "hwloc/nvidia-dgx-gb10.tar.bz2",
    "util-linux-lscpu/x86_64-dell_e4310.tar.gz",
]

# What changes from one moment to the next on a running machine: compared
# only for presence when this machine is read twice.
VOLATILE = {
    "FreePhysicalMemory", "FreeVirtualMemory", "FreeSpaceInPagingFiles", "FreeSpace",
    "CurrentClockSpeed", "NumberOfUsers",
}

HOSTILE_FILES = {
    "proc/cpuinfo": b'processor\t: 0\nvendor_id\t: Genuine"Quote\\Intel\n'
                    b'model name\t: CPU "Q" \\ back\\\\slash \xff\xfe end\ncpu MHz\t\t: 1234.5\n\n',
    "sys/class/dmi/id/board_vendor": b'Vendor "with" quotes \\ and \\\\ backslashes\n',
    "sys/class/dmi/id/board_name": b"line one\nline two\n",
    "sys/class/dmi/id/board_serial": b"\xff\xfe\x1b[31mSERIAL\r\n",
    "etc/os-release": b'NAME="Hostile"\nPRETTY_NAME="Hostile \\"OS\\" \\\\ \xff 1.0\\nx"\n',
    'sys/class/net/e"t\\h0/ifindex': b"2\n",
    'sys/class/net/e"t\\h0/address': b'02:"0:\\0:00:00:01\n',
    "sys/class/net/e\xfft\nh1/ifindex".encode("latin-1"): b"3\n",
    "proc/self/mountinfo": b"20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                           b'21 1 8:2 / /media/a"b\\134c\\012d rw - vfat /dev/sdb1 rw\n'
                           b'22 1 8:3 / /media/q"uote\\134 rw - ext4 /dev/sdc1 rw\n',
    "tolvex-syscalls.ini": b'hostname = host"ile\\name\nsysname = Linux\nrelease = 6.1.0 "x"\n'
                           b"statvfs:/ = 4096 1000 500 400\n"
                           b'statvfs:/media/q"uote\\ = 4096 2000 100 50\n',
}
HOSTILE_LINKS = {
    'dev/disk/by-label/lab"el\\x': "../../sdc1",
}


def unpack(archive, into):
    """The root of a captured machine tree, unpacked under `into`."""
    subprocess.run(["tar", "--no-same-owner", "--no-same-permissions", "-xf", archive,
                    "-C", into], check=True, timeout=120)
    entries = [e for e in os.listdir(into) if os.path.isdir(os.path.join(into, e))]
    return os.path.join(into, entries[0])


def hostile_tree(into):
    root = os.path.join(into.encode(), b"hostile")
    for name, content in HOSTILE_FILES.items():
        path = os.path.join(root, name if isinstance(name, bytes) else name.encode())
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)
    for name, target in HOSTILE_LINKS.items():
        path = os.path.join(root, name.encode())
        os.makedirs(os.path.dirname(path), exist_ok=True)
        os.symlink(target, path)
    return root.decode()


class Machines:
    """This machine, the captured ones found and the hostile one, each as
    (name, root); removed with remove()."""

    def __init__(self):
        # The trees are thousands of small files: in memory where possible.
        shm = "/dev/shm" if os.access("/dev/shm", os.W_OK | os.X_OK) else None
        self.dir = tempfile.mkdtemp(prefix="tolvex-fleet-", dir=shm)
        # Readable by the unprivileged user the units run as.
        os.chmod(self.dir, 0o755)
        self.list = [("this-machine", "/")]
        for archive in CAPTURED:
            path = os.path.join(FIXTURES, "sysroots", archive)
            if os.path.exists(path):
                name = os.path.basename(archive).split(".tar")[0]
                into = os.path.join(self.dir, name)
                os.mkdir(into)
                self.list.append((name, unpack(path, into)))
        self.list.append(("hostile", hostile_tree(self.dir)))

    def captured_count(self):
        return len(self.list) - 2

    def remove(self):
        shutil.rmtree(self.dir, ignore_errors=True)


def query(*args):
    result = subprocess.run([QUERY, *args], capture_output=True, timeout=120)
    if result.returncode != 0:
        raise AssertionError(f"tolvex-query {' '.join(args)} ended with status "
                             f"{result.returncode}: {result.stderr.decode(errors='replace')}")
    return result.stdout


def query_json(root, classes=()):
    return json.loads(query("--format", "json", "--root", root, *classes))
