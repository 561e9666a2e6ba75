#include "history/yaml_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vendrik::history {

void refuse(const std::string& path, const YAML::Mark& mark, const std::string& what) {
    // A node that the file does not hold (an empty file's) has no line: the first.
    throw StoreError(path + ":" + std::to_string(std::max(mark.line + 1, 1)) + ": " + what);
}

YAML::Node readYamlFile(const std::string& path, const std::string& what, std::string* bytes) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw StoreError(path + ": refused: a folder, not the " + what);
    }
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file || file.bad()) {
        throw StoreError(path + ": could not read the " + what);
    }
    if (bytes != nullptr) {
        *bytes = text.str();
    }
    try {
        return YAML::Load(text.str());
    } catch (const YAML::Exception& error) {
        refuse(path, error.mark, error.msg);
    }
}

std::string scalarOf(const std::string& path, const std::string& key, const YAML::Node& node) {
    if (!node.IsScalar()) {
        refuse(path, node.Mark(), key + ": not a single value");
    }
    return node.Scalar();
}

std::vector<std::string> scalarsOf(const std::string& path, const std::string& key,
                                   const YAML::Node& node) {
    if (node.IsScalar()) {
        return {node.Scalar()};
    }
    if (!node.IsSequence() || node.size() == 0) {
        refuse(path, node.Mark(), key + ": a value or a list of values");
    }
    std::vector<std::string> values;
    for (const YAML::Node& item : node) {
        values.push_back(scalarOf(path, key, item));
    }
    return values;
}

bool blank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

} // namespace vendrik::history
