#include "cli/Cli_Commands.h"

#include <iostream>

int main(int argc, char** argv)
{
    return plotvane::Run_Cli(argc, argv, std::cout, std::cerr);
}
