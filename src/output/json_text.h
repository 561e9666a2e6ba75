#pragma once

#include <string>
#include <string_view>

namespace vendrik {

// Report texts are bytes: UTF-8 where the analyser wrote UTF-8, the ANSI code page (most
// often Windows-1252) where it ran on Windows. JSON needs valid UTF-8, so every byte
// sequence that is valid UTF-8 (shortest form, no surrogates, at most U+10FFFF) is kept, and
// every other byte is read as Windows-1252; the five bytes that Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+FFFD.

/// `bytes` as UTF-8 text, read as above, without escapes: what a page or a JSON writer of
/// its own can take.
std::string utf8Text(std::string_view bytes);

/// Appends `bytes` as a JSON string, quotes included: the text as above, with the quotation
/// mark, the backslash and the control characters U+0000 to U+001F escaped (\n, \r, \t, \b,
/// \f, else \u00XX).
void appendJsonString(std::string& out, std::string_view bytes);

/// appendJsonString of `text` and a full stop: a message text of the report, whose own full
/// stop the line grammar takes off.
void appendJsonSentence(std::string& out, std::string_view text);

/// `file` (such as Src\Src_NV\app\..\main.c) as a path inside the source root, with "/"
/// between its parts: made lexically normal ("." and empty parts dropped, ".." taking off the
/// part before it), and a ".." that would climb above the root dropped, so that no path
/// points outside it ("Src/../../x.c" gives "x.c").
std::string insideRoot(std::string_view file);

/// Appends a source file name (such as Src\Src_NV\app\main.c) as a relative URI path:
/// the path inside the root (see insideRoot), read as above, and every byte of its UTF-8 form
/// but the unreserved characters (letters, digits, "-", ".", "_", "~") and "/" is
/// percent-encoded: "Src\Src_NV\my file.c" gives "Src/Src_NV/my%20file.c".
void appendUriPath(std::string& out, std::string_view file);

/// `text` as a URI reference: every byte that RFC 3986 does not allow in one (not an
/// unreserved or reserved character, nor "%") percent-encoded; a valid URI stays as it is.
std::string uriReference(std::string_view text);

/// Appends a source file name as a relative path for JSON: the path inside the root (see
/// insideRoot) as a JSON string as appendJsonString makes it.
void appendJsonPath(std::string& out, std::string_view file);

} // namespace vendrik
