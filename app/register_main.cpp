// dovrin-register: the security category of every sealed radioactive source of an inventory.

#include <unistd.h>

#include <string_view>
#include <vector>

#include "command_line.h"

int main(int argc, char* argv[]) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    return dovrin::runRegister(arguments, stdin, stdout, stderr, isatty(STDERR_FILENO) == 1,
                               dovrin::presentLocalTime());
}
