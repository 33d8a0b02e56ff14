// Finding the modem's control port in the kernel's USB-serial driver list.
//
// Each port has one line in the list: an index token ("1:"), then key:value
// fields ending with vendor, product, num_ports, port and path. The modem's
// control port is the one listed after the first line of product 0028: four
// tokens after the product token stands the next line's index token.
#pragma once

#include <string>
#include <vector>

namespace PortDiscovery {

constexpr const char* kDriverListPath = "/proc/tty/driver/usbserial";
constexpr const char* kDevicePrefix = "/dev/ttyUSB";
// The modem's lines carry this token.
constexpr const char* kProductMarker = "product:0028";

// The port number text of the modem's control port in the list's text, or ""
// when it holds no product-0028 line or that line is cut short. The list is
// read as whitespace-separated tokens.
std::string findModemPortText(const std::string& driverList);

// The modem's lines of the list, whole, in order.
std::vector<std::string> findModemLines(const std::string& driverList);

// findModemPortText on the kernel's list; "" when the list cannot be read.
std::string readModemPortText();

// The kernel's list read as readModemPortText reads it, keeping why it did
// not open (for a tool that can name the reason; the probe cannot).
struct ListedPort {
    std::string portText;
    std::string openError;  // the system's error text; "" when the list opened
};
ListedPort readListedPort();

}  // namespace PortDiscovery
