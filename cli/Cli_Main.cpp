#include "cli/Cli_Commands.h"
#include "platform/File_System.h"
#include "platform/Process.h"

#include <iostream>

int main(int argc, char** argv)
{
    plotvane::Ignore_File_Size_Limit_Signal();
    plotvane::Give_Large_Blocks_Back_When_Freed();
    return plotvane::Run_Cli(argc, argv, std::cout, std::cerr);
}
