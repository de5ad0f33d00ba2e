// The numeric round-trip check and the suite's argument checks on arbitrary
// texts.
#include "Kelvory_LiDAR.h"
#include "cli/request.h"
#include "fuzz_common.h"
#include "internal/status_routines.h"

#include <cmath>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    silence_stdout();
    std::string text(reinterpret_cast<const char *>(data), size);
    text = text.c_str();  // arguments end at their first zero byte
    bool out_of_range = false;
    double v = decimal_value(text.c_str(), &out_of_range);
    if (std::isnan(v) || (std::isinf(v) && !out_of_range))
        abort();
    double checked;
    if (numeric_round_trip_ok(text.c_str(), &checked) && out_of_range)
        abort();
    if (!(checked == v || (std::isnan(checked) && std::isnan(v))))
        abort();  // the check's value is the bound's value
    check_numeric_argument_status(text.c_str());
    check_YN(text.c_str());
    check_DEM_status(text.c_str());
    return 0;
}
