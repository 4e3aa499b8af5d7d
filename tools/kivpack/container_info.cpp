#include "tools/kivpack/container_info.h"

#include <cstring>

#include "container/bit_reader.h"
#include "container/lzss_expand.h"
#include "container/rewrite.h"
#include "tools/kivpack/cli.h"

namespace kivpack {

ContainerInfo InspectContainer(std::FILE* container) {
    ContainerInfo info;
    info.fileSize = FileSize(container);
    info.valid = FindContainerTrailer(container, &info.trailer, &info.place) != 0;
    if (info.valid) {
        ResetErrorLatch();
        info.hasMode = ChooseSecondaryImage(&info.trailer, &info.mode, &info.imageOffset) != 0;
        if (!info.hasMode) {
            info.modeError = AsTerminalText(errorLatch.text);
        }
    }
    return info;
}

// A write-only stream that only counts what is written to it.
static ssize_t CountWrite(void* cookie, const char*, size_t size) {
    *static_cast<unsigned long long*>(cookie) += size;
    return ssize_t(size);
}

StreamInfo MeasureStream(std::FILE* container, uint32_t offset) {
    StreamInfo info;
    unsigned long long counted = 0;
    cookie_io_functions_t io{};
    io.write = CountWrite;
    std::FILE* sink = fopencookie(&counted, "wb", io);
    if (!sink) {
        FailBad("out of memory");
    }
    std::setvbuf(sink, nullptr, _IOFBF, 1 << 16);
    if (!SeekToPosition(container, offset)) {
        std::fclose(sink);
        return info;
    }
    BitReader* reader = CreateBitReader(container);
    if (!reader) {
        std::fclose(sink);
        FailBad("out of memory");
    }
    ExpandLzss(reader, sink);
    // The input ran out when the last fetch found no byte.
    info.endedByMarker = reader->currentByte >= 0 || reader->mask != 0x80;
    ReleaseBitReader(reader);
    std::fclose(sink);
    info.expandedSize = counted;
    long position = std::ftell(container);
    info.endPosition = position < 0 ? 0 : (unsigned long long)position;
    return info;
}

}  // namespace kivpack
