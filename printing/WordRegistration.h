#pragma once
// The registration form of the current record as two Word documents, a
// cover and a body, each from its own template: applied-technology records
// (category "1") have their family of templates, basic-theory and
// soft-science records the other. The body-text ("(正文)") export adds the
// registration date to the cover and has room for more completing persons.

enum class WordFamily {
    rj, // basic theory and soft science
    yy, // applied technology
};

void RegistrationToWord(WordFamily family, bool bodyText);
