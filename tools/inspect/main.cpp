#include <iostream>

#include "inspect.h"

int main(int argc, char** argv) {
    return inspect::run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
