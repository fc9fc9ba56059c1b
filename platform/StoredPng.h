#pragma once

// Shared by the test drivers of the backends whose toolkit writes no PNG files.

#include "platform/TestSupport.h"

#include <vector>

namespace platform::test {

// The whole file, uncompressed, in RGB.
std::vector<unsigned char> storedPng(const Image& image);

} // namespace platform::test
