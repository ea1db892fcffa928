#include "model/messages.h"

namespace velkora {

std::string formatMessage(std::string_view templ, std::string_view arg1) {
  std::string out;
  out.reserve(templ.size() + arg1.size());
  for (size_t i = 0; i < templ.size(); ++i) {
    if (templ[i] == '%' && i + 1 < templ.size() && templ[i + 1] == '1') {
      out.append(arg1);
      ++i;
    } else {
      out.push_back(templ[i]);
    }
  }
  return out;
}

std::string formatMessage(std::string_view templ, std::string_view arg1, std::string_view arg2) {
  std::string out;
  out.reserve(templ.size() + arg1.size() + arg2.size());
  for (size_t i = 0; i < templ.size(); ++i) {
    if (templ[i] == '%' && i + 1 < templ.size() && (templ[i + 1] == '1' || templ[i + 1] == '2')) {
      out.append(templ[i + 1] == '1' ? arg1 : arg2);
      ++i;
    } else {
      out.push_back(templ[i]);
    }
  }
  return out;
}

}  // namespace velkora
