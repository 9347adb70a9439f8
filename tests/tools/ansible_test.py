"""The tolvex_facts Ansible module, run by the real ansible-core.

One ad hoc `ansible` command over an inventory of local hosts, each pointed
at a different machine (this one, captured ones, a hostile one), must return
every host's classes exactly as `tolvex-query --format json --root` prints
them for that machine, and a host's file of the tree output must open as
its snapshot; failures of tolvex-query must fail the task with its message,
which the window gives when asked to open such a host's file."""

import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest

import fleet

ANSIBLE = shutil.which("ansible", path="/usr/bin:/bin") or shutil.which("ansible")
LIBRARY = os.path.join(os.environ["TOLVEX_SOURCE_DIR"], "integrations", "ansible", "library")
PROGRAM = os.environ.get("TOLVEX_PROGRAM")
PYTHON = "/usr/bin/python3" if os.access("/usr/bin/python3", os.X_OK) else "python3"


def inventory_line(host, **variables):
    return host + "".join(f" {k}='{v}'" for k, v in variables.items() if v is not None) + "\n"


@unittest.skipIf(ANSIBLE is None, "ansible-core is not installed")
class AnsibleGathersTolvexFacts(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Class cleanups run even when a later step of this one fails.
        cls.machines = fleet.Machines()
        cls.addClassCleanup(cls.machines.remove)
        cls.work = tempfile.mkdtemp(prefix="tolvex-ansible-")
        cls.addClassCleanup(shutil.rmtree, cls.work, ignore_errors=True)
        # A PATH on which tolvex-query is found, as it is once installed.
        cls.bin = os.path.join(cls.work, "bin")
        os.mkdir(cls.bin)
        os.symlink(fleet.QUERY, os.path.join(cls.bin, "tolvex-query"))
        config = os.path.join(cls.work, "ansible.cfg")
        with open(config, "w") as f:
            f.write("[defaults]\n")
        cls.env = dict(
            os.environ,
            PATH=cls.bin + ":/usr/bin:/bin",
            ANSIBLE_CONFIG=config,
            ANSIBLE_LIBRARY=LIBRARY,
            ANSIBLE_HOME=os.path.join(cls.work, "home"),
            ANSIBLE_LOCAL_TEMP=os.path.join(cls.work, "local-tmp"),
            ANSIBLE_REMOTE_TEMP=os.path.join(cls.work, "remote-tmp"),
            # The ad hoc command loads ansible-core's own tree callback (-t)
            # only with callback plugins enabled.
            ANSIBLE_LOAD_CALLBACK_PLUGINS="1",
            ANSIBLE_NOCOLOR="1",
            ANSIBLE_FORKS="4",
            ANSIBLE_PYTHON_INTERPRETER=PYTHON,
        )

    def run_ansible(self, inventory_text, args, env=None):
        """Each host's result: the module's answer from the per-host JSON file
        of the tree output (-t), and whether the task failed from the one-line
        output (-o), which says it in each host's "host | STATUS" head."""
        inventory = os.path.join(self.work, "hosts.ini")
        with open(inventory, "w") as f:
            f.write("[machines]\n" + inventory_text +
                    "[machines:vars]\nansible_connection=local\n")
        tree = self.tree = tempfile.mkdtemp(prefix="tree-", dir=self.work)
        result = subprocess.run([ANSIBLE, "all", "-i", inventory, "-m", "tolvex_facts",
                                 "-a", args, "-o", "-t", tree], capture_output=True,
                                env=env or self.env, timeout=240)
        output = result.stdout.decode(errors="replace")
        statuses = dict(re.findall(r"^(\S+) \| ([A-Z]+!?)", output, re.MULTILINE))
        hosts = {}
        for host in os.listdir(tree):
            with open(os.path.join(tree, host), "rb") as f:
                hosts[host] = json.load(f)
            self.assertIn(host, statuses, output)
            hosts[host]["failed"] = statuses[host] in ("FAILED!", "UNREACHABLE!")
        if not hosts:
            self.fail(f"ansible wrote no host results (status {result.returncode}):\n"
                      f"{output}\n{result.stderr.decode(errors='replace')}")
        return hosts

    def test_one_command_gathers_every_hosts_machine(self):
        hosts = {f"host{k}": root for k, (_, root) in enumerate(self.machines.list)}
        inventory = "".join(inventory_line(host, tolvex_root=root)
                            for host, root in hosts.items())
        # tolvex-query found on the PATH, every class by default.
        results = self.run_ansible(inventory, "root={{ tolvex_root }}")
        self.assertEqual(set(results), set(hosts))
        for host, root in hosts.items():
            with self.subTest(host=host, root=root):
                result = results[host]
                self.assertFalse(result.get("failed"), result.get("msg"))
                self.assertFalse(result["changed"])
                facts = result["ansible_facts"]["tolvex"]
                expected = fleet.query_json(root)
                self.assertEqual(sorted(k for k in facts if ":" not in k), sorted(fleet.CLASSES))
                if root == "/":
                    facts, expected = steady(facts), steady(expected)
                self.assertEqual(facts, expected)
        # A captured host's file of the tree output is a snapshot of it
        # (Ansible writes the keys sorted, so the order is not kept).
        host, root = "host1", hosts["host1"]
        self.assertEqual(json.loads(fleet.query("--snapshot", os.path.join(self.tree, host),
                                                "--format", "json")),
                         fleet.query_json(root))

    def test_failures_of_tolvex_query_fail_the_task_with_its_message(self):
        root = self.machines.list[-1][1]
        cases = {
            # host: (variables, the message, tolvex-query's status)
            "missing-query": (dict(tolvex_query="/nonexistent/tolvex-query"),
                              "/nonexistent/tolvex-query", None),
            "missing-root": (dict(tolvex_root="/nonexistent"),
                             "tolvex-query: /nonexistent: No such file or directory", 66),
            "unknown-class": (dict(tolvex_classes="Win32_Processor,Win32_Nope"),
                              "tolvex-query: Win32_Nope: unknown class", 2),
            "some-classes": (dict(tolvex_classes="win32_logicaldisk,Win32_OperatingSystem"),
                             None, 0),
        }
        inventory = "".join(inventory_line(host, **variables)
                            for host, (variables, _, _) in cases.items())
        results = self.run_ansible(
            inventory,
            "root={{ tolvex_root | default('%s') }} "
            "query={{ tolvex_query | default('%s') }} "
            "classes={{ tolvex_classes | default(omit) }}" % (root, fleet.QUERY))
        for host, (_, message, status) in cases.items():
            with self.subTest(host=host):
                result = results[host]
                if status == 0:
                    self.assertFalse(result.get("failed"), result.get("msg"))
                    self.assertEqual(
                        result["ansible_facts"]["tolvex"],
                        fleet.query_json(root, ["Win32_LogicalDisk", "Win32_OperatingSystem"]))
                    continue
                self.assertTrue(result.get("failed"), result)
                self.assertIn(message, result["msg"])
                # The window refuses the host's file with the task's message,
                # before any window.
                if PROGRAM and status:
                    refused = subprocess.run(
                        [PROGRAM, "--snapshot", os.path.join(self.tree, host)],
                        capture_output=True, timeout=60,
                        env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
                    self.assertEqual(refused.returncode, 65, refused.stderr)
                    self.assertIn("the Ansible task failed on this host: " + message,
                                  refused.stderr.decode())
                self.assertNotIn("ansible_facts", result)
                if status is not None:
                    self.assertEqual(result["rc"], status)

    def test_without_tolvex_query_on_the_path_the_task_fails(self):
        if shutil.which("tolvex-query", path="/usr/bin:/bin"):
            self.skipTest("tolvex-query is installed on this machine")
        env = dict(self.env, PATH="/usr/bin:/bin")
        result = self.run_ansible(inventory_line("bare"), "", env=env)["bare"]
        self.assertTrue(result.get("failed"))
        self.assertIn("tolvex-query was not found on the PATH", result["msg"])


def steady(answer):
    """The classes of the answer without the values a running machine changes
    by itself."""
    return {name: [dict(instance, properties={k: v for k, v in instance["properties"].items()
                                              if k not in fleet.VOLATILE})
                   for instance in instances]
            for name, instances in answer.items() if ":" not in name}


if __name__ == "__main__":
    unittest.main()
