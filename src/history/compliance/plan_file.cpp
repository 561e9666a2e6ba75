#include "history/compliance/plan_file.h"

#include "history/store/store.h"

#include <openssl/evp.h>

#include <array>
#include <fstream>
#include <sstream>

namespace vendrik::history {

PlanFile planFile(const std::string& path, const std::string& bytes) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_sha256(), nullptr) != 1) {
        throw StoreError(path + ": could not compute its SHA-256");
    }
    static constexpr char hex[] = "0123456789abcdef";
    std::string sha;
    for (unsigned int at = 0; at < size; ++at) {
        sha += hex[digest[at] >> 4];
        sha += hex[digest[at] & 15];
    }
    return {path, sha};
}

PlanFile planFileAt(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    if (!file || file.bad()) {
        throw StoreError(path + ": could not read the file");
    }
    return planFile(path, bytes.str());
}

} // namespace vendrik::history
