// The visitor shared by every container.

#include "workload.h"

namespace bench {

uint64_t VisitSum = 0;

void VisitElement(const void *element, uint32_t position, int isEnd) {
    if (!isEnd) {
        VisitSum += static_cast<const unsigned char *>(element)[0] + position;
    }
}

} // namespace bench
