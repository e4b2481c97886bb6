#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Bytes.h"
#include "platform/qt/QtClipboard.h"

namespace ks {

// The types another program offers its clipboard data in (X selection
// targets, Wayland MIME types), with the format number of each. Names that
// are no data (TARGETS, TIMESTAMP, MULTIPLE…) have no '/' and are left out.
struct ClipboardTargets {
    std::vector<std::string> names;  // in the owner's order
    std::vector<std::uint32_t> formats;
    std::vector<std::size_t> offered;  // where each stood in the list given

    // The formats on offer, each once, in the owner's order.
    std::vector<std::uint32_t> distinct() const;
    // The index of the type `format` is read in: the best text type, PNG
    // before other images, else the owner's first; names.size() for none.
    std::size_t targetFor(std::uint32_t format) const;
};

ClipboardTargets classifyTargets(const std::vector<std::string>& offered, QtClipboard& numbering);

// The data read under target `name` as the program keeps `format`: an image
// becomes a bitmap; nothing when it is no image after all.
std::optional<Bytes> contentFromTarget(std::uint32_t format, const std::string& name, Bytes bytes);

// The types and bytes a program offers the clipboard's data under, best first.
struct OfferedData {
    std::vector<std::string> types;
    Bytes bytes;
};
// Nothing when `bytes` cannot be offered as `format` (a broken bitmap, a
// format number never registered).
std::optional<OfferedData> dataToOffer(std::uint32_t format, const Bytes& bytes,
                                       const QtClipboard& numbering);

}  // namespace ks
