#pragma once
// Pictures the tests keep for people to look at (screenshots, the picture of a failed picture
// test), as BMP files in the build tree's artifacts folder.

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::testing {

// Writes top-down 0x00RRGGBB pixels (the high byte is ignored) as a 24-bit BMP file.
bool WriteBmp(const std::wstring& path, const std::vector<std::uint32_t>& pixels, int width, int height);

// `name` in the artifacts folder, which is made if it is missing.
std::wstring ArtifactPath(const std::wstring& name);

}  // namespace vantrel::testing
