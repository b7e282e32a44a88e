#pragma once
// Escaping of text written into an XML document and unescaping of text read
// back from one. Text is bytes; only the markup characters are touched.

#include <string>
#include <string_view>

namespace xml {

// Attribute values: < & > ' " become &lt; &amp; &gt; &apos; &quot;, so a value
// is safe inside either kind of quote.
std::string EscapeAttrib(std::string_view value);

// Element text: only < & > are replaced.
std::string EscapeText(std::string_view value);

// The five named entities and the character references &#DDD; (at most 7
// decimal digits) and &#xHHH; (at most 6 hex digits) are decoded, the latter
// to UTF-8; a reference to a code point that cannot exist (0, a surrogate,
// above U+10FFFF) becomes U+FFFD. Any other ampersand is copied unchanged.
std::string Unescape(std::string_view text);

}  // namespace xml
