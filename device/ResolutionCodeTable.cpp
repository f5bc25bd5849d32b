#include "ResolutionCodeTable.h"

namespace quello {

int ResolutionIndexForCode(int code) {
    for (std::size_t i = 0; i < ResolutionCodeTable.size(); ++i) {
        if (ResolutionCodeTable[i].code == code)
            return int(i);
    }
    return -1;
}

} // namespace quello
