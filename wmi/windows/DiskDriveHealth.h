#pragma once

#include "wmi/Management.h"

namespace tolvex::windows {

// Tolvex_DiskDriveHealth: one instance per Win32_DiskDrive of `service`,
// keyed by the drive's DeviceID. The temperature and the drive's limits come
// from IOCTL_STORAGE_QUERY_PROPERTY (StorageDeviceTemperatureProperty) on the
// drive opened with no access rights, which needs no administrator; SMART's
// verdict from root\wmi's MSStorageDriver_FailurePredictStatus and the
// power-on hours and bad sectors from MSStorageDriver_FailurePredictData,
// which the service answers administrators only. What a source does not give
// is Null with the reason the source failed. Throws Failure only when the
// drives themselves cannot be listed.
ObjectSetPtr diskDriveHealth(ManagementService& service);

}  // namespace tolvex::windows
