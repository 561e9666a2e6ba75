#include "driver/build_date.h"

namespace vendrik {

const std::string& buildDate() {
    // The compiler writes __DATE__ in exactly this form and honours SOURCE_DATE_EPOCH.
    static const std::string date = __DATE__;
    return date;
}

} // namespace vendrik
