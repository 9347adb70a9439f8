#pragma once

// The management classes and the property names the program reads, spelled
// as the program asks for them (the service matches names without regard to
// case).
namespace tolvex::wmi {

inline constexpr const char* kMoniker = "WinMgmts:";

namespace cls {
inline constexpr const char* Processor = "Win32_Processor";
inline constexpr const char* PhysicalMemory = "Win32_PhysicalMemory";
inline constexpr const char* BaseBoard = "Win32_BaseBoard";
inline constexpr const char* MotherboardDevice = "Win32_MotherboardDevice";
inline constexpr const char* NetworkAdapter = "Win32_NetworkAdapter";
inline constexpr const char* VideoController = "Win32_VideoController";
inline constexpr const char* SCSIController = "Win32_SCSIController";
inline constexpr const char* LogicalDisk = "Win32_LogicalDisk";
inline constexpr const char* OperatingSystem = "Win32_OperatingSystem";
// The physical drives, and Tolvex's own class of their health tied to each
// drive by the same DeviceID; for tolvex-query and fleets, not the window.
inline constexpr const char* DiskDrive = "Win32_DiskDrive";
inline constexpr const char* DiskDriveHealth = "Tolvex_DiskDriveHealth";
// The monitors, from their EDID; the shape of the service's own monitor
// identity class (namespace root\wmi), which Tolvex answers itself.
inline constexpr const char* MonitorID = "WmiMonitorID";
}  // namespace cls

namespace prop {
// Shared
inline constexpr const char* Name = "Name";
inline constexpr const char* Manufacturer = "Manufacturer";
inline constexpr const char* Version = "Version";
inline constexpr const char* SerialNumber = "SerialNumber";
inline constexpr const char* DeviceID = "DeviceID";
inline constexpr const char* Availability = "Availability";
inline constexpr const char* Status = "Status";
inline constexpr const char* DataWidth = "DataWidth";
inline constexpr const char* Model = "Model";
inline constexpr const char* PartNumber = "PartNumber";
inline constexpr const char* Revision = "Revision";
inline constexpr const char* ProtocolSupported = "ProtocolSupported";

// Win32_Processor, as the processor section asks for them
inline constexpr const char* processorType = "processorType";
inline constexpr const char* architecture = "architecture";
inline constexpr const char* family = "family";
inline constexpr const char* AddressWidth = "AddressWidth";
inline constexpr const char* L2CacheSize = "L2CacheSize";
inline constexpr const char* L2CacheSpeed = "L2CacheSpeed";
inline constexpr const char* CurrentVoltage = "CurrentVoltage";
inline constexpr const char* ExtClock = "ExtClock";
inline constexpr const char* CurrentClockSpeed = "CurrentClockSpeed";
inline constexpr const char* MaxClockSpeed = "MaxClockSpeed";
inline constexpr const char* Level = "Level";
inline constexpr const char* cpustatus = "cpustatus";
inline constexpr const char* ProcessorId = "ProcessorId";

// Win32_PhysicalMemory
inline constexpr const char* Tag = "Tag";
inline constexpr const char* Label = "Label";
inline constexpr const char* DeviceLocator = "DeviceLocator";
inline constexpr const char* FormFactor = "FormFactor";
inline constexpr const char* MemoryType = "MemoryType";
inline constexpr const char* TypeDetail = "TypeDetail";
inline constexpr const char* Capacity = "Capacity";
inline constexpr const char* TotalWidth = "TotalWidth";
inline constexpr const char* Speed = "Speed";
inline constexpr const char* BankLabel = "BankLabel";

// Win32_BaseBoard and Win32_MotherboardDevice
inline constexpr const char* Product = "Product";
inline constexpr const char* Height = "Height";
inline constexpr const char* Width = "Width";
inline constexpr const char* Depth = "Depth";
inline constexpr const char* Weight = "Weight";
inline constexpr const char* SlotLayout = "SlotLayout";
inline constexpr const char* PrimaryBusType = "PrimaryBusType";
inline constexpr const char* SecondaryBusType = "SecondaryBusType";

// Win32_NetworkAdapter
inline constexpr const char* AdapterType = "AdapterType";
inline constexpr const char* MACAddress = "MACAddress";
inline constexpr const char* NetConnectionID = "NetConnectionID";

// Win32_VideoController
inline constexpr const char* VideoProcessor = "VideoProcessor";
inline constexpr const char* VideoArchitecture = "VideoArchitecture";
inline constexpr const char* VideoMemoryType = "VideoMemoryType";
inline constexpr const char* AdapterDACType = "AdapterDACType";
inline constexpr const char* AdapterRAM = "AdapterRAM";
inline constexpr const char* InstalledDisplayDrivers = "InstalledDisplayDrivers";
inline constexpr const char* DriverDate = "DriverDate";
inline constexpr const char* DriverVersion = "DriverVersion";
inline constexpr const char* VideoModeDescription = "VideoModeDescription";
inline constexpr const char* CurrentRefreshRate = "CurrentRefreshRate";
inline constexpr const char* MaxRefreshRate = "MaxRefreshRate";

// Win32_SCSIController
inline constexpr const char* DriverName = "DriverName";
inline constexpr const char* HardwareVersion = "HardwareVersion";
inline constexpr const char* MaxDataWidth = "MaxDataWidth";
inline constexpr const char* MaxTransferRate = "MaxTransferRate";
inline constexpr const char* MaxNumberControlled = "MaxNumberControlled";
inline constexpr const char* ProtectionManagement = "ProtectionManagement";

// Win32_LogicalDisk
inline constexpr const char* Size = "Size";
inline constexpr const char* FreeSpace = "FreeSpace";
inline constexpr const char* VolumeName = "VolumeName";
inline constexpr const char* VolumeSerialNumber = "VolumeSerialNumber";
inline constexpr const char* DriveType = "DriveType";
inline constexpr const char* FileSystem = "FileSystem";
inline constexpr const char* Compressed = "Compressed";

// Win32_OperatingSystem
inline constexpr const char* Caption = "Caption";
inline constexpr const char* BuildNumber = "BuildNumber";
inline constexpr const char* BuildType = "BuildType";
inline constexpr const char* CSDVersion = "CSDVersion";
inline constexpr const char* ServicePackMajorVersion = "ServicePackMajorVersion";
inline constexpr const char* ServicePackMinorVersion = "ServicePackMinorVersion";
inline constexpr const char* BootDevice = "BootDevice";
inline constexpr const char* WindowsDirectory = "WindowsDirectory";
inline constexpr const char* SystemDirectory = "SystemDirectory";
inline constexpr const char* CSName = "CSName";
inline constexpr const char* LastBootUpTime = "LastBootUpTime";
inline constexpr const char* NumberOfLicensedUsers = "NumberOfLicensedUsers";
inline constexpr const char* NumberOfUsers = "NumberOfUsers";
inline constexpr const char* TotalVisibleMemorySize = "TotalVisibleMemorySize";
inline constexpr const char* FreePhysicalMemory = "FreePhysicalMemory";
inline constexpr const char* TotalVirtualMemorySize = "TotalVirtualMemorySize";
inline constexpr const char* FreeVirtualMemory = "FreeVirtualMemory";
inline constexpr const char* SizeStoredInPagingFiles = "SizeStoredInPagingFiles";
inline constexpr const char* FreeSpaceInPagingFiles = "FreeSpaceInPagingFiles";

// Win32_DiskDrive (also Name, DeviceID, Caption, Model, Manufacturer,
// SerialNumber, Size, Status). Size and TotalSectors are 64-bit counts
// (text); Index, BytesPerSector and Partitions are integers; Status is "OK",
// or "Pred Fail" where SMART says the drive is failing.
inline constexpr const char* Index = "Index";
inline constexpr const char* FirmwareRevision = "FirmwareRevision";
inline constexpr const char* BytesPerSector = "BytesPerSector";
inline constexpr const char* TotalSectors = "TotalSectors";
inline constexpr const char* Partitions = "Partitions";
inline constexpr const char* InterfaceType = "InterfaceType";
inline constexpr const char* MediaType = "MediaType";
inline constexpr const char* PNPDeviceID = "PNPDeviceID";
// Extras the Linux provider adds to Win32_DiskDrive (Windows' class has
// neither): the drive's World Wide Name as udev or udisks read it ("0x..."
// or "eui.../nvme..."), and its rotation rate in revolutions per minute,
// 0 for solid-state media, as MSFT_PhysicalDisk.SpindleSpeed counts it.
inline constexpr const char* WWN = "WWN";
inline constexpr const char* SpindleSpeed = "SpindleSpeed";

// Tolvex_DiskDriveHealth (key DeviceID, the drive's). Temperatures are reals
// in degrees Celsius: the drive's reading and its own warning and critical
// limits; SmartFailing a Boolean; PowerOnHours an integer; BadSectors a
// 64-bit count (text). TemperatureSource and HealthSource name where the
// values came from: a hwmon file ("/sys/class/hwmon/hwmon3/temp1_input"),
// "udisks", or on Windows the call or class that answered.
inline constexpr const char* Temperature = "Temperature";
inline constexpr const char* TemperatureWarning = "TemperatureWarning";
inline constexpr const char* TemperatureCritical = "TemperatureCritical";
inline constexpr const char* SmartFailing = "SmartFailing";
inline constexpr const char* PowerOnHours = "PowerOnHours";
inline constexpr const char* BadSectors = "BadSectors";
inline constexpr const char* TemperatureSource = "TemperatureSource";
inline constexpr const char* HealthSource = "HealthSource";

// WmiMonitorID, with the image size of WmiMonitorBasicDisplayParams
inline constexpr const char* InstanceName = "InstanceName";
inline constexpr const char* Active = "Active";
inline constexpr const char* ManufacturerName = "ManufacturerName";
inline constexpr const char* ProductCodeID = "ProductCodeID";
inline constexpr const char* SerialNumberID = "SerialNumberID";
inline constexpr const char* UserFriendlyName = "UserFriendlyName";
inline constexpr const char* WeekOfManufacture = "WeekOfManufacture";
inline constexpr const char* YearOfManufacture = "YearOfManufacture";
inline constexpr const char* MaxHorizontalImageSize = "MaxHorizontalImageSize";
inline constexpr const char* MaxVerticalImageSize = "MaxVerticalImageSize";
}  // namespace prop

}  // namespace tolvex::wmi
