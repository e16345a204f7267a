// plotvane-hold-lock MAP: takes MAP's lock as an edit does, says so on standard output, and holds
// it until its standard input closes. The Windows process test runs it under Wine beside
// plotvane-cli.exe, so that the lock a second edit meets belongs to another Windows process.
#include "platform/File_Lock.h"

#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: plotvane-hold-lock MAP\n";
        return 2;
    }
    const plotvane::TFile_Lock lock(argv[1]);
    std::cout << "locked " << argv[1] << std::endl;
    for (std::string line; std::getline(std::cin, line);) {
    }
    return 0;
}
