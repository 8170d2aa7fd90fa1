#include "mirror_state.h"

#include <climits>
#include <cmath>
#include <cstdlib>

namespace mirror {

int NextState(int state) { return state >= 1 ? 0 : state + 1; }

int StateFromText(const char* text) {
    if (!text) return 0;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || std::isnan(v)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(v);  // truncation toward zero: the integer part
}

}  // namespace mirror
