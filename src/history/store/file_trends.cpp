#include "history/store/file_trends.h"

#include <algorithm>

namespace vendrik::history {

FileTrends::FileTrends(const std::vector<RunTotals>& runs,
                       const std::vector<std::string>& filenames)
    : trends_(filenames.size(), std::vector<std::int64_t>(runs.size())) {
    for (std::size_t at = 0; at < runs.size(); ++at) {
        const RunKey& run = runs[at].run;
        runAt_[{run.date, run.time, run.platform, run.project, run.githash}] = at;
        firstDay_ = at == 0 ? run.date : std::min(firstDay_, run.date);
        lastDay_ = at == 0 ? run.date : std::max(lastDay_, run.date);
    }
    for (std::size_t at = 0; at < filenames.size(); ++at) {
        fileAt_[filenames[at]] = at;
    }
}

void FileTrends::add(const std::string& filename, const RunKey& row, std::int64_t value) {
    const auto run = runAt_.find({row.date, row.time, row.platform, row.project, row.githash});
    const auto file = fileAt_.find(filename);
    if (run != runAt_.end() && file != fileAt_.end()) {
        trends_[file->second][run->second] = value;
    }
}

} // namespace vendrik::history
