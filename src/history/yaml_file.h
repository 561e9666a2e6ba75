#pragma once

#include "history/store/store.h"

#include <yaml-cpp/yaml.h>

#include <string>
#include <vector>

namespace vendrik::history {

/// The files that people write for vendrik-history (rules, plans, catalogues) are YAML, read
/// whole; every fault is a StoreError "PATH:LINE: what is wrong".

/// Throws StoreError "PATH:LINE: what" for the line of `mark`.
[[noreturn]] void refuse(const std::string& path, const YAML::Mark& mark, const std::string& what);

/// The file at `path` parsed whole, its bytes in `bytes` when given; refused when it cannot
/// be read or is not YAML.
YAML::Node readYamlFile(const std::string& path, const std::string& what,
                        std::string* bytes = nullptr);

/// The scalar `node` of `key`, refused when it is not one.
std::string scalarOf(const std::string& path, const std::string& key, const YAML::Node& node);

/// The scalar or list of scalars `node` of `key`, as a list; refused otherwise or when empty.
std::vector<std::string> scalarsOf(const std::string& path, const std::string& key,
                                   const YAML::Node& node);

/// True for a text of blanks only.
bool blank(const std::string& text);

} // namespace vendrik::history
