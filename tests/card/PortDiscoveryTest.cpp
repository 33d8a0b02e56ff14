#include "card/PortDiscovery.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using PortDiscovery::findModemPortText;

std::string portTextOf(const std::string& list) {
    return findModemPortText(list);
}

// A modem with two interfaces: the control port is the second line.
constexpr const char* kTwoInterfaces = R"(usbserinfo:1.0 driver:2.0
0: module:usbserial name:"generic" vendor:abcd product:0028 num_ports:1 port:0 path:usb-dummy_hcd.0-1
1: module:usbserial name:"generic" vendor:abcd product:0028 num_ports:1 port:0 path:usb-dummy_hcd.0-1
)";

TEST(PortDiscoveryTest, PortIsTheLineAfterTheFirstMatch) {
    EXPECT_EQ(portTextOf(kTwoInterfaces), "1");
}

TEST(PortDiscoveryTest, DriverListsAsTokens) {
    const struct {
        const char* name;
        const char* list;
        const char* port;
    } cases[] = {
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
    };
    for (const auto& c : cases) {
        EXPECT_EQ(portTextOf(c.list), c.port) << c.name;
    }
}

TEST(PortDiscoveryTest, OverLongPortTextIsReturnedWhole) {
    // Refusing it is the opener's job; discovery must neither cut nor overrun it.
    const std::string longIndex(5000, '9');
    const std::string list =
        "0: product:0028 num_ports:1 port:0 path:p\n" + longIndex + ": product:0028\n";
    EXPECT_EQ(portTextOf(list), longIndex);
}

}  // namespace
