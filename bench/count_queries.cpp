// Runs one vendrik-history command in this process, as the program would, and prints on
// standard error the number of queries it made on the database.
//   count_queries COMMAND [ARGUMENTS...]      (as for vendrik-history)

#include "history/history_main.h"
#include "history/store/store.h"

#include <iostream>

int main(int argc, char* argv[]) {
    std::size_t queries = 0;
    vendrik::history::listenToQueries([&] { ++queries; });
    const int status = vendrik::history::runHistoryMain(argc, argv, std::cout, std::cerr);
    std::cerr << "queries: " << queries << '\n';
    return status;
}
