#include "history/history_main.h"

#include <iostream>

int main(int argc, char* argv[]) {
    return vendrik::history::runHistoryMain(argc, argv, std::cout, std::cerr);
}
