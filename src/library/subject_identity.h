#pragma once
// Who a test belongs to: subjects are told apart by their name as typed, compared after trimming the
// white space around it and folding letter case, so "Anna Meier", " anna meier" and "ANNA MEIER" are one
// subject and "Strauß" is "STRAUSS".
//
// The folding is Unicode case folding (CaseFolding.txt, the common and simple mappings) for Basic
// Latin, Latin-1 Supplement, Latin Extended-A and -B, Latin Extended Additional, Greek and Coptic
// (final sigma folds to sigma; the polytonic Greek Extended block is left as it is), Cyrillic and
// Cyrillic Supplement, Armenian and the fullwidth Latin letters, plus the full folding of ß and ẞ to
// "ss". U+0130 (İ) folds to a plain "i", so Turkish names typed with or without the dot meet. There is no
// normalisation: a letter typed as a base and a combining accent stays apart from the precomposed
// letter. Bytes that are not UTF-8 are kept as they are.

#include <string>
#include <string_view>

namespace velkora {

// The name without the Unicode white space (and C0 controls) before and after it.
std::string_view trimSubjectName(std::string_view name);

// Case folding of UTF-8 text as described above.
std::string foldCase(std::string_view utf8);

// The subject's identity: the trimmed, case-folded name.
std::string subjectKey(std::string_view name);

}  // namespace velkora
