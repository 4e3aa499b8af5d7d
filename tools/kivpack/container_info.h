// What kivpack learns about a container by reading it the way the
// bootstrapper does, shared by list and verify.
#ifndef KIV_TOOLS_KIVPACK_CONTAINER_INFO_H
#define KIV_TOOLS_KIVPACK_CONTAINER_INFO_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "container/container_trailer.h"
#include "container/find_trailer.h"
#include "state/setup_state.h"

namespace kivpack {

struct StreamInfo {
    unsigned long long expandedSize = 0;
    unsigned long long endPosition = 0;  // just past the byte with the end marker's last bit
    bool endedByMarker = false;          // false: the input ran out first
};

struct ContainerInfo {
    unsigned long long fileSize = 0;
    bool valid = false;  // the trailer's signature matched
    ContainerTrailer trailer{};
    TrailerPlace place{};  // where the trailer stands; place.isSigned for a signed setup
    bool hasMode = false;  // the bootstrapper would choose an image
    LaunchMode mode = LaunchMode::Library;
    uint32_t imageOffset = 0;
    std::string modeError;  // its message when it would not
};

// Reads the trailer and the mode choice of `container`.
ContainerInfo InspectContainer(std::FILE* container);

// Expands the stream at `offset` into nothing, counting bytes; the offset
// must be usable (below 2^31).
StreamInfo MeasureStream(std::FILE* container, uint32_t offset);

}  // namespace kivpack

#endif
