#include "cli/Cli_Commands.h"
#include "platform/File_System.h"
#include "platform/Process.h"

#include <iostream>

int main(int argc, char** argv)
{
    plotvane::Ignore_File_Size_Limit_Signal();
    plotvane::Give_Large_Blocks_Back_When_Freed();
    plotvane::Use_Binary_Standard_Streams();
    const plotvane::TProgram_Arguments arguments(argc, argv);
    return plotvane::Run_Cli(arguments.Count(), arguments.Values(), std::cout, std::cerr);
}
