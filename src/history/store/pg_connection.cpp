#include "history/store/pg_connection.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <regex>

namespace vendrik::history {

bool isServerTarget(const std::string& database) {
    static const std::regex keyword(R"(^\s*[A-Za-z_]+\s*=)");
    return database.starts_with("postgresql://") || database.starts_with("postgres://") ||
           std::regex_search(database, keyword);
}

namespace {

int hexValue(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : -1;
}

/// `text` with its %XX escapes decoded; a malformed escape stays as it is.
std::string percentDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '%' && at + 2 < text.size() && hexValue(text[at + 1]) >= 0 &&
            hexValue(text[at + 2]) >= 0) {
            decoded += static_cast<char>(hexValue(text[at + 1]) * 16 + hexValue(text[at + 2]));
            at += 2;
        } else {
            decoded += text[at];
        }
    }
    return decoded;
}

/// `text` with every byte but the unreserved characters as %XX, in `digits`.
std::string percentEncoded(std::string_view text, const char* digits) {
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += digits[byte >> 4];
            encoded += digits[byte & 0xF];
        }
    }
    return encoded;
}

bool looksLikeConnectionString(const std::string& text) {
    return isServerTarget(text) || text.find('=') != std::string::npos;
}

/// The passwords that `target` spells out, found without libpq: in a URI's user
/// information and its query parameters named password (percent-encoded or not), and in
/// key=value pairs. Also for a string that libpq cannot parse, whose error may quote them.
void spelledPasswords(const std::string& target, std::vector<std::string>& secrets) {
    const std::size_t scheme = target.find("://");
    if (scheme != std::string::npos && target.starts_with("postgres")) {
        const std::size_t end = target.find_first_of("/?", scheme + 3);
        const std::string authority = target.substr(scheme + 3, end - scheme - 3);
        const std::size_t at = authority.rfind('@');
        const std::size_t colon = authority.find(':');
        if (at != std::string::npos && colon < at) {
            secrets.push_back(authority.substr(colon + 1, at - colon - 1));
        }
        const std::size_t query = target.find('?', scheme);
        std::size_t start = query == std::string::npos ? target.size() : query + 1;
        while (start < target.size()) {
            const std::size_t next = std::min(target.find('&', start), target.size());
            const std::string pair = target.substr(start, next - start);
            const std::size_t equals = pair.find('=');
            if (equals != std::string::npos &&
                percentDecoded(pair.substr(0, equals)) == "password") {
                secrets.push_back(pair.substr(equals + 1));
            }
            start = next + 1;
        }
        return;
    }
    static const std::regex keyword(R"((?:^|\s)password\s*=\s*('(?:[^'\\]|\\.)*'?|\S*))");
    for (std::sregex_iterator match(target.begin(), target.end(), keyword), end; match != end;
         ++match) {
        std::string value = (*match)[1];
        secrets.push_back(value);
        if (value.starts_with('\'')) {
            std::string unquoted;
            for (std::size_t at = 1; at < value.size(); ++at) {
                if (value[at] == '\\' && at + 1 < value.size()) {
                    unquoted += value[++at];
                } else if (value[at] != '\'' || at + 1 < value.size()) {
                    unquoted += value[at];
                }
            }
            secrets.push_back(unquoted);
        }
    }
}

} // namespace

TargetName nameTarget(const std::string& target) {
    TargetName name;
    spelledPasswords(target, name.secrets);
    if (const char* password = std::getenv("PGPASSWORD")) {
        name.secrets.emplace_back(password);
    }
    char* error = nullptr;
    std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> options(
        PQconninfoParse(target.c_str(), &error), PQconninfoFree);
    if (!options) {
        name.shown = "the --database connection string";
        PQfreemem(error);
        return name;
    }
    constexpr std::array<std::string_view, 6> shownFields = {"service", "host",   "hostaddr",
                                                             "port",    "dbname", "user"};
    std::array<std::string, shownFields.size()> fields;
    for (const PQconninfoOption* option = options.get(); option->keyword; ++option) {
        if (option->val == nullptr) {
            continue;
        }
        const std::string keyword = option->keyword;
        const std::string value = option->val;
        if (keyword == "password") {
            name.secrets.push_back(value);
        } else if (const auto field = std::find(shownFields.begin(), shownFields.end(), keyword);
                   field != shownFields.end()) {
            fields[static_cast<std::size_t>(field - shownFields.begin())] = value;
        }
        if (keyword == "dbname" && looksLikeConnectionString(value)) {
            // libpq may read a dbname as a connection string of its own.
            const TargetName inner = nameTarget(value);
            name.secrets.insert(name.secrets.end(), inner.secrets.begin(), inner.secrets.end());
        }
    }
    for (std::size_t field = 0; field < fields.size(); ++field) {
        if (!fields[field].empty()) {
            name.shown.append(name.shown.empty() ? "" : " ")
                .append(shownFields[field])
                .append("=")
                .append(fields[field]);
        }
    }
    name.shown =
        withoutSecrets(name.shown.empty() ? "the default server" : name.shown, name.secrets);
    return name;
}

