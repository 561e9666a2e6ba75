#include "driver/run_main.h"
#include "output/native_path.h"

#include <iostream>

int main(int argc, char* argv[]) {
    return vendrik::runMain(argc, argv, std::cout, vendrik::wideArguments());
}
