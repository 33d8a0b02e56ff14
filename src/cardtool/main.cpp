// quorvexcard: the modem's state for a technician at the gateway, or a
// change of its hybrid preference. See quorvexcard(1).
#include <iostream>
#include <string>
#include <vector>

#include "cardtool/CardTool.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return CardTool::run(arguments, std::cout, std::cerr);
}
