// Linked when kivpack is built without the Windows stub.
#include "tools/kivpack/embedded_stub.h"

namespace kivpack {

const unsigned char kEmbeddedStub[1] = {0};
const size_t kEmbeddedStubSize = 0;

}  // namespace kivpack
