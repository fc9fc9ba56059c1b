#include "platform/Rules.h"

#include <algorithm>

namespace platform::rules {

ItemRect radioItem(int index, int count, int width, int height, int textHeight) {
    const int n = std::max(1, count);
    const int room = height - textHeight - 5;
    const int itemHeight = room / n;
    const int firstTop = textHeight + 1 + (room % n) / 2;
    return {8, firstTop + index * itemHeight, width - 10, itemHeight};
}

} // namespace platform::rules