std::string withoutSecrets(std::string message, const std::vector<std::string>& secrets) {
    std::vector<std::string> spellings;
    for (const std::string& secret : secrets) {
        for (const std::string& spelling :
             {secret, percentDecoded(secret), percentEncoded(secret, "0123456789ABCDEF"),
              percentEncoded(secret, "0123456789abcdef")}) {
            if (!spelling.empty()) {
                spellings.push_back(spelling);
            }
        }
    }
    // The longest first, so that no part of a longer spelling is left behind.
    std::sort(spellings.begin(), spellings.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& spelling : spellings) {
        for (std::size_t at = message.find(spelling); at != std::string::npos;
             at = message.find(spelling, at + 3)) {
            message.replace(at, spelling.size(), "***");
        }
    }
    return message;
}

std::string arrayLiteral(const std::vector<std::string>& values) {
    std::string array = "{";
    for (const std::string& value : values) {
        array += array.size() > 1 ? ",\"" : "\"";
        for (const char c : value) {
            if (c == '"' || c == '\\') {
                array += '\\';
            }
            array += c;
        }
        array += '"';
    }
    return array + "}";
}

PgConnection::PgConnection(const std::string& target)
    : connection_(PQconnectdb(target.c_str()), PQfinish), name_(nameTarget(target)) {
    if (!connection_) {
        throw StoreError("could not connect to " + name_.shown + ": out of memory");
    }
    // The password libpq used, also one from a password file or a service file.
    if (const char* password = PQpass(connection_.get()); password && *password) {
        name_.secrets.emplace_back(password);
        name_.shown = withoutSecrets(name_.shown, name_.secrets);
    }
    if (PQstatus(connection_.get()) != CONNECTION_OK) {
        std::string message = PQerrorMessage(connection_.get());
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
            message.pop_back();
        }
        throw StoreError(
            withoutSecrets("could not connect to " + name_.shown + ": " + message, name_.secrets));
    }
    // The server's notices ("already exists, skipping") are not the program's messages.
    PQsetNoticeProcessor(
        connection_.get(), [](void*, const char*) {}, nullptr);
}

PgRows PgConnection::run(const std::string& sql,
                         const std::vector<std::optional<std::string>>& parameters,
                         const std::string& doing, bool typedAsText) {
    std::vector<const char*> values;
    for (const auto& parameter : parameters) {
        if (parameter && parameter->find('\0') != std::string::npos) {
            throw PgError("refused: " + doing + " with a NUL byte in a value, which " +
                              name_.shown + " cannot hold as text",
                          "22021");
        }
        values.push_back(parameter ? parameter->c_str() : nullptr);
    }
    constexpr Oid textType = 25;
    const std::vector<Oid> types(values.size(), textType);
    queryMade();
    PgRows rows(PQexecParams(connection_.get(), sql.c_str(), static_cast<int>(values.size()),
                             typedAsText ? types.data() : nullptr, values.data(), nullptr, nullptr,
                             0));
    const ExecStatusType status = rows.handle() ? PQresultStatus(rows.handle()) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        return rows;
    }
    const char* primary =
        rows.handle() ? PQresultErrorField(rows.handle(), PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    const char* state =
        rows.handle() ? PQresultErrorField(rows.handle(), PG_DIAG_SQLSTATE) : nullptr;
    std::string message = primary ? primary : PQerrorMessage(connection_.get());
    while (!message.empty() && message.back() == '\n') {
        message.pop_back();
    }
    throw PgError(
        withoutSecrets("could not " + doing + " in " + name_.shown + ": " + message, name_.secrets),
        state ? state : "");
}

} // namespace vendrik::history
