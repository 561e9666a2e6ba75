// Measures how well file moves are found: RUNS generated pairs of runs of FILES files, in
// each of which MOVES files are renamed or moved to another folder (a third of them also
// losing one finding and gaining another) while other files gain and lose findings; prints
// how many moves were found of how many were made, and how many were found that were not.
//   rename_detection [RUNS [FILES [MOVES]]]     (default 100 runs, 200 files, 10 moves)

#include "history/finding_match.h"

#include <cstdio>
#include <random>
#include <set>
#include <string>

using vendrik::history::TrackedFinding;

int main(int argc, char* argv[]) {
    const int runs = argc > 1 ? std::stoi(argv[1]) : 100;
    const int files = argc > 2 ? std::stoi(argv[2]) : 200;
    const int moves = argc > 3 ? std::stoi(argv[3]) : 10;
    std::mt19937 random(7);
    long made = 0;
    long found = 0;
    long wrong = 0;
    long movedWithChanges = 0;
    long foundWithChanges = 0;
    for (int run = 0; run < runs; ++run) {
        std::vector<TrackedFinding> base;
        std::vector<TrackedFinding> head;
        std::set<std::pair<std::string, std::string>> expected;
        std::set<std::pair<std::string, std::string>> changed;
        for (int file = 0; file < files; ++file) {
            const std::string name =
                "Src/m" + std::to_string(file % 7) + "/f" + std::to_string(file) + ".c";
            const bool moved = file < moves;
            const std::string to = file % 2 == 0 ? "Src/moved/f" + std::to_string(file) + ".c"
                                                 : "Src/m" + std::to_string(file % 7) + "/renamed" +
                                                       std::to_string(file) + ".c";
            const int count = 1 + static_cast<int>(random() % 12);
            for (int at = 0; at < count; ++at) {
                // Few message numbers and texts: files look alike, as real ones do.
                const std::int64_t number = 2000 + static_cast<std::int64_t>(random() % 6);
                const TrackedFinding finding{
                    "", name, 10 + 7 * at, number, 3, false, "Message " + std::to_string(number),
                    "", ""};
                base.push_back(finding);
                TrackedFinding now = finding;
                now.file = moved ? to : name;
                now.line += static_cast<std::int64_t>(random() % 3);
                const bool changes = moved && file % 3 == 0 && count >= 5;
                if (!(changes && at == 0)) {
                    head.push_back(now);
                }
                if (changes && at == 0) {
                    now.number = 2100;
                    now.text = "Another message";
                    head.push_back(now);
                }
                if (!moved && random() % 20 == 0) { // a fix elsewhere
                    head.pop_back();
                }
            }
            if (!moved && random() % 10 == 0) { // a new finding elsewhere
                head.push_back({"", name, 500, 2000, 3, false, "Message 2000", "", ""});
            }
            if (moved) {
                expected.emplace(name, to);
                if (file % 3 == 0 && count >= 5) {
                    changed.emplace(name, to);
                }
            }
        }
        const auto match = vendrik::history::matchFindings(base, head);
        made += static_cast<long>(expected.size());
        movedWithChanges += static_cast<long>(changed.size());
        for (const auto& move : match.movedFiles) {
            if (expected.count(move) != 0) {
                ++found;
                foundWithChanges += changed.count(move) != 0 ? 1 : 0;
            } else {
                ++wrong;
            }
        }
    }
    std::printf("moves found: %ld of %ld made (%ld of %ld that also changed a finding); "
                "found but not made: %ld\n",
                found, made, foundWithChanges, movedWithChanges, wrong);
    return 0;
}
