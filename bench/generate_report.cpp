// Writes a deterministic, realistic analyser report to standard output:
//   generate_report [lines] [seed]
// Thousands of source files, realistic message numbers and texts (many naming one of
// thousands of identifiers, so that about one warning in twelve has a text of its own), about
// 5 % HIS messages, a few % repeated warnings, and about a fifth of the lines outside the
// source tree or not warnings at all. As the analyser works file by file, a file's warnings
// come in runs (of 1 to 60 lines), and a file may come back later. CR LF line ends.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Message {
    unsigned number;
    unsigned priority;
    std::string_view text;
    std::string_view reference;
};

constexpr std::array<Message, 16> messages = {{
    {3200, 3, "Function return value is not used", "MISRA C:2012 Rule-17.7"},
    {2981, 5,
     "This initialization is redundant. The value of this object is never used before being "
     "modified",
     "MISRA C:2012 Rule-2.2"},
    {3408, 7, "'%s' has external linkage and is being defined without any previous declaration",
     "MISRA C:2012 Rule-8.4"},
    {2000, 2, "No 'else' clause exists for this 'if' statement", "MISRA C:2012 Rule-15.7"},
    {2201, 2, "This indentation is not consistent with previous statements",
     "MISRA C:2012 Dir-4.1"},
    {1503, 8, "The function '%s' is defined but is not used within this project",
     "MISRA C:2012 Rule-2.1"},
    {2880, 9, "This code is unreachable", "MISRA C:2012 Rule-2.1"},
    {4397, 4,
     "An expression which is the result of a ~ or << operation has not been cast to its essential "
     "type",
     "MISRA C:2012 Rule-10.8"},
    {310, 6, "Casting to different object pointer type", "MISRA C:2012 Rule-11.3"},
    {1281, 1, "Integer literal constant is of an unsigned type but does not include a \"U\" suffix",
     "MISRA C:2012 Rule-7.2"},
    {3673, 3,
     "The object addressed by the pointer parameter '%s' is not modified and so the pointer could "
     "be of type 'pointer to const'",
     "MISRA C:2012 Rule-8.13"},
    {2982, 5, "This assignment is redundant. The value of this object is never subsequently used",
     "MISRA C:2012 Rule-2.2"},
    {4700, 0, "Metric value out of threshold range: STCYC > 10 (see (HIS) limits.)",
     "MISRA C:2012 Dir-4.1"},
    {3120, 6, "Hard-coded 'magic' integer constant, '%s'", "MISRA C:2012 Dir-4.9"},
    {4461, 4,
     "A non-constant expression of 'essentially unsigned' type is being converted to narrower "
     "unsigned type",
     "MISRA C:2012 Rule-10.3"},
    {1006, 7, "This in-line assembler construct is a language extension", "MISRA C:2012 Dir-4.2"},
}};

constexpr std::array<Message, 4> hisMessages = {{
    {5310, 2, "HIS metric STCYC exceeds 20", "HIS STCYC"},
    {5320, 2, "HIS metric STPTH exceeds 80", "HIS STPTH"},
    {5332, 4, "HIS metric STCAL exceeds 7", "HIS STCAL"},
    {5391, 9, "HIS metric STGTO is not 0", "HIS STGTO"},
}};

constexpr std::array<std::string_view, 8> folders = {"Core", "Drivers", "App", "Lib",
                                                     "Com",  "Diag",    "Mem", "Os"};
constexpr std::array<std::string_view, 6> names = {"io_buffer", "scheduler", "can_if",
                                                   "adc",       "crc",       "nvm_block"};
constexpr std::array<std::string_view, 4> extensions = {".c", ".h", ".c", ".cpp"};
constexpr std::array<std::string_view, 6> identifierStems = {"buf_len", "ctx",       "CanIf_Tx",
                                                             "adc_raw", "crc_table", "state"};
constexpr std::array<std::string_view, 5> tags = {" [U]", " [C]", " [L]", " [I]", ""};

std::string fill(std::string_view text, std::string_view identifier) {
    std::string result(text);
    if (const auto at = result.find("%s"); at != std::string::npos) {
        result.replace(at, 2, identifier);
    }
    return result;
}

} // namespace

int main(int argc, char* argv[]) {
    const long lines = argc > 1 ? std::atol(argv[1]) : 1'000'000;
    std::mt19937_64 random(argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20261208);
    auto below = [&](std::uint64_t limit) { return random() % limit; };

    std::vector<std::string> files;
    // A code base names many identifiers, some far more often than others: each stem with a
    // module prefix, 24,000 in all, drawn with a bias towards the first ones.
    std::vector<std::string> identifiers;
    for (unsigned i = 0; i < 24000; ++i) {
        std::string identifier = "M";
        identifier += std::to_string(i / 6);
        identifier += '_';
        identifier += identifierStems[i % identifierStems.size()];
        identifiers.push_back(identifier);
    }
    const auto someIdentifier = [&]() -> const std::string& {
        const std::uint64_t spread = below(identifiers.size());
        return identifiers[below(spread + 1)];
    };
    for (unsigned i = 0; i < 4000; ++i) {
        files.push_back(std::string(folders[i % folders.size()]) + "\\m" + std::to_string(i / 8) +
                        "\\" + std::string(names[i % names.size()]) + std::to_string(i) +
                        std::string(extensions[i % extensions.size()]));
    }
    const std::string root = "D:\\ci\\ecu\\";
    std::vector<std::string> recent;
    std::string line;
    std::size_t file = 0;
    std::uint64_t runLeft = 0;
    std::printf("QAC 8.1.2.R -- Message listing\r\nProject: ecu_nightly\r\n\r\n");
    for (long i = 0; i < lines; ++i) {
        const auto kind = below(100);
        if (kind < 3 && !recent.empty()) {
            line = recent[below(recent.size())]; // the same warning reported again
        } else if (kind < 13) {
            line = "C:\\HighTec\\include\\stdint.h (" + std::to_string(below(400)) +
                   ") : warning : QAC(Prio5) Msg: 0602(The "
                   "identifier '__int64' is reserved for use by the library.) [L] Ref: MISRA "
                   "C:2012 Rule-21.2";
        } else if (kind < 18) {
            line = root + "Src\\Src_Ext\\Rte\\Rte_Cbk.c (" + std::to_string(below(900)) +
                   ") : warning : QAC(Prio3) Msg: 3200(Function return value is not used.) [U] "
                   "Ref: MISRA C:2012 Rule-17.7";
        } else if (kind < 23) {
            line = kind % 2 == 0 ? "-- Analysing file " + files[below(files.size())] + " --" : "";
        } else {
            const Message& message = below(100) < 5 ? hisMessages[below(hisMessages.size())]
                                                    : messages[below(messages.size())];
            const bool error = below(100) < 15;
            if (runLeft == 0) {
                file = below(files.size());
                runLeft = 1 + below(60);
            }
            --runLeft;
            line = root + "Src\\Src_NV\\" + files[file] + " (" + std::to_string(1 + below(3000)) +
                   ") : " + (error ? "error" : "warning") + " : QAC(Prio" +
                   std::to_string(message.priority) + ") Msg: " + std::to_string(message.number) +
                   "(" + fill(message.text, someIdentifier()) + ".)" +
                   std::string(tags[below(tags.size())]) + " Ref:" + (below(100) < 70 ? " " : "") +
                   std::string(message.reference);
            if (recent.size() < 4096) {
                recent.push_back(line);
            } else {
                recent[below(recent.size())] = line;
            }
        }
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fwrite("\r\n", 1, 2, stdout);
    }
    std::printf("\r\nMessages listed: %ld\r\n", lines);
    return 0;
}
