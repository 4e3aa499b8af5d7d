// The bootstrapper that `make build` made, built into kivpack so that
// `kivpack build` needs no --stub. A host-only build carries none.
#ifndef KIV_TOOLS_KIVPACK_EMBEDDED_STUB_H
#define KIV_TOOLS_KIVPACK_EMBEDDED_STUB_H

#include <cstddef>

namespace kivpack {

extern const unsigned char kEmbeddedStub[];
extern const size_t kEmbeddedStubSize;  // 0: no stub was built in

}  // namespace kivpack

#endif
