// quorvexcard: the modem's state for a technician at the gateway, or a
// change of its hybrid preference. See quorvexcard(1).
#include <unistd.h>

#include "card/StandardDescriptors.h"
#include "cardtool/CardTool.h"
#include "cardtool/CardToolOptions.h"
#include "text/TextOut.h"

int main(int argc, char** argv) {
    StandardDescriptors::ensureOpen();
    Text::FdOut out(STDOUT_FILENO);
    Text::FdOut err(STDERR_FILENO);
    return CardTool::run(CardTool::argumentsAfterName(argc, argv), out, err);
}
