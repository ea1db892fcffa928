#pragma once
// The person tested. Text is kept in UTF-8.

#include <cstdint>
#include <string>

namespace velkora {

inline constexpr int kSubjectTextLimit = 66;  // characters of the name and of each comment

struct SubjectInfo {
  std::string name;
  int32_t sex = 0;  // -1 none chosen (loaded files only), 0 female, 1 male
  int32_t age = 0;  // lives only for the run; never stored in files
  int32_t weight = 0;
  int32_t height = 0;
  std::string comment1;
  std::string comment2;
  std::string comment3;
};

}  // namespace velkora
