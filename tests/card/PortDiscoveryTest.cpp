#include "card/PortDiscovery.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A driver list's line as the kernel writes it, for `product` at `index`.
std::string line(const std::string& index, const char* product = "0028",
                 const char* module = "usbserial") {
    return index + ": module:" + module + " name:\"generic\" vendor:abcd product:" + product +
           " num_ports:1 port:0 path:p\n";
}

// The port is the one on the line after the first match.
TEST(PortDiscoveryTest, DriverListsAsTokens) {
    // Refusing an over-long one is the opener's job: it is neither cut nor overrun.
    const std::string longIndex(5000, '9');
    const std::string header = "usbserinfo:1.0 driver:2.0\n";
    const struct {
        const char* name;
        std::string list;
        std::string port;
    } cases[] = {
        {"a modem with two interfaces", header + line("0") + line("1"), "1"},
        {"other devices before the modem",
         header + line("0", "5678", "pl2303") + line("1") + line("2"), "2"},
        {"only the first match counts", line("3") + line("14") + line("15"), "14"},
        {"marker inside a longer token", "0: xproduct:00281 num_ports:1 port:0 path:p\n7: a b c\n",
         "7"},
        {"no product 0028", line("0", "0029") + line("1", "0029"), ""},
        {"empty list", "", ""},
        {"matching line is the last one", line("0"), ""},
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
