// The firmware upgrade procedure: checks the device and the image file,
// erases the image region and the header page, writes the payload page by
// page and then the header, and restarts the device into a main firmware
// image. It refuses an image it cannot trust before the first erase.
#pragma once

#include <cstdint>

// Programs the image file imageName (empty: no file was found) into the
// device behind handle. Returns 0 on success, else the first error: a device
// library code, or one of the device::kImage... codes and
// device::kUnknownImageType (device/device_codes.h). An error is also shown
// on the console as "\r\nError: (code)\r\n".
std::int32_t upgrade(std::int32_t handle, const char* imageName);
