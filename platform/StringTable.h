#pragma once
// The parser behind LoadString, open to tests: they check that the table built
// into the program has no malformed lines and no id given twice.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Parses "id<TAB>text" lines (decimal or 0x ids; '#' lines and blank lines are
// skipped; \n \t \r \\ \" escapes in the text). The first entry of an id wins.
// Each malformed line or repeated id adds a description to problems.
void ParseStringTable(std::string_view text, std::unordered_map<unsigned, std::string>& table,
                      std::vector<std::string>& problems);

// The problems found in the table built into the program.
const std::vector<std::string>& StringTableProblems();
