#include <iostream>
#include <string>
#include <vector>

#include "core/Messages.h"
#include "storetool/StoreTool.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    ks::StderrMessages messages;
    return ks::runStoreTool(std::vector<std::string>(argv + 1, argv + argc), std::cin, std::cout,
                            messages);
}
