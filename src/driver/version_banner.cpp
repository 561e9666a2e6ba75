#include "driver/version_banner.h"

namespace vendrik {

void printVersionBanner(std::string_view /*programPath*/, std::ostream& /*console*/) {
    // The program carries no version information yet, so there is no banner to print.
}

} // namespace vendrik
