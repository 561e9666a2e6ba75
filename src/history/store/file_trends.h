#pragma once

#include "history/store/store.h"

#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace vendrik::history {

/// What HistoryStore::fileTrends returns, filled from one query of the files' rows over the
/// runs' days: each row that belongs to one of the runs is put in its place.
class FileTrends {
  public:
    FileTrends(const std::vector<RunTotals>& runs, const std::vector<std::string>& filenames);

    /// Nothing to read: no run or no file.
    bool empty() const { return runAt_.empty() || fileAt_.empty(); }
    /// The first and the last date of the runs, the days whose rows to read.
    const std::string& firstDay() const { return firstDay_; }
    const std::string& lastDay() const { return lastDay_; }

    /// Puts `value`, the all_errors of `filename` in the run `row`, in its place; a row of
    /// another run or file is left out.
    void add(const std::string& filename, const RunKey& row, std::int64_t value);

    std::vector<std::vector<std::int64_t>> take() { return std::move(trends_); }

  private:
    std::vector<std::vector<std::int64_t>> trends_;
    std::map<std::tuple<std::string, std::string, std::string, std::string, std::string>,
             std::size_t>
        runAt_;
    std::map<std::string, std::size_t> fileAt_;
    std::string firstDay_;
    std::string lastDay_;
};

} // namespace vendrik::history
