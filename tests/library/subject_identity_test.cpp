#include "library/subject_identity.h"

#include <gtest/gtest.h>

namespace velkora {
namespace {

TEST(SubjectIdentity, NamesThatAreOneSubject) {
  struct Case {
    const char* name;
    const char* key;
  };
  const Case cases[] = {
      {"Anna Meier", "anna meier"},
      {"  ANNA MEIER\t\r\n", "anna meier"},
      {"\u00A0\u3000Anna Meier\u2003\uFEFF", "anna meier"},  // no-break, ideographic, em space, BOM
      {"Anna  Meier", "anna  meier"},                        // inside the name spaces count
      {"Strauß", "strauss"},
      {"STRAUSS", "strauss"},
      {"STRAUẞ", "strauss"},
      {"ÀÉÎÕÜÇÑØÞ", "àéîõüçñøþ"},
      {"ŸVES", "ÿves"},
      {"ŁÓDŹ ŻÓŁĆ ĘĄŚŃ", "łódź żółć ęąśń"},
      {"ŐRSÉG ŰR", "őrség űr"},
      {"ČEŠKÝ ŘÍČ ĎŤŇ", "češký říč ďťň"},
      {"ǅemal Ǆ ǈ", "ǆemal ǆ ǉ"},
      {"ƏLIYEV", "əliyev"},
      {"ȘTEFAN ȚEPEȘ", "ștefan țepeș"},
      {"ỲÊN THỊ", "ỳên thị"},
      {"ΟΔΥΣΣΕΥΣ", "οδυσσευσ"},
      {"Οδυσσεύς", "οδυσσεύσ"},  // final sigma meets sigma; the accent stays
      {"ΆΈΉΊΌΎΏ", "άέήίόύώ"},
      {"ЁЛКИН ЩУКА", "ёлкин щука"},
      {"ЄВГЕН ЇЖАК ЎЗ", "євген їжак ўз"},
      {"ҚАЗАҚ ӨРІС Ӏ", "қазақ өріс ӏ"},
      {"ԱՐԱՄ", "արամ"},
      {"ＡＢＣ", "ａｂｃ"},
      {"µ ſ", "μ s"},
      {"İlker", "ilker"},
      {"ılık", "ılık"},  // the dotless i is a letter of its own
      {"e\u0301", "e\u0301"},
      {"\xFF\xFE"
       "AB\xC3",
       "\xFF\xFE"
       "ab\xC3"},  // not UTF-8: the bytes stay
      {"", ""},
      {"   ", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(subjectKey(c.name), c.key) << c.name;
}

TEST(SubjectIdentity, NamesThatStayApart) {
  const char* pairs[][2] = {
      {"Anna Meier", "Anna Maier"}, {"Müller", "Muller"}, {"é", "e\u0301"}, {"ı", "i"}, {"Anna", "Anna B"},
  };
  for (const auto& pair : pairs) EXPECT_NE(subjectKey(pair[0]), subjectKey(pair[1])) << pair[0] << " / " << pair[1];
}

}  // namespace
}  // namespace velkora
