'''A stand-in for udisks on a test's own system bus (a python3-dbusmock
template): it answers udisks' documented interfaces
org.freedesktop.UDisks2.Drive, Drive.Ata and Block, through the object
manager at /org/freedesktop/UDisks2, for the drives the test names in its
parameters, with SMART states no virtual disk has (a failing drive).

Parameters (JSON): {"drives": [{"device": "sda", "id": "Maker_Model_SERIAL",
  "serial": "...", "wwn": "...", "model": "...",
  "smart": {"updated": 1700000000, "failing": true, "kelvin": 318.15,
            "power_on_seconds": 3600, "bad_sectors": 12}}]}
"enabled" in "smart" is true unless given.
A drive without "smart" has no Drive.Ata interface (as udisks shows an NVMe
or virtio drive).
'''

import dbus

from dbusmock import mockobject

BUS_NAME = 'org.freedesktop.UDisks2'
MAIN_OBJ = '/org/freedesktop/UDisks2'
MAIN_IFACE = 'org.freedesktop.UDisks2.Manager'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

DRIVE_IFACE = 'org.freedesktop.UDisks2.Drive'
ATA_IFACE = 'org.freedesktop.UDisks2.Drive.Ata'
BLOCK_IFACE = 'org.freedesktop.UDisks2.Block'


def load(mock, parameters):
    mock.AddObject(MAIN_OBJ + '/Manager', MAIN_IFACE, {'Version': dbus.String('2.9.4')}, [])
    for drive in parameters.get('drives', []):
        path = MAIN_OBJ + '/drives/' + drive['id']
        mock.AddObject(path, DRIVE_IFACE, {
            'Serial': dbus.String(drive.get('serial', '')),
            'WWN': dbus.String(drive.get('wwn', '')),
            'Model': dbus.String(drive.get('model', '')),
            'RotationRate': dbus.Int32(-1),
        }, [])
        smart = drive.get('smart')
        if smart is not None:
            mockobject.objects[path].AddProperties(ATA_IFACE, {
                'SmartSupported': dbus.Boolean(True),
                'SmartEnabled': dbus.Boolean(smart.get('enabled', True)),
                'SmartUpdated': dbus.UInt64(smart['updated']),
                'SmartFailing': dbus.Boolean(smart['failing']),
                'SmartTemperature': dbus.Double(smart['kelvin']),
                'SmartPowerOnSeconds': dbus.UInt64(smart['power_on_seconds']),
                'SmartNumBadSectors': dbus.Int64(smart['bad_sectors']),
                'SmartNumAttributesFailing': dbus.Int32(1 if smart['failing'] else 0),
                'SmartSelftestStatus': dbus.String('success'),
            })
        device = ('/dev/' + drive['device']).encode() + b'\0'
        mock.AddObject(MAIN_OBJ + '/block_devices/' + drive['device'], BLOCK_IFACE, {
            'Device': dbus.Array([dbus.Byte(b) for b in device], signature='y'),
            'Drive': dbus.ObjectPath(path),
        }, [])
