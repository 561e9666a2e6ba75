// The floor of the benchmark: reads a file line by line with std::getline and does nothing
// else. Prints the number of lines and bytes so that the work cannot be left out.
//   read_lines FILE

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char* argv[]) {
    if (argc < 2) {
        return 2;
    }
    std::ifstream input(argv[1]);
    std::string line;
    unsigned long lines = 0;
    unsigned long bytes = 0;
    while (std::getline(input, line)) {
        ++lines;
        bytes += line.size();
    }
    std::printf("%lu lines, %lu bytes\n", lines, bytes);
    return 0;
}
