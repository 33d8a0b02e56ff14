#include "card/PortDiscovery.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The port is the one on the line after the first match.
TEST(PortDiscoveryTest, DriverListsAsTokens) {
    // Refusing an over-long one is the opener's job: it is neither cut nor overrun.
    const std::string longIndex(5000, '9');
    const struct {
        const char* name;
        std::string list;
        std::string port;
    } cases[] = {
        {"a modem with two interfaces",
         "usbserinfo:1.0 driver:2.0\n"
         "0: module:usbserial name:\"generic\" vendor:abcd product:0028 num_ports:1 port:0 path:p\n"
         "1: module:usbserial name:\"generic\" vendor:abcd product:0028 num_ports:1 port:0 "
         "path:p\n",
         "1"},
        {"other devices before the modem",
         "usbserinfo:1.0 driver:2.0\n"
         "0: module:pl2303 name:\"pl2303\" vendor:1234 product:5678 num_ports:1 port:0 "
         "path:usb-a-1\n"
         "1: module:usbserial name:\"generic\" vendor:abcd product:0028 num_ports:1 port:0 "
         "path:usb-b-1\n"
         "2: module:usbserial name:\"generic\" vendor:abcd product:0028 num_ports:1 port:0 "
         "path:usb-b-1\n",
         "2"},
        {"only the first match counts",
         "3: module:usbserial name:\"generic\" vendor:abcd product:0028 num_ports:1 port:0 path:p\n"
         "14: module:usbserial name:\"generic\" vendor:abcd product:0028 num_ports:1 port:0 "
         "path:p\n"
         "15: module:usbserial name:\"generic\" vendor:abcd product:0028 num_ports:1 port:0 "
         "path:p\n",
         "14"},
        {"marker inside a longer token", "0: xproduct:00281 num_ports:1 port:0 path:p\n7: a b c\n",
         "7"},
        {"no product 0028",
         "0: module:usbserial name:\"generic\" vendor:abcd product:0029 num_ports:1 port:0 path:p\n"
         "1: module:usbserial name:\"generic\" vendor:abcd product:0029 num_ports:1 port:0 "
         "path:p\n",
         ""},
        {"empty list", "", ""},
        {"matching line is the last one",
         "0: module:usbserial name:\"generic\" vendor:abcd product:0028 num_ports:1 port:0 "
         "path:p\n",
         ""},
        {"matching line cut short",
         "0: module:usbserial name:\"generic\" vendor:abcd product:0028 num_ports:1 port:0\n", ""},
        {"index token of one character", "product:0028 a b c :\n", ""},
        {"tabs and blank lines",
         "\n\n0:\tproduct:0028\tnum_ports:1\tport:0\tpath:p\n\n12:\tproduct:0028\n", "12"},
        {"over-long port text",
         "0: product:0028 num_ports:1 port:0 path:p\n" + longIndex + ": product:0028\n", longIndex},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PortDiscovery::findModemPortText(c.list), c.port) << c.name;
    }
}

}  // namespace
