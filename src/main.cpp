#include "driver/run_main.h"

#include <iostream>

int main(int argc, char* argv[]) {
    return vendrik::runMain(argc, argv, std::cout);
}
