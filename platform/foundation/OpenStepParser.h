#pragma once

// The old text form of property lists, in which tweak filters are usually written:
//
//     { Filter = { Bundles = ( "com.apple.springboard" ); }; }
//
// Dictionaries in braces ("key = value;"), arrays in parentheses (commas between, one trailing
// comma allowed), strings quoted ("..." or '...', with C escapes, octal \ooo and \Uxxxx) or bare
// (letters, digits and _$/:.-), data as hex digits in angle brackets, // and /* */ comments.
// Every scalar is a string. A file holding only "key = value;" pairs is read as a dictionary.

#include "platform/foundation/PropertyList.h"

#include <string>
#include <string_view>

class OpenStepParser {
public:
    OpenStepParser(std::string_view text, int maxDepth) : m_text(text), m_maxDepth(maxDepth) {}

    PropertyList::ParseResult parse();

private:
    Ref<NSObject> parseValue(int depth);
    // Pairs up to the closing brace, or to the end of the text when closer is 0.
    Ref<NSObject> parseDictionaryBody(int depth, char closer, Ref<NSObject> firstKey = nullptr);
    Ref<NSObject> parseArray(int depth);
    Ref<NSObject> parseQuotedString();
    Ref<NSObject> parseBareString();
    Ref<NSObject> parseData();
    bool parseEscape(std::string& out);
    // Skips white space and comments; false (with the error set) on an unterminated comment.
    bool skipSpace();
    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text[m_pos]; }
    std::nullptr_t fail(std::string_view why);

    std::string_view m_text;
    int m_maxDepth;
    size_t m_pos = 0;
    std::string m_error;
};
