#include "output/json_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace vendrik {

namespace {

/// Windows-1252 for the bytes 0x80 to 0x9F; 0 where it defines none.
constexpr std::array<char16_t, 32> windows1252 = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

/// The length of the valid UTF-8 sequence that starts at `at`, or 0.
std::size_t utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
    };
    const auto continues = [&](std::size_t i) { return (byte(i) & 0xC0) == 0x80; };
    const unsigned first = byte(0);
    if (first >= 0xC2 && first <= 0xDF) {
        return continues(1) ? 2 : 0;
    }
    if (first >= 0xE0 && first <= 0xEF) {
        const unsigned second = byte(1);
        const bool shortest = first != 0xE0 || second >= 0xA0;
        const bool surrogate = first == 0xED && second >= 0xA0;
        return continues(1) && continues(2) && shortest && !surrogate ? 3 : 0;
    }
    if (first >= 0xF0 && first <= 0xF4) {
        const unsigned second = byte(1);
        const bool inRange = (first != 0xF0 || second >= 0x90) && (first != 0xF4 || second < 0x90);
        return continues(1) && continues(2) && continues(3) && inRange ? 4 : 0;
    }
    return 0;
}

void appendCodePoint(std::string& out, char32_t point) {
    if (point < 0x800) {
        out += static_cast<char>(0xC0 | (point >> 6));
    } else {
        out += static_cast<char>(0xE0 | (point >> 12));
        out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (point & 0x3F));
}

/// Calls `ascii(byte)` for each byte below 0x80, and appends everything else to `out` as
/// UTF-8 (see the header).
template <typename Ascii>
void forEachCharacter(std::string& out, std::string_view text, Ascii ascii) {
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            ascii(static_cast<char>(byte));
            ++at;
        } else if (const std::size_t length = utf8Length(text, at); length > 0) {
            out.append(text, at, length);
            at += length;
        } else {
            const char16_t mapped = byte < 0xA0 ? windows1252[byte - 0x80] : char16_t{byte};
            appendCodePoint(out, mapped != 0 ? mapped : 0xFFFD);
            ++at;
        }
    }
}

constexpr char hexDigits[] = "0123456789ABCDEF";

} // namespace

std::string utf8Text(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    forEachCharacter(text, bytes, [&text](char c) { text += c; });
    return text;
}

void appendJsonString(std::string& out, std::string_view bytes) {
    out += '"';
    // Most texts are printable ASCII without quotes or backslashes: copied in one piece.
    const auto plain = [](char c) { return c >= 0x20 && c != '"' && c != '\\'; };
    const std::size_t plainPart = static_cast<std::size_t>(
        std::find_if_not(bytes.begin(), bytes.end(), plain) - bytes.begin());
    out.append(bytes.substr(0, plainPart));
    forEachCharacter(out, bytes.substr(plainPart), [&](char c) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += "\\u00";
                out += hexDigits[c >> 4];
                out += hexDigits[c & 0xF];
            } else {
                out += c;
            }
        }
    });
    out += '"';
}

void appendJsonSentence(std::string& out, std::string_view text) {
    appendJsonString(out, text);
    out.back() = '.';
    out += '"';
}

std::string insideRoot(std::string_view file) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0; start <= file.size();) {
        const std::size_t end = std::min(file.find_first_of("\\/", start), file.size());
        const std::string_view part = file.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string path;
    for (const std::string_view part : parts) {
        path.append(path.empty() ? "" : "/").append(part);
    }
    return path;
}

namespace {

/// Appends `text` with every byte but letters, digits and those in `kept` percent-encoded.
void appendPercentEncoded(std::string& out, std::string_view text, std::string_view kept) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            kept.find(c) != std::string_view::npos) {
            out += c;
        } else {
            out += '%';
            out += hexDigits[byte >> 4];
            out += hexDigits[byte & 0xF];
        }
    }
}

} // namespace

void appendUriPath(std::string& out, std::string_view file) {
    std::string utf8;
    forEachCharacter(utf8, insideRoot(file), [&](char c) { utf8 += c; });
    appendPercentEncoded(out, utf8, "-._~/");
}

std::string uriReference(std::string_view text) {
    std::string uri;
    appendPercentEncoded(uri, text, "-._~:/?#[]@!$&'()*+,;=%");
    return uri;
}

void appendJsonPath(std::string& out, std::string_view file) {
    appendJsonString(out, insideRoot(file));
}

} // namespace vendrik
