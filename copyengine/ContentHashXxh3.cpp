// Built with SSE2 enabled (see CMakeLists.txt); called only where the
// processor has it.
#include "ContentHash.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace ContentHashXxh3 {

void* Create() {
    return XXH3_createState();
}

void Destroy(void* state) {
    XXH3_freeState(static_cast<XXH3_state_t*>(state));
}

void Reset(void* state) {
    XXH3_64bits_reset(static_cast<XXH3_state_t*>(state));
}

void Update(void* state, const void* data, size_t length) {
    XXH3_64bits_update(static_cast<XXH3_state_t*>(state), data, length);
}

uint64_t Digest(const void* state) {
    return XXH3_64bits_digest(static_cast<const XXH3_state_t*>(state));
}

} // namespace ContentHashXxh3
