#include <clocale>
#include <iostream>

#include "LogDump.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    return logdump::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
