#pragma once

// The one centring rule of both windows: integer centring truncates toward zero, so an odd
// difference leans left (or up) and a control larger than its container gets a negative place.
constexpr int centred(int containerExtent, int extent) {
    return (containerExtent - extent) / 2;
}
