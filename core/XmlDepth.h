#pragma once
// The XML parser descends recursively, one stack frame per nesting level, so
// a hostile file of many nested elements would overflow the stack. Readers
// of files a person can edit or damage check the nesting first.

#include <string_view>

namespace Core {

// True when no element in the text is nested deeper than maxDepth. The scan
// counts "<name" as an opening and "</" and "/>" as closings; comments,
// CDATA and processing instructions are skipped, so the count is exact for
// well-formed text and bounds the parser's recursion for any text.
bool xmlDepthWithin(std::string_view text, int maxDepth);

// True when the text, past a UTF-8 byte order mark and white space, begins
// with "<", as every XML document does. Random bytes, a picture or a plain
// text do not: a reader says such a file is not XML rather than that its
// stray "<" bytes nest too deeply.
bool beginsAsXml(std::string_view text);

} // namespace Core
