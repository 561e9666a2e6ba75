#pragma once

#include <random>
#include <string>

namespace vendrik::test_support {

/// Lines near the report-line grammar, for comparing the matcher with the std::regex
/// reference: well-formed warning lines with every piece varied (white space kinds and runs,
/// every punctuation character, extra ".)" and "Ref" inside the texts, nested parentheses,
/// text before the path, marker variants, CR, LF, NUL and bytes above 0x7f, long and
/// zero-padded numbers), and such lines with random bytes inserted, deleted or repeated.
/// The same seed always gives the same lines. Lines stay below about 1 KB.
std::string generateReportLine(std::mt19937_64& random);

/// Texts near the rule reference grammar, varied in the same spirit.
std::string generateRuleReference(std::mt19937_64& random);

} // namespace vendrik::test_support
