#pragma once

#include "parse/grammar_groups.h"

#include <cstddef>
#include <string_view>

namespace vendrik {

// The project's own matcher for the two fixed grammars of the analyser's report. It gives
// exactly the groups that ECMAScript backtracking gives for the expressions in
// regex_grammar.cpp under whole-text matching, in time linear in the text and with constant
// stack, whatever the text holds.
//
// Byte classes (classic locale, bytes above 0x7f belong to none of them):
//   space  = blank, \t, \n, \v, \f, \r         punct = the 32 ASCII punctuation characters
//   digit  = 0-9                               any   = every byte but \r and \n
//
// Report line, read left to right:
//   path   any* "." ("h"|"cpp"|"c"|"hpp")    greedy: the last such end that lets the rest match
//   space+ "(" digit+ ")" space+ punct space+ ("warning"|"error") space+ punct space+
//   "QAC(Prio" digit ")" space+ "Msg" punct space+ digit+ "("
//   text   any*    then ".)"                 greedy: the last ".)" that lets the rest match
//   free   any*    then space+               greedy: ends before the last possible space
//   "Ref" punct
//   ref    any*    to the end of the line
// Between the path and the message text every piece is fixed by its neighbours, so the
// greedy choices above are the only ones, and they are made from precomputed positions.
//
// Rule reference:
//   "MISRA" any* punct digit+ space+ ("Rule"|"Dir") "-" digit+ "." digit+ any*
//   The punctuation character is the last one that lets the rest match.

/// Matches a whole report line whose first line break is at `firstBreak` (npos when it holds
/// none: the reader has found it already). On a match fills every group and returns true;
/// otherwise returns false and leaves `groups` unspecified.
bool matchReportLine(std::string_view line, std::size_t firstBreak, ReportLineGroups& groups);

/// Matches a whole rule reference text, as above.
bool matchRuleReference(std::string_view text, RuleReferenceGroups& groups);

} // namespace vendrik
