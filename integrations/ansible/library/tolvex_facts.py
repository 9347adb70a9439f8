#!/usr/bin/python
# -*- coding: utf-8 -*-
# Tolvex: hardware inventory facts for Ansible, from tolvex-query.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: tolvex_facts
short_description: Gather a host's hardware inventory as Tolvex sees it
description:
  - Runs C(tolvex-query --format json) on the host and returns its answer as
    the fact C(tolvex), which holds the processors, memory modules, base
    board, motherboard device, network adapters, video adapters, SCSI
    adapters, logical drives, operating system, and where the host's
    C(tolvex-query) answers them the physical disk drives
    (C(Win32_DiskDrive)) and their health (C(Tolvex_DiskDriveHealth):
    temperature and its limits, SMART's verdict, power-on hours, bad
    sectors), in the shape of the Windows management classes.
  - Monitors (C(WmiMonitorID)) come from each one's EDID: maker (PNP id),
    product code in decimal, serial, name, week and year of manufacture and
    image size in centimetres. The names are text, not the arrays of UTF-16
    code units the Windows class holds.
  - Reads only what an ordinary user can read; it needs no privilege
    escalation. Memory modules come from the SMBIOS tables where readable,
    else from udev's decode of them or EDAC; only values held nowhere but in
    the firmware tables (a processor's voltage and external clock) need
    C(become).
  - Changes nothing on the host.
version_added: "1.0.6"
options:
  root:
    description:
      - The machine to read, C(/) for the host itself or the folder of a
        captured machine tree (its /proc, /sys and the tolvex-syscalls.ini
        sidecar).
    type: path
    default: /
  classes:
    description:
      - The management classes to read; when not given, every class the
        host's C(tolvex-query) answers (C(tolvex-query --help) lists them),
        so a host with an older Tolvex still answers.
      - Names are matched without regard to case; the facts are keyed by the
        names as the service spells them.
    type: list
    elements: str
  query:
    description:
      - The path of C(tolvex-query) on the host; found on the PATH when not
        given.
    type: path
notes:
  - A missing C(tolvex-query), an unusable I(root), an unknown class or a
    failing provider fails the task with C(tolvex-query)'s own message and its
    exit status in C(rc).
  - Supports check mode; it only reads.
requirements:
  - tolvex-query (the Tolvex package) on the host
author:
  - Tolvex developers
"""

EXAMPLES = r"""
- name: Gather the hardware inventory
  tolvex_facts:

- name: Show how many memory modules each host has
  ansible.builtin.debug:
    msg: "{{ ansible_facts.tolvex.Win32_PhysicalMemory | length }} modules"

- name: Read only the drives and the operating system
  tolvex_facts:
    classes: [Win32_LogicalDisk, Win32_OperatingSystem]

- name: Read the physical drives and their health
  tolvex_facts:
    classes: [Win32_DiskDrive, Tolvex_DiskDriveHealth]

- name: Name the drives SMART says are failing
  ansible.builtin.debug:
    msg: "{{ ansible_facts.tolvex.Tolvex_DiskDriveHealth
             | selectattr('properties.SmartFailing') | map(attribute='properties.DeviceID') }}"

- name: Read a captured machine tree with a tolvex-query outside the PATH
  tolvex_facts:
    root: /srv/captures/server-42
    query: /opt/tolvex/bin/tolvex-query

# Ad hoc, for every host of an inventory:
#   ANSIBLE_LIBRARY=/usr/share/tolvex/ansible/library \
#     ansible all -i hosts.ini -m tolvex_facts
"""

RETURN = r"""
ansible_facts:
  description: The facts gathered.
  returned: success
  type: dict
  contains:
    tolvex:
      description:
        - One entry per class read, keyed by class name, each a list of the
          class's instances exactly as C(tolvex-query --format json) prints
          them.
        - An instance is a dict with C(path), its object path, and
          C(properties), every property by name in the service's order;
          Null values are null, 64-bit counts and date-times are strings;
          and C(reasons), for each Null property why it is Null (C(reason),
          and where known C(source) and C(remedy)).
      type: dict
      sample:
        Win32_Processor:
          - path: '\\web1\root\cimv2:Win32_Processor.DeviceID="CPU0"'
            properties:
              DeviceID: CPU0
              Name: AMD EPYC 7302 16-Core Processor
              CurrentClockSpeed: 3000
              MaxClockSpeed: null
            reasons:
              MaxClockSpeed:
                reason: not provided by this machine
                source: /sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq
        Win32_PhysicalMemory: []
"""

import json

from ansible.module_utils.basic import AnsibleModule

def main():
    module = AnsibleModule(
        argument_spec=dict(
            root=dict(type="path", default="/"),
            classes=dict(type="list", elements="str"),
            query=dict(type="path"),
        ),
        supports_check_mode=True,
    )
    query = module.params["query"] or module.get_bin_path("tolvex-query")
    if not query:
        module.fail_json(msg="tolvex-query was not found on the PATH; install Tolvex "
                             "or give its path with the query option")
    classes = module.params["classes"]
    if classes is None:
        classes = []  # tolvex-query answers all its classes
    elif not classes:
        module.fail_json(msg="classes names no class")

    command = [query, "--format", "json", "--root", module.params["root"], "--"] + classes
    try:
        rc, out, err = module.run_command(command)
    except OSError as error:
        module.fail_json(msg="cannot run %s: %s" % (query, error), cmd=command)
    if rc != 0:
        message = err.strip() or "tolvex-query ended with status %d" % rc
        module.fail_json(msg=message, rc=rc, cmd=command, stderr=err)
    try:
        answer = json.loads(out)
    except ValueError as error:
        module.fail_json(msg="tolvex-query printed no valid JSON: %s" % error, cmd=command)
    module.exit_json(changed=False, ansible_facts=dict(tolvex=answer))


if __name__ == "__main__":
    main()
