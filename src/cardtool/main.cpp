// quorvexcard: the modem's state for a technician at the gateway, or a
// change of its hybrid preference. See quorvexcard(1).
#include <iostream>

#include "card/StandardDescriptors.h"
#include "cardtool/CardTool.h"
#include "cardtool/CardToolOptions.h"

int main(int argc, char** argv) {
    StandardDescriptors::ensureOpen();
    return CardTool::run(CardTool::argumentsAfterName(argc, argv), std::cout, std::cerr);
}
